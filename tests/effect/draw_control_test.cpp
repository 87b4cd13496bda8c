// The editor's picture: every pixel against the formula, the text line drawn
// with the embedded font, the frame counter and the mouse.
#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "effect/IDrawControl.h"
#include "effect/PicturePaint.h"
#include "AllocationCounter.h"
#include "raster/LICE_SysBitmap.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/PictureFormula.h"
#include "text/TextLabel.h"

namespace tarvel {
namespace {

constexpr int kSize = 768;

using test::PicturePixel;

class DrawControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildEditor(plug, slot, 7);
    graphics = dynamic_cast<IGraphics*>(plug.Editor());
    ASSERT_NE(graphics, nullptr);
    ASSERT_EQ(graphics->ControlCount(), 1);
    control = graphics->GetControl(0);
    pixels = slot.pixels.load();
    ASSERT_NE(pixels, nullptr);
    ASSERT_EQ(pixels, graphics->DrawBitmap()->Pixels());
  }
  void TearDown() override { ReleaseEditorRecord(slot); }

  // Two calls of `length` frames: value(i) for the first, value(length + i)
  // for the second.
  void SetSummary(std::int32_t length, std::int32_t (*value)(int)) {
    for (int call = 0; call < 2; ++call) {
      std::atomic<std::int32_t>* values = slot.NextDisplayHalf();
      for (int i = 0; i < kDisplayFrames; ++i) values[i].store(value(call * length + i));
      slot.PublishDisplay(length);
    }
  }

  // The whole picture for frame f with the summary's values, then the label's
  // text drawn over it as the control must have drawn it.
  std::vector<std::uint32_t> ExpectedPicture(int f, const std::vector<std::int32_t>& values, std::uint32_t alpha) {
    std::vector<std::uint32_t> picture(kSize * kSize);
    for (int j = 0; j < kSize; ++j)
      for (int k = 0; k < kSize; ++k) picture[j * kSize + k] = alpha | PicturePixel(k, j, f, values[j], values[k]);
    DrawTextLabel(*slot.label.load(), picture.data(), 0xFFFFFFFF, kSize, kSize);
    return picture;
  }

  void ExpectPicture(const std::vector<std::uint32_t>& expected) {
    int wrong = 0;
    for (int i = 0; i < kSize * kSize && wrong < 5; ++i) {
      if (pixels[i] != expected[i]) {
        ADD_FAILURE() << "pixel (" << i % kSize << ", " << i / kSize << "): " << std::hex << pixels[i] << " != "
                      << expected[i];
        ++wrong;
      }
    }
  }

  testing::RecordingPlug plug{5};
  InstanceSlot slot;
  IGraphics* graphics = nullptr;
  IControl* control = nullptr;
  std::uint32_t* pixels = nullptr;
};

TEST_F(DrawControlTest, BeforeAnyAudioEveryPixelFollowsTheFrameAndPosition) {
  EXPECT_STREQ(slot.label.load()->text.data(), "Instance #7");
  std::fill(pixels, pixels + kSize * kSize, 0x5A000000u);  // alpha must survive
  slot.frame.store(1000);
  EXPECT_TRUE(control->NeedsRedraw());
  PixelRect dirty;
  ASSERT_TRUE(graphics->CollectDirtyRect(dirty));
  EXPECT_EQ(dirty, (PixelRect{0, 0, kSize, kSize}));
  ASSERT_TRUE(graphics->RenderRect(dirty));
  EXPECT_EQ(slot.frame.load(), 1001);
  const std::string text = slot.label.load()->text.data();
  ASSERT_EQ(text.size(), 8u);
  EXPECT_TRUE(text[0] >= 'A' && text[0] <= 'Z') << text;
  EXPECT_EQ(text.substr(1), " bin: 0");
  ExpectPicture(ExpectedPicture(1001, std::vector<std::int32_t>(kSize, 0), 0x5A000000u));
  // The text is really there: inked pixels on its rows.
  int inked = 0;
  for (int j = 756; j < kSize; ++j) {
    for (int k = 0; k < kSize; ++k) {
      const std::uint32_t plain = PicturePixel(k, j, 1001, 0, 0);
      inked += (pixels[j * kSize + k] & 0xFFFFFF) != plain;
    }
  }
  EXPECT_GT(inked, 40);
}

