#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "TestPlug.h"

namespace tarvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ChunkBytes(const StateChunk& chunk) { return Bytes(chunk.Data(), chunk.Data() + chunk.Size()); }

void Put32(Bytes& bytes, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}
void PutDouble(Bytes& bytes, double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}
Bytes Header() { return {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}; }

// The plug-in as the entry leaves it: five gains and one "Default" preset.
struct Fixture : ::testing::Test {
  Fixture() { plug.AddDefaultPreset(); }
  TestPlug plug;
  StateChunk chunk;
};

using Chunks = Fixture;

TEST_F(Chunks, ProgramChunkIsHeaderAndFiveDoubles) {
  ASSERT_EQ(plug.GetChunk(chunk, false), 48);
  Bytes expected = Header();
  expected.resize(48, 0);
  EXPECT_EQ(ChunkBytes(chunk), expected);
}

TEST_F(Chunks, BankChunkHoldsNamedPresets) {
  plug.GetParameter(3)->SetValueClamped(-12.25);
  ASSERT_EQ(plug.GetChunk(chunk, true), 60);
  Bytes expected = Header();
  Put32(expected, 7);
  for (char c : std::string("Default")) expected.push_back(static_cast<std::uint8_t>(c));
  expected.push_back(1);
  for (double v : {0.0, 0.0, 0.0, -12.25, 0.0}) PutDouble(expected, v);  // captured before saving
  EXPECT_EQ(ChunkBytes(chunk), expected);
}

TEST_F(Chunks, RoundTripsByteForByte) {
  const std::vector<double> values = {-60.0, 30.0, 1.5, -0.01, 12.0};
  for (int i = 0; i < 5; ++i) plug.GetParameter(i)->SetValueClamped(values[i]);
  for (bool isBank : {false, true}) {
    ASSERT_GT(plug.GetChunk(chunk, isBank), 0);
    const Bytes saved = ChunkBytes(chunk);

    TestPlug other;
    other.AddDefaultPreset();
    StateChunk otherChunk;
    ASSERT_EQ(other.SetChunk(otherChunk, isBank, saved.data(), static_cast<int>(saved.size())), 1);
    EXPECT_EQ(other.Values(), values);
    ASSERT_GT(other.GetChunk(otherChunk, isBank), 0);
    EXPECT_EQ(ChunkBytes(otherChunk), saved);
  }
}

TEST_F(Chunks, LoadingCallsParameterChangedForEveryParameter) {
  Bytes bytes = Header();
  for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) PutDouble(bytes, v);
  ASSERT_EQ(plug.SetChunk(chunk, false, bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(plug.Values(), (std::vector<double>{1, 2, 3, 4, 5}));

  // The current preset captured the loaded values.
  StateChunk bank;
  plug.SaveBank(bank);
  double stored;
  bank.GetDouble(4 + 7 + 1 + 8 * 4, stored);
  EXPECT_EQ(stored, 5.0);
}

TEST_F(Chunks, HeaderlessProgramStateLoads) {
  Bytes bytes;
  for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) PutDouble(bytes, v);
  EXPECT_EQ(plug.SetChunk(chunk, false, bytes.data(), 40), 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{1, 2, 3, 4, 5}));
  bytes[7] ^= 0x80;  // the first value negated, now offered as a bank
  EXPECT_EQ(plug.SetChunk(chunk, true, bytes.data(), 40), 1);  // headerless: program state
  EXPECT_EQ(plug.GetParameter(0)->Value(), -1.0);
}

TEST_F(Chunks, StoredValuesAreLimitedAndNeverNaN) {
  Bytes bytes = Header();
  for (double v : {45.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::infinity(), -61.0})
    PutDouble(bytes, v);
  ASSERT_EQ(plug.SetChunk(chunk, false, bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{30.0, 0.0, -60.0, 30.0, -60.0}));
}

