#include <xmmintrin.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "effect/ConvolutionEngine.h"
#include "effect/DisplayTap.h"
#include "tests/support/TappedEngine.h"
#include "effect/InstanceSlot.h"
#include "ReferenceFilter.h"

namespace tarvel {
namespace {

using Channels = std::vector<std::vector<double>>;

// Channel 0 is noise, each sample non-zero with probability `density`;
// channel 1 a few impulses. A mix-up of the channels or a lost sample cannot
// hide, and the sparse input keeps the direct reference affordable.
Channels TestSignal(std::int32_t frames, std::uint32_t seed, double density = 1.0) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  Channels x(2, std::vector<double>(frames, 0.0));
  for (double& v : x[0]) v = value(random) * 0.5 + 0.5 < density ? value(random) : 0.0;
  for (int i = 0; i < 40; ++i) x[1][random() % frames] = value(random);
  return x;
}

// Feeds the whole signal in calls of the lengths `nextLength` gives, calling
// `beforeCall`(call index) first; answers the output.
// One call through the engine and then the display tap, as Tarvel makes it.
void Process(ConvolutionEngine& engine, DisplayTap& tap, const double* const* in, double* const* out,
             std::int32_t frames) {
  engine.ProcessBlock(in, out, frames);
  tap.Feed(engine, frames);
}

Channels Feed(ConvolutionEngine& engine, const Channels& x, const std::function<std::int32_t()>& nextLength,
             bool inPlace = false, const std::function<void(int)>& beforeCall = {}, DisplayTap* tap = nullptr) {
  const auto frames = static_cast<std::int32_t>(x[0].size());
  Channels y = inPlace ? x : Channels(2, std::vector<double>(frames, 0.0));
  for (std::int32_t done = 0, call = 0; done < frames; ++call) {
    const std::int32_t n = std::min(nextLength(), frames - done);
    if (beforeCall) beforeCall(call);
    const double* in[2] = {inPlace ? &y[0][done] : &x[0][done], inPlace ? &y[1][done] : &x[1][done]};
    double* out[2] = {&y[0][done], &y[1][done]};
    engine.ProcessBlock(in, out, n);
    if (tap) tap->Feed(engine, n);
    done += n;
  }
  return y;
}

// What the engine must deliver: input block b (hop frames) filtered with the
// kernel in force, or crossfaded from `before` to `after` over the block, and
// delayed by one hop more.
struct BlockKernels {
  const std::vector<double>* before;
  const std::vector<double>* after;
};

std::vector<double> Reference(const std::vector<double>& x, std::int32_t hop,
                              const std::function<BlockKernels(std::int32_t)>& kernelsOfBlock) {
  const auto frames = static_cast<std::int32_t>(x.size());
  std::vector<double> y(frames, 0.0);
  for (std::int32_t t = 0; t + hop < frames; ++t) {
    if (x[t] == 0.0) continue;
    const BlockKernels k = kernelsOfBlock(t / hop);
    const double c = std::cos(((t % hop) * 3.1415927410125732) / (hop - 1));
    const double fadeOut = k.before == k.after ? 1.0 : c * 0.5 + 0.5;
    const double fadeIn = k.before == k.after ? 0.0 : 0.5 - c * 0.5;
    const double a = x[t] * fadeOut, b = x[t] * fadeIn;
    const double* before = k.before->data();
    const double* after = k.after->data();
    double* out = y.data() + t + hop;
    const auto taps = std::min<std::int32_t>(k.before->size(), frames - t - hop);
    for (std::int32_t j = 0; j < taps; ++j) out[j] += a * before[j] + b * after[j];
  }
  return y;
}

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

constexpr double kRates[] = {44100.0, 48000.0, 96000.0, 192000.0};
constexpr std::int32_t kCallLengths[] = {1, 2, 64, 512, 1000, 1024, 1536, 2000, 4096, 5000};
const BandGains kGains{1.8, 0.5, 1.0, 0.03, 2.5};

// Runs the engine at `rate` over x in calls of the lengths given and compares
// with the direct convolution.
void ExpectMatchesReference(double rate, const Channels& x,
                            const std::function<std::int32_t()>& lengths, bool inPlace = false) {
  ConvolutionEngine engine;
  ASSERT_TRUE(engine.AllocateEngine(rate));
  engine.ResetGains(kGains);
  const std::int32_t k = KernelLengthForRate(static_cast<std::int32_t>(rate));
  const std::int32_t hop = TransformLengthForRate(static_cast<std::int32_t>(rate)) - k + 1;
  ASSERT_EQ(engine.Latency(), hop + k / 2);
  static std::map<double, std::vector<double>> kernels;  // designing is slow under ASan
  if (!kernels.count(rate)) kernels[rate] = test::MixedKernel(rate, kGains);
  const std::vector<double>& kernel = kernels[rate];
  const auto fixed = [&](std::int32_t) { return BlockKernels{&kernel, &kernel}; };
  const Channels y = Feed(engine, x, lengths, inPlace);
  EXPECT_LT(MaxDifference(y[0], Reference(x[0], hop, fixed)), 1e-9);
  EXPECT_LT(MaxDifference(y[1], Reference(x[1], hop, fixed)), 1e-9);
}

TEST(ConvolutionEngine, MatchesDirectConvolutionForEveryConstantCallLength) {
  const Channels x = TestSignal(2048 + 3 * 1536, 7);
  for (const std::int32_t length : kCallLengths) {
    SCOPED_TRACE(length);
    ExpectMatchesReference(44100.0, x, [=] { return length; });
  }
  ExpectMatchesReference(44100.0, x, [] { return 2560 + 77; }, true);  // beyond N, in place
}

// At every rate: each listed length three times in a row, empty calls and
// calls beyond N between them; then random lengths.
TEST(ConvolutionEngine, MatchesDirectConvolutionForVaryingCallLengthsAtEveryRate) {
  for (const double rate : kRates) {
    SCOPED_TRACE(rate);
    const std::int32_t n = TransformLengthForRate(static_cast<std::int32_t>(rate));
    std::vector<std::int32_t> walk;
    for (const std::int32_t length : kCallLengths) walk.insert(walk.end(), {length, length, length, 0});
    walk.insert(walk.end(), {n + 77, n + 77, 2 * n + 1});
    std::int32_t total = 0;
    for (const std::int32_t length : walk) total += length;
    std::size_t next = 0;
    ExpectMatchesReference(rate, TestSignal(total, 17, 0.125), [&] { return walk[next++]; });

    std::mt19937 random(11);
    const auto randomLength = [&] {
      const std::uint32_t kind = random() % 8;  // mostly short, some empty, some beyond N
      return kind == 0 ? 0 : kind == 1 ? std::int32_t(random() % (2 * n)) : std::int32_t(random() % 600);
    };
    const Channels x = TestSignal(4 * n, 19, 0.125);
    ExpectMatchesReference(rate, x, randomLength);
    ExpectMatchesReference(rate, x, randomLength, true);
  }
}

TEST(ConvolutionEngine, FlatSettingDelaysByExactlyTheReportedLatency) {
  for (const double rate : kRates) {
    ConvolutionEngine engine;
    ASSERT_TRUE(engine.AllocateEngine(rate));
    const std::int32_t latency = engine.Latency();
    for (const std::int32_t length : {1, 512, 1000}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, calls of " << length);
      ASSERT_TRUE(engine.AllocateEngine(rate));
      Channels x(2, std::vector<double>(latency + 20, 0.0));
      x[0][0] = 1.0;
      x[1][7] = 1.0;
      const Channels y = Feed(engine, x, [=] { return length; });
      EXPECT_NEAR(y[0][latency], 1.0, 1e-3);
      EXPECT_NEAR(y[1][latency + 7], 1.0, 1e-3);
      EXPECT_LT(std::abs(y[0][latency - 1]), 1e-3);
      EXPECT_LT(std::abs(y[0][latency + 1]), 1e-3);
    }
  }
}

// Gain changes are crossfaded over exactly the next full block; changes
// between two blocks make one crossfade to the last values set.
TEST(ConvolutionEngine, EachChangeCrossfadesOverOneBlock) {
  const double rate = 44100.0;
  const std::int32_t hop = 1536;
  const BandGains flat{1, 1, 1, 1, 1};
  const BandGains first{1, 1, 0.001, 1, 1};
  const BandGains last{0.5, 1, 0.001, 1, 0.2};
  const std::vector<double> hFlat = test::MixedKernel(rate, flat);
  const std::vector<double> hFirst = test::MixedKernel(rate, first);
  const std::vector<double> hLast = test::MixedKernel(rate, last);

  ConvolutionEngine engine;
  ASSERT_TRUE(engine.AllocateEngine(rate));
  const Channels x = TestSignal(8 * hop, 3);
  // Calls of 700 frames: the change before call 3 (frame 2100) lands in block
  // 1; those before calls 5 and 6 (frames 3500, 4200) both land in block 2.
  const Channels y = Feed(engine, x, [] { return 700; }, false, [&](int call) {
    if (call == 3) engine.SetTargetGain(2, 0.001);
    if (call == 5) engine.SetTargetGain(0, 2.0);
    if (call == 6) {
      engine.SetTargetGain(0, 0.5);
      engine.SetTargetGain(4, 0.2);
    }
  });
  EXPECT_EQ(engine.CurrentGains(), last);

  const auto blocks = [&](std::int32_t b) {
    if (b == 0) return BlockKernels{&hFlat, &hFlat};
    if (b == 1) return BlockKernels{&hFlat, &hFirst};
    if (b == 2) return BlockKernels{&hFirst, &hLast};
    return BlockKernels{&hLast, &hLast};
  };
  EXPECT_LT(MaxDifference(y[0], Reference(x[0], hop, blocks)), 1e-9);
  EXPECT_LT(MaxDifference(y[1], Reference(x[1], hop, blocks)), 1e-9);
}

TEST(ConvolutionEngine, GainSetBackBeforeTheNextBlockChangesNothing) {
  const Channels x = TestSignal(6000, 5);
  ConvolutionEngine plain, touched;
  ASSERT_TRUE(plain.AllocateEngine(44100.0));
  ASSERT_TRUE(touched.AllocateEngine(44100.0));
  const Channels a = Feed(plain, x, [] { return 512; });
  const Channels b = Feed(touched, x, [] { return 512; }, false, [&](int) {
    touched.SetTargetGain(1, 0.25);
    touched.SetTargetGain(1, 1.0);
  });
  EXPECT_EQ(a, b);  // bit for bit: no block went through the crossfade
}

// A host that sets up a fresh instance and renders offline hears its settings
// from the first sample, after an allocation or a ClearHistory alike (changes
// made once frames have gone through crossfade: EachChangeCrossfadesOverOneBlock).
TEST(ConvolutionEngine, GainsSetBeforeTheFirstFramesHoldFromTheFirstSample) {
  const BandGains set{2.0, 1.0, 0.25, 1.0, 1.5};
  const Channels x = TestSignal(5000, 13);
  ConvolutionEngine reference;
  ASSERT_TRUE(reference.AllocateEngine(48000.0));
  reference.ResetGains(set);
  const Channels want = Feed(reference, x, [] { return 700; });

  ConvolutionEngine engine;
  ASSERT_TRUE(engine.AllocateEngine(48000.0));
  const auto setGains = [&] {
    for (std::int32_t m = 0; m < kBandCount; ++m) engine.SetTargetGain(m, set[m]);
  };
  setGains();
  engine.ProcessBlock(nullptr, nullptr, 0);  // a call without frames consumes nothing
  EXPECT_EQ(Feed(engine, x, [] { return 700; }), want);

  engine.ResetGains({1, 1, 1, 1, 1});
  engine.ClearHistory();
  setGains();
  EXPECT_EQ(Feed(engine, x, [] { return 700; }), want);

}

TEST(ConvolutionEngine, ResetAtANewRateRestartsAndAnUnchangedOrUnusableRateKeepsState) {
  const Channels x = TestSignal(9000, 9);
  ConvolutionEngine engine, uninterrupted;
  ASSERT_TRUE(engine.AllocateEngine(44100.0));
  ASSERT_TRUE(uninterrupted.AllocateEngine(44100.0));
  const Channels want = Feed(uninterrupted, x, [] { return 1000; });
  const Channels got = Feed(engine, x, [] { return 1000; }, false, [&](int call) {
    if (call != 4) return;
    EXPECT_FALSE(engine.ResetProcessing(44100.0));
    for (const double bad : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), 1e10}) {
      EXPECT_FALSE(engine.ResetProcessing(bad));
    }
  });
  EXPECT_EQ(got, want);
  EXPECT_EQ(engine.Latency(), 2048);

  // At a new rate nothing of the 44.1 kHz input may leak into the output.
  ASSERT_TRUE(engine.ResetProcessing(48000.0));
  EXPECT_EQ(engine.Latency(), 2514);
  ConvolutionEngine fresh;
  ASSERT_TRUE(fresh.AllocateEngine(48000.0));
  EXPECT_EQ(Feed(engine, x, [] { return 777; }), Feed(fresh, x, [] { return 777; }));
}

