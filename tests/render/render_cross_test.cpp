// The two builds compute the same equaliser: one input rendered by the native
// renderer through Tarvel.so and by the Windows renderer under Wine through
// Tarvel.dll gives the same samples to within 1e-9.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/render/RenderTestSupport.h"

namespace tarvel::test {
namespace {

const std::string kNativePlugin = TARVEL_PLUGIN_FILE;
const std::string kWindowsRenderer = TARVEL_WIN64_RENDERER;
const std::string kWindowsPlugin = TARVEL_WIN64_PLUGIN;
const std::string kWineRun = TARVEL_WINE_RUN;

TEST(RenderAcrossTargets, NativeAndWindowsBuildsAgree) {
  if (!std::filesystem::exists(kWindowsRenderer) || !std::filesystem::exists(kWindowsPlugin)) {
    GTEST_SKIP() << "no Windows build at " << kWindowsRenderer << " (build the win64 preset first)";
  }
  struct Case {
    int rate;
    int block;
  };
  for (const Case& test : {Case{44100, 512}, Case{48000, 1000}, Case{96000, 64}}) {
    SCOPED_TRACE(std::to_string(test.rate) + " Hz");
    ScratchDir dir;
    ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, test.rate / 4, 21), test.rate, SF_FORMAT_WAV | SF_FORMAT_DOUBLE));
    const std::vector<std::string> common = {"--block", std::to_string(test.block), "--quiet", "--gain",
                                             "80 Hz=-4.5", "--gain", "800 Hz=+9", "--gain", "8 kHz=-60"};
    std::vector<std::string> native = {dir / "in.wav", dir / "native.wav", "--plugin", kNativePlugin};
    native.insert(native.end(), common.begin(), common.end());
    const ToolResult result = RunTool(native);
    ASSERT_EQ(result.status, 0) << result.err;

    std::string command = "\"" + kWineRun + "\" \"" + kWindowsRenderer + "\" \"" + (dir / "in.wav") + "\" \"" +
                          (dir / "windows.wav") + "\" --plugin \"" + kWindowsPlugin + "\"";
    for (const std::string& arg : common) command += " \"" + arg + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const Channels a = ReadAudio(dir / "native.wav");
    const Channels b = ReadAudio(dir / "windows.wav");
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    for (size_t c = 0; c < 2; ++c) EXPECT_LT(MaxAbsDifference(a[c], b[c]), 1e-9) << "channel " << c;
  }
}

}  // namespace
}  // namespace tarvel::test