TEST_F(Chunks, TruncatedOrMalformedChunksChangeNothing) {
  for (int i = 0; i < 5; ++i) plug.GetParameter(i)->SetValueClamped(i + 1.0);
  ASSERT_GT(plug.GetChunk(chunk, true), 0);
  const Bytes bank = ChunkBytes(chunk);
  ASSERT_GT(plug.GetChunk(chunk, false), 0);
  const Bytes program = ChunkBytes(chunk);
  for (int i = 0; i < 5; ++i) plug.GetParameter(i)->SetValueClamped(-(i + 1.0));
  plug.CaptureCurrentPreset("Mine");
  plug.changed.clear();
  const std::vector<double> before = plug.Values();

  auto rejected = [&](const Bytes& bytes, bool isBank) {
    StateChunk target;
    EXPECT_EQ(plug.SetChunk(target, isBank, bytes.data(), static_cast<int>(bytes.size())), 0);
    EXPECT_EQ(plug.Values(), before);
    EXPECT_STREQ(plug.PresetName(0), "Mine");
    EXPECT_TRUE(plug.changed.empty());
  };
  for (std::size_t n = 1; n < program.size(); ++n) rejected(Bytes(program.begin(), program.begin() + n), false);
  for (std::size_t n = 1; n < bank.size(); ++n) rejected(Bytes(bank.begin(), bank.begin() + n), true);

  Bytes lengthNearLimit = Header();  // 8 + 4 + L must not wrap the position
  Put32(lengthNearLimit, INT32_MAX - 6);
  lengthNearLimit.resize(80, 1);
  rejected(lengthNearLimit, true);
  Bytes negativeLength = Header();
  Put32(negativeLength, -2);
  negativeLength.resize(80, 1);
  rejected(negativeLength, true);

  StateChunk target;
  EXPECT_EQ(plug.SetChunk(target, false, nullptr, 48), 0);
  EXPECT_EQ(plug.SetChunk(target, false, program.data(), -1), 0);
  EXPECT_EQ(plug.Values(), before);
}

TEST_F(Chunks, OldBankVersionIsReadAsProgramState) {
  Bytes bytes = {0x74, 0x66, 0x66, 0x70, 0xFF, 0xFF, 0x00, 0x00};
  for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) PutDouble(bytes, v);
  EXPECT_EQ(plug.SetChunk(chunk, true, bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{1, 2, 3, 4, 5}));
}

TEST_F(Chunks, BankEntriesSetNamesAndValues) {
  Bytes bytes = Header();
  Put32(bytes, 0);  // an empty name
  bytes.push_back(1);
  for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) PutDouble(bytes, v);
  bytes.push_back(0xEE);  // beyond the last preset: ignored
  ASSERT_EQ(plug.SetChunk(chunk, true, bytes.data(), static_cast<int>(bytes.size())), 1);
  EXPECT_STREQ(plug.PresetName(0), "");
  EXPECT_EQ(plug.Values(), (std::vector<double>{1, 2, 3, 4, 5}));

  Bytes named = Header();
  const std::string longName(300, 'n');
  Put32(named, 300);
  named.insert(named.end(), longName.begin(), longName.end());
  named.push_back(1);
  for (int i = 0; i < 5; ++i) PutDouble(named, 0.0);
  ASSERT_EQ(plug.SetChunk(chunk, true, named.data(), static_cast<int>(named.size())), 1);
  EXPECT_EQ(std::string(plug.PresetName(0)), std::string(255, 'n'));  // cut to the field

  Bytes embeddedZero = Header();
  Put32(embeddedZero, 5);
  for (char c : {'a', 'b', '\0', 'c', 'd'}) embeddedZero.push_back(static_cast<std::uint8_t>(c));
  embeddedZero.push_back(1);
  for (int i = 0; i < 5; ++i) PutDouble(embeddedZero, 0.0);
  ASSERT_EQ(plug.SetChunk(chunk, true, embeddedZero.data(), static_cast<int>(embeddedZero.size())), 1);
  EXPECT_STREQ(plug.PresetName(0), "ab");
}