TEST(ConvolutionEngine, DisplayFeedShowsThePreviousAndTheNextFramesWithinItsCapacity) {
  test::TappedEngine tapped;
  ASSERT_TRUE(tapped.allocated);
  InstanceSlot& slot = tapped.slot;
  ConvolutionEngine& engine = tapped.engine;
  DisplayTap& tap = tapped.tap;
  std::vector<std::int32_t> shown(2 * kDisplayFrames), before(2 * 64);
  EXPECT_EQ(slot.CopyDisplayValues(shown), 0);

  const Channels x = TestSignal(64 * 80, 13);
  Feed(engine, x, [] { return 64; }, false, [&](int call) {
    if (call == 0) return;
    // What the previous call left: its own first half and the frames that
    // this call is about to emit (they are complete: 64 divides the hop).
    shown.assign(2 * kDisplayFrames, -1);
    if (call == 1) {  // the first call after the first read has no previous one
      EXPECT_EQ(slot.CopyDisplayValues(shown), 0);
      return;
    }
    ASSERT_EQ(slot.CopyDisplayValues(shown), 2 * 64);
    if (call > 2) {
      EXPECT_TRUE(std::equal(before.begin() + 64, before.end(), shown.begin()));
    }
    before.assign(shown.begin(), shown.begin() + 2 * 64);
  }, &tap);
  // The last call's second half against what the engine then emits.
  ASSERT_EQ(slot.CopyDisplayValues(before), 2 * 64);
  double in[2][64] = {}, out[2][64];
  const double* ins[2] = {in[0], in[1]};
  double* outs[2] = {out[0], out[1]};
  Process(engine, tap, ins, outs, 64);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(before[64 + i], static_cast<std::int32_t>((out[1][i] + out[0][i]) * 64.0));
  }

  // Long calls are summarised by their first kDisplayFrames frames, and loud
  // signals saturate instead of overflowing.
  std::vector<double> loud(5000, 1e12);
  const double* louds[2] = {loud.data(), loud.data()};
  std::vector<double> sink[2] = {std::vector<double>(5000), std::vector<double>(5000)};
  double* sinks[2] = {sink[0].data(), sink[1].data()};
  for (int call = 0; call < 3; ++call) Process(engine, tap, louds, sinks, 5000);
  EXPECT_EQ(slot.displayLength.load(), kDisplayFrames);
  ASSERT_EQ(slot.CopyDisplayValues(shown), kDisplayCapacity);
  EXPECT_EQ(shown[kDisplayCapacity - 1], INT32_MAX);

  Process(engine, tap, louds, sinks, 0);
  EXPECT_EQ(slot.displayLength.load(), 0);
  EXPECT_EQ(slot.CopyDisplayValues(shown), 0);
}