TEST_F(DrawControlTest, ShortCallsRepeatTheLastSummaryValueAndNegativesWrap) {
  // 64-frame calls: rows and columns 0..127 have their own values.
  SetSummary(64, [](int i) { return i * 37 - 3000; });
  slot.frame.store(65535);  // wraps to 0
  control->Render(*graphics);
  EXPECT_EQ(slot.frame.load(), 0);
  std::vector<std::int32_t> values(kSize);
  for (int i = 0; i < kSize; ++i) values[i] = (i < 128 ? i : 127) * 37 - 3000;
  EXPECT_EQ(std::string(slot.label.load()->text.data()).substr(1), " bin: " + std::to_string(127 * 37 - 3000));
  ExpectPicture(ExpectedPicture(0, values, 0));

  // Long calls: each of the 768 rows and columns has a value of its own, the
  // ends of the 32-bit range among them.
  SetSummary(700, [](int i) { return i % 3 == 0 ? INT32_MAX - i : i % 3 == 1 ? INT32_MIN + i : i * i; });
  control->Render(*graphics);
  for (int i = 0; i < kSize; ++i) values[i] = i % 3 == 0 ? INT32_MAX - i : i % 3 == 1 ? INT32_MIN + i : i * i;
  ExpectPicture(ExpectedPicture(1, values, 0));
}

TEST_F(DrawControlTest, PressAndDragSetTheFrame) {
  graphics->DispatchMouseDown(100, 200, MouseMods{true});
  EXPECT_EQ(slot.frame.load(), 300);
  control->Render(*graphics);
  EXPECT_EQ(slot.frame.load(), 301);
  EXPECT_EQ(pixels[0] & 0xFF, 301u & 0xFF);
  graphics->DispatchMouseDrag(700, 500, MouseMods{true});
  EXPECT_EQ(slot.frame.load(), 1200);
  control->HandleMouseDown(40000, 40000, MouseMods{});  // 16 bits
  EXPECT_EQ(slot.frame.load(), 80000 % 65536);
}

TEST_F(DrawControlTest, TicksAllocateNothing) {
  SetSummary(512, [](int i) { return i; });
  PixelRect dirty;
  graphics->CollectDirtyRect(dirty);
  graphics->RenderRect(dirty);
  const long before = test::AllocationCount();
  for (int i = 0; i < 3; ++i) {
    dirty = PixelRect{};
    graphics->CollectDirtyRect(dirty);
    graphics->RenderRect(dirty);
  }
  EXPECT_EQ(test::AllocationCount(), before);
}

// The text line's letter comes from a generator of the rendering thread that
// every thread starts alike: a capital, the same first one on every fresh
// thread, and not the same one frame after frame.
TEST_F(DrawControlTest, LetterComesFromAGeneratorPerThreadStartingAlike) {
  const auto lettersOnAFreshThread = [&](int frames) {
    std::string letters;
    std::thread fresh([&] {
      for (int i = 0; i < frames; ++i) {
        control->Render(*graphics);
        const std::string text = slot.label.load()->text.data();
        if (text.size() < 2 || text[1] != ' ' || text.rfind(" bin: ") != 1) return;
        letters += text[0];
      }
    });
    fresh.join();
    return letters;
  };
  const std::string first = lettersOnAFreshThread(40);
  ASSERT_EQ(first.size(), 40u);
  for (const char letter : first) EXPECT_TRUE(letter >= 'A' && letter <= 'Z') << letter;
  EXPECT_EQ(lettersOnAFreshThread(40), first);
  EXPECT_GT(std::set<char>(first.begin(), first.end()).size(), 5u);
}

TEST(PicturePaint, EveryVariantAddsBytesWithoutCarriesAndKeepsAlpha) {
  std::vector<std::uint32_t> column(kSize), old(kSize);
  std::uint32_t seed = 12345;
  const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int k = 0; k < kSize; ++k) {
    column[k] = next() & 0x00FFFFFF;
    old[k] = next();
  }
  const std::uint32_t rowTerm = 0x00F08199;  // bytes that carry in most sums
  std::vector<std::uint32_t> expected(kSize);
  for (int k = 0; k < kSize; ++k) {
    expected[k] = old[k] & 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8)
      expected[k] |= (((column[k] >> shift) + (rowTerm >> shift)) & 0xFF) << shift;
  }
  int variants = 0;
  for (PaintRowFunction paint : {PaintRowSse2(), PaintRowAvx2(), PaintRowAvx512(), PaintRow()}) {
    if (!paint) continue;  // not on this processor
    ++variants;
    std::vector<std::uint32_t> row = old;
    paint(row.data(), column.data(), rowTerm, kSize);
    EXPECT_EQ(row, expected) << "variant " << variants;
  }
  EXPECT_GE(variants, 2);
}

}  // namespace
}  // namespace tarvel