TEST(Presets, ConstructorNamesAndUserPresets) {
  TestPlug plug("1-2 2-2", 5, 3);
  plug.AddDefaultPreset();  // presets exist: nothing added
  ASSERT_EQ(plug.PresetCount(), 3);
  EXPECT_STREQ(plug.PresetName(0), "- 1 -");
  EXPECT_STREQ(plug.PresetName(2), "- 3 -");
  EXPECT_STREQ(plug.PresetName(3), "");
  EXPECT_STREQ(plug.PresetName(-1), "");

  plug.GetPreset(0)->initialised = true;
  plug.CaptureCurrentPreset();
  plug.GetParameter(0)->SetValueClamped(7.0);
  ASSERT_TRUE(plug.ApplyPreset(2));  // never used: takes the current values
  EXPECT_STREQ(plug.PresetName(2), "user preset 1");
  EXPECT_EQ(plug.CurrentPreset(), 2);
  EXPECT_EQ(plug.GetParameter(0)->Value(), 7.0);
  ASSERT_TRUE(plug.ApplyPreset(1));
  EXPECT_STREQ(plug.PresetName(1), "user preset 2");

  ASSERT_TRUE(plug.ApplyPreset(0));  // initialised: its stored values come back
  EXPECT_EQ(plug.GetParameter(0)->Value(), 0.0);
  EXPECT_FALSE(plug.ApplyPreset(3));
  EXPECT_EQ(plug.CurrentPreset(), 0);
}

TEST(Presets, DefaultPresetHoldsTheConstructorValues) {
  TestPlug plug;
  plug.GetParameter(1)->SetValueClamped(-3.0);
  plug.AddDefaultPreset();
  ASSERT_EQ(plug.PresetCount(), 1);
  EXPECT_STREQ(plug.PresetName(0), "Default");
  EXPECT_EQ(plug.GetPreset(0)->state.Size(), 40);

  // Switching to the current preset first captures, then reloads: values stay.
  plug.GetParameter(1)->SetValueClamped(4.0);
  plug.changed.clear();
  plug.CaptureCurrentPreset();
  ASSERT_TRUE(plug.ApplyPreset(0));
  EXPECT_EQ(plug.GetParameter(1)->Value(), 4.0);
  EXPECT_EQ(plug.changed, (std::vector<int>{0, 1, 2, 3, 4}));

  plug.CaptureCurrentPreset("Renamed");
  EXPECT_STREQ(plug.PresetName(0), "Renamed");
  plug.CaptureCurrentPreset("");
  EXPECT_STREQ(plug.PresetName(0), "Renamed");
}

TEST(Presets, PresetMadeUninitialisedByABankTakesFreshValues) {
  TestPlug plug("1-2 2-2", 1, 2);
  plug.GetPreset(0)->initialised = true;
  plug.CaptureCurrentPreset();
  ASSERT_TRUE(plug.ApplyPreset(1));  // preset 1 now holds a state
  ASSERT_TRUE(plug.ApplyPreset(0));

  Bytes bank = Header();
  Put32(bank, 1);
  bank.push_back('a');
  bank.push_back(1);
  PutDouble(bank, 9.0);
  Put32(bank, 1);
  bank.push_back('b');
  bank.push_back(0);  // no longer initialised
  StateChunk chunk;
  ASSERT_EQ(plug.SetChunk(chunk, true, bank.data(), static_cast<int>(bank.size())), 1);
  EXPECT_EQ(plug.GetParameter(0)->Value(), 9.0);

  plug.GetParameter(0)->SetValueClamped(-2.0);
  ASSERT_TRUE(plug.ApplyPreset(1));
  EXPECT_EQ(plug.GetPreset(1)->state.Size(), 8);  // the old state is replaced, not appended to
  ASSERT_TRUE(plug.ApplyPreset(0));
  ASSERT_TRUE(plug.ApplyPreset(1));
  EXPECT_EQ(plug.GetParameter(0)->Value(), -2.0);
}

}  // namespace
}  // namespace tarvel::test