// The summary is written while it is read: unread, nothing is announced; once
// read, from the second call on (the first has no previous one beside it);
// unread for long, the values are withdrawn.
TEST(ConvolutionEngine, DisplayFeedRunsWhileTheSummaryIsRead) {
  test::TappedEngine tapped;
  ASSERT_TRUE(tapped.allocated);
  InstanceSlot& slot = tapped.slot;
  ConvolutionEngine& engine = tapped.engine;
  DisplayTap& tap = tapped.tap;
  std::vector<double> left(4096, 0.5), right(4096, -0.25), sink[2] = {left, right};
  const double* in[2] = {left.data(), right.data()};
  double* out[2] = {sink[0].data(), sink[1].data()};
  std::vector<std::int32_t> shown(kDisplayCapacity);

  Process(engine, tap, in, out, 512);
  EXPECT_EQ(slot.displayLength.load(), 0);
  EXPECT_EQ(slot.CopyDisplayValues(shown), 0);
  Process(engine, tap, in, out, 512);
  EXPECT_EQ(slot.displayLength.load(), 0);
  for (int call = 0; call < 4; ++call) {
    Process(engine, tap, in, out, 512);
    EXPECT_EQ(slot.displayLength.load(), 512);
  }
  EXPECT_EQ(slot.CopyDisplayValues(shown), 2 * 512);
  // The latest call's values are the next output: past the latency, 16.
  Process(engine, tap, in, out, 512);
  EXPECT_EQ(shown[2 * 512 - 1], static_cast<std::int32_t>((sink[0][511] + sink[1][511]) * 64.0));

  for (std::int64_t done = 0; done < DisplayTap::kUnreadFeedFrames; done += 4096) {
    Process(engine, tap, in, out, 4096);
  }
  EXPECT_EQ(slot.displayLength.load(), 0);
}

// What the display shows for one frame's channel sum.
std::int32_t DisplayValue(double sum) {
  if (std::isnan(sum)) return 0;
  if (sum >= 2147483647.0) return INT32_MAX;
  if (sum <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(sum);
}

TEST(ConvolutionEngine, DisplayFeedSaturatesBothWaysAndShowsNaNAsZeroInCallsOfAnyLength) {
  test::TappedEngine tapped;
  ASSERT_TRUE(tapped.allocated);
  InstanceSlot& slot = tapped.slot;
  ConvolutionEngine& engine = tapped.engine;
  DisplayTap& tap = tapped.tap;
  engine.ResetGains(kGains);
  const std::int32_t hop = engine.Latency() - KernelLengthForRate(44100) / 2;
  // Loud enough that many sums leave the 32-bit range on either side.
  Channels x = TestSignal(40000, 21);
  for (auto& channel : x) {
    for (double& v : channel) v *= 6e7;
  }
  x[0][20000] = std::numeric_limits<double>::quiet_NaN();  // poisons a few blocks

  constexpr std::int32_t kLengths[] = {7, 1, 63, 301, 2};
  std::vector<std::int32_t> shown(kDisplayCapacity);
  std::int32_t shownLength = slot.CopyDisplayValues(shown) / 2;  // an editor opens
  std::int32_t fill = 0;  // frames of the current block before the call
  int high = 0, low = 0, nan = 0, inRange = 0;
  for (std::int32_t done = 0, call = 0; done + 301 <= 40000; ++call) {
    const std::int32_t frames = kLengths[call % 5];
    double out[2][301];
    const double* in[2] = {&x[0][done], &x[1][done]};
    double* outs[2] = {out[0], out[1]};
    Process(engine, tap, in, outs, frames);
    // Frames shown by the previous call are final up to the block's end.
    const std::int32_t checked = std::min({frames, shownLength, hop - fill});
    for (std::int32_t i = 0; i < checked; ++i) {
      const double sum = (out[1][i] + out[0][i]) * 64.0;
      ASSERT_EQ(shown[shownLength + i], DisplayValue(sum)) << "call " << call << " frame " << i;
      high += sum >= 2147483647.0;
      low += sum <= -2147483648.0;
      nan += std::isnan(sum);
      inRange += std::abs(sum) < 2e9;
    }
    shownLength = slot.CopyDisplayValues(shown) / 2;
    ASSERT_EQ(shownLength, call == 0 ? 0 : frames);  // the first call has no previous one
    fill = (fill + frames) % hop;
    done += frames;
  }
  EXPECT_GT(high, 100);
  EXPECT_GT(low, 100);
  EXPECT_GT(nan, 100);
  EXPECT_GT(inRange, 100);
}

TEST(ConvolutionEngine, FlushesDenormalsWhileProcessingAndRestoresTheCallersState) {
  ConvolutionEngine engine;
  ASSERT_TRUE(engine.AllocateEngine(44100.0));
  std::vector<double> tiny(4096, 1e-310);
  std::vector<double> out[2] = {std::vector<double>(4096), std::vector<double>(4096)};
  const double* in[2] = {tiny.data(), tiny.data()};
  double* outs[2] = {out[0].data(), out[1].data()};
  const unsigned callers = _mm_getcsr();
  for (const unsigned mxcsr : {callers & ~0x8040u, callers | 0x8040u}) {
    _mm_setcsr(mxcsr);
    engine.ProcessBlock(in, outs, 4096);
    EXPECT_EQ(_mm_getcsr() & ~0x3Fu, mxcsr & ~0x3Fu);  // all but the sticky flags
  }
  _mm_setcsr(callers);
  // Denormal input reads as zero, so the filtered output is exactly silent.
  for (const double v : out[0]) ASSERT_EQ(v, 0.0);
}

TEST(ConvolutionEngine, ReleasedEngineAndMissingChannelsGiveSilence) {
  ConvolutionEngine engine;
  EXPECT_FALSE(engine.AllocateEngine(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(engine.Latency(), 0);
  std::vector<double> ones(3000, 1.0), out[2] = {std::vector<double>(3000, 5.0), std::vector<double>(3000, 5.0)};
  const double* in[2] = {ones.data(), nullptr};
  double* outs[2] = {out[0].data(), out[1].data()};
  engine.ProcessBlock(in, outs, 3000);
  EXPECT_EQ(out[0], std::vector<double>(3000, 0.0));

  ASSERT_TRUE(engine.AllocateEngine(44100.0));
  out[1].assign(3000, 5.0);
  engine.ProcessBlock(in, outs, 3000);
  EXPECT_NEAR(out[0][2999], 1.0, 1e-3);
  EXPECT_EQ(out[1], std::vector<double>(3000, 0.0));
  double* onlyLeft[2] = {out[0].data(), nullptr};
  engine.ProcessBlock(in, onlyLeft, 3000);
  engine.ProcessBlock(nullptr, outs, -5);

  // A channel of zeros gets exact silence beside a loud one, either way round
  // (the shared transform would leak rounding errors into it).
  const std::vector<double> zeros(3000, 0.0);
  for (const int loud : {0, 1}) {
    ASSERT_TRUE(engine.AllocateEngine(44100.0));
    const double* pair[2] = {loud == 0 ? ones.data() : zeros.data(), loud == 1 ? ones.data() : zeros.data()};
    for (int call = 0; call < 3; ++call) engine.ProcessBlock(pair, outs, 3000);
    EXPECT_NEAR(out[loud][2999], 1.0, 1e-3);
    EXPECT_EQ(out[1 - loud], std::vector<double>(3000, 0.0));
  }
}

}  // namespace
}  // namespace tarvel
