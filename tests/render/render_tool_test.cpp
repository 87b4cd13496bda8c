// tarvel-render driven in-process against the built plug-in file, on both
// targets: what it writes is the input through the equaliser's kernel, aligned
// to the sample; what it refuses, it names and leaves no file behind.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <sstream>

#include "tests/render/RenderTestSupport.h"

namespace tarvel::test {
namespace {

const std::string kPlugin = TARVEL_PLUGIN_FILE;
const char* const kBands[5] = {"80 Hz", "250 Hz", "800 Hz", "2.5 kHz", "8 kHz"};

using Setting = std::array<double, 5>;

// The options first, as hosts' scripts write them: each --gain takes one value
// and the files after it stay files.
std::vector<std::string> Args(const std::vector<std::string>& rest, const Setting& setting) {
  std::vector<std::string> args = {"--plugin", kPlugin, "--quiet"};
  for (size_t band = 0; band < setting.size(); ++band) {
    std::ostringstream gain;
    gain << kBands[band] << "=" << setting[band];
    args.insert(args.end(), {"--gain", gain.str()});
  }
  args.insert(args.end(), rest.begin(), rest.end());
  return args;
}

void ExpectFiltered(const Channels& input, const Channels& output, const std::vector<double>& kernel,
                    double tolerance) {
  ASSERT_EQ(output.size(), input.size());
  for (size_t c = 0; c < input.size(); ++c) {
    ASSERT_EQ(output[c].size(), input[c].size());
    EXPECT_LT(MaxAbsDifference(output[c], FilterCentred(input[c], kernel)), tolerance) << "channel " << c;
  }
}

TEST(RenderTool, OutputIsTheInputThroughTheKernelAlignedToTheSample) {
  const Setting setting = {-6.0, 0.0, 4.5, -60.0, 12.0};
  struct Case {
    int rate;
    int block;
  };
  // Call lengths that divide the engine's hop, that do not, a single frame,
  // and more than a hop; rates from three rows of the design table.
  for (const Case& test : {Case{44100, 512}, Case{44100, 1000}, Case{44100, 1}, Case{48000, 64}, Case{96000, 4096},
                           Case{22050, 333}}) {
    SCOPED_TRACE(std::to_string(test.rate) + " Hz, " + std::to_string(test.block) + "-frame calls");
    ScratchDir dir;
    const Channels input = Noise(2, test.rate / 5, static_cast<unsigned>(test.rate + test.block));
    ASSERT_TRUE(WriteAudio(dir / "in.wav", input, test.rate, SF_FORMAT_WAV | SF_FORMAT_DOUBLE));
    const ToolResult result =
        RunTool(Args({dir / "in.wav", dir / "out.wav", "--block", std::to_string(test.block)}, setting));
    ASSERT_EQ(result.status, 0) << result.err;
    SF_INFO info{};
    const Channels output = ReadAudio(dir / "out.wav", &info);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
    EXPECT_EQ(info.samplerate, test.rate);
    ExpectFiltered(input, output, ExpectedKernel(test.rate, setting), 1e-9);
  }
}

TEST(RenderTool, MonoFileGivesMonoOutputThroughTheSameFilter) {
  const Setting setting = {3.0, -12.0, 0.0, 6.0, -3.0};
  ScratchDir dir;
  Channels input = Noise(1, 9000, 7);
  for (double& sample : input[0]) sample = static_cast<float>(sample);  // exact in the float file
  ASSERT_TRUE(WriteAudio(dir / "mono.wav", input, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  const ToolResult result = RunTool(Args({dir / "mono.wav", dir / "out.wav"}, setting));
  ASSERT_EQ(result.status, 0) << result.err;
  SF_INFO info{};
  const Channels output = ReadAudio(dir / "out.wav", &info);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  ExpectFiltered(input, output, ExpectedKernel(48000, setting), 1e-6);
}

TEST(RenderTool, SinglePrecisionCallbacksGiveTheSameAudio) {
  const Setting setting = {0.0, 6.0, -6.0, 0.0, 2.5};
  ScratchDir dir;
  Channels input = Noise(2, 6000, 11);
  for (auto& channel : input) {
    for (double& sample : channel) sample = static_cast<float>(sample);
  }
  ASSERT_TRUE(WriteAudio(dir / "in.wav", input, 44100, SF_FORMAT_WAV | SF_FORMAT_DOUBLE));
  // Either spelling of an option's value, in any case.
  for (const auto& precision : {std::vector<std::string>{"--precision=Float"}, {"--precision", "ACCUMULATE"}}) {
    SCOPED_TRACE(precision[0]);
    std::vector<std::string> args = {dir / "in.wav", dir / "out.wav", "--block=700"};
    args.insert(args.end(), precision.begin(), precision.end());
    const ToolResult result = RunTool(Args(args, setting));
    ASSERT_EQ(result.status, 0) << result.err;
    ExpectFiltered(input, ReadAudio(dir / "out.wav"), ExpectedKernel(44100, setting), 2e-6);
  }
}

// The output's format: its name's extension in any case, else --format, else
// the input's; a --format that contradicts the name writes nothing.
TEST(RenderTool, OutputFormatFollowsTheNameThenFormatThenTheInput) {
  const Setting setting = {0.0, 0.0, -12.0, 0.0, 0.0};
  ScratchDir dir;
  Channels input = Noise(2, 5000, 3);
  for (auto& channel : input) {
    for (double& sample : channel) sample = std::round(sample * 8388608.0) / 8388608.0;  // exact in 24 bits
  }
  ASSERT_TRUE(WriteAudio(dir / "in.aiff", input, 44100, SF_FORMAT_AIFF | SF_FORMAT_PCM_24));
  const std::vector<double> kernel = ExpectedKernel(44100, setting);
  // FLAC needs codec libraries that the Windows build leaves out; there it
  // must fail cleanly instead.
  int formats = 0;
  bool hasFlac = false;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &formats, sizeof formats);
  for (int i = 0; i < formats; ++i) {
    SF_FORMAT_INFO format{};
    format.format = i;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &format, sizeof format);
    hasFlac = hasFlac || format.format == SF_FORMAT_FLAC;
  }
  struct Case {
    std::string name;
    std::vector<std::string> format;
    int major;
  };
  for (const Case& test : {Case{"out.wav", {}, SF_FORMAT_WAV}, Case{"OUT.WAV", {}, SF_FORMAT_WAV},
                           Case{"out.aif", {}, SF_FORMAT_AIFF}, Case{"out.AIFF", {"--format", "aif"}, SF_FORMAT_AIFF},
                           Case{"out.Flac", {}, SF_FORMAT_FLAC}, Case{"out.snd", {"--format=WAV"}, SF_FORMAT_WAV},
                           Case{"out.data", {}, SF_FORMAT_AIFF}}) {
    SCOPED_TRACE(test.name);
    std::vector<std::string> args = {dir / "in.aiff", dir / test.name};
    args.insert(args.end(), test.format.begin(), test.format.end());
    const auto before = dir.Snapshot();
    const ToolResult result = RunTool(Args(args, setting));
    if (test.major == SF_FORMAT_FLAC && !hasFlac) {
      EXPECT_NE(result.status, 0);
      EXPECT_NE(result.err.find("cannot write FLAC"), std::string::npos) << result.err;
      EXPECT_EQ(dir.Snapshot(), before);
      continue;
    }
    ASSERT_EQ(result.status, 0) << result.err;
    SF_INFO info{};
    ExpectFiltered(input, ReadAudio(dir / test.name, &info), kernel, 2.0 / 8388608.0);
    EXPECT_EQ(info.format, test.major | SF_FORMAT_PCM_24);
  }
  if (hasFlac) {  // and FLAC reads back in as input
    const ToolResult result = RunTool(Args({dir / "out.Flac", dir / "again.flac"}, {}));
    EXPECT_EQ(result.status, 0) << result.err;
  }

  const auto before = dir.Snapshot();
  const ToolResult result = RunTool(Args({dir / "in.aiff", dir / "new.wav", "--format", "flac"}, setting));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "tarvel-render: --format FLAC contradicts the output name '" + (dir / "new.wav") + "' (WAV)\n");
  EXPECT_EQ(dir.Snapshot(), before);
}

TEST(RenderTool, EveryBadInputIsNamedAndWritesNothing) {
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "good.wav", Noise(2, 2000, 1), 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  ASSERT_TRUE(WriteAudio(dir / "three.wav", Noise(3, 2000, 2), 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  ASSERT_TRUE(WriteAudio(dir / "slow.wav", Noise(2, 2000, 3), 8000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  ASSERT_TRUE(WriteAudio(dir / "sound.au", Noise(2, 2000, 4), 44100, SF_FORMAT_AU | SF_FORMAT_PCM_16));
  std::ofstream(dir / "text.wav") << "not audio at all\n";
  std::ofstream(dir / "fake-plugin") << "not a library\n";
  std::ofstream(dir / "garbage.chunk", std::ios::binary) << "0123456789abcdef";
  std::error_code noLinks;
  std::filesystem::create_hard_link(dir / "good.wav", dir / "link.wav", noLinks);

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::string good = dir / "good.wav";
  const std::string out = dir / "out.wav";
  std::vector<Case> cases = {
      {{dir / "missing.wav", out}, "does not exist"},
      {{dir / "text.wav", out}, "as audio"},
      {{dir / "sound.au", out}, "unsupported input format"},
      {{dir / "three.wav", out}, "unsupported channel count 3"},
      {{dir / "slow.wav", out}, "unsupported sample rate 8000 Hz"},
      {{good, out, "--gain", "100 Hz=3"}, "unknown band '100 Hz'"},
      {{good, out, "--gain", "8 kHz=+30.5"}, "outside -60..+30 dB"},
      {{good, out, "--gain", "80 Hz=-60.01"}, "outside -60..+30 dB"},
      {{good, out, "--gain", "80 Hz=loud"}, "is not a number of decibels"},
      {{good, out, "--plugin", dir / "missing-plugin"}, "does not exist"},
      {{good, out, "--plugin", dir / "fake-plugin"}, "cannot load plug-in"},
      {{good, good}, "refusing to write over the input file"},
      {{good, dir / "sub/../good.wav"}, "refusing to write over the input file"},
      {{good, out, "--save-chunk", good}, "refusing to write over the input file"},
      {{good, out, "--response", good}, "--response wants a file ending in .png or .csv"},
      {{good, out, "--chunk", dir / "garbage.chunk"}, "rejected the program chunk"},
      {{good, out, "--chunk", dir / "missing.chunk"}, "cannot read chunk file"},
      {{good, out, "--block", "0"}, "--block: Value 0 not in range 1 to 65536"},
      {{good, out, "--precision", "half"}, "--precision: half not in {double,float,accumulate}"},
      {{good, out, "--blocks", "64"}, "not expected"},
      {{good, dir / "no-such-dir/out.wav"}, "cannot write"},
      {{"--response", dir / "r.csv", "--rate", "400000"}, "--rate: Value 400000 not in range"},
  };
  if (!noLinks) cases.push_back({{good, dir / "link.wav"}, "refusing to write over the input file"});
  std::filesystem::create_directories(dir / "sub");

  const auto before = dir.Snapshot();
  for (Case& test : cases) {
    if (std::find(test.args.begin(), test.args.end(), "--plugin") == test.args.end()) {
      test.args.insert(test.args.end(), {"--plugin", kPlugin});
    }
    SCOPED_TRACE(test.args[0] + " " + test.args[1]);
    const ToolResult result = RunTool(test.args);
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.err.rfind("tarvel-render: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_EQ(dir.Snapshot(), before);
  }
}

TEST(RenderTool, SavedChunkRestoresTheSetting) {
  ScratchDir dir;
  ASSERT_TRUE(WriteAudio(dir / "in.wav", Noise(2, 4000, 5), 44100, SF_FORMAT_WAV | SF_FORMAT_DOUBLE));
  ToolResult result =
      RunTool(Args({dir / "in.wav", dir / "set.wav", "--save-chunk", dir / "setting.chunk"}, {9, -9, 3, -3, 27}));
  ASSERT_EQ(result.status, 0) << result.err;
  result = RunTool({dir / "in.wav", dir / "restored.wav", "--plugin", kPlugin, "--chunk", dir / "setting.chunk"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Channels set = ReadAudio(dir / "set.wav");
  EXPECT_EQ(ReadAudio(dir / "restored.wav"), set);

  // A --gain after the chunk changes only its band.
  result = RunTool({dir / "in.wav", dir / "changed.wav", "--plugin", kPlugin, "--chunk", dir / "setting.chunk",
                    "--gain", "8 kHz=0"});
  ASSERT_EQ(result.status, 0) << result.err;
  ExpectFiltered(ReadAudio(dir / "in.wav"), ReadAudio(dir / "changed.wav"), ExpectedKernel(44100, {9, -9, 3, -3, 0}),
                 1e-9);
}

// |sum_n h[n] e^(-i w n)| in dB.
double KernelDecibels(const std::vector<double>& kernel, double frequency, double rate) {
  const double w = 2.0 * std::numbers::pi * frequency / rate;
  std::complex<double> sum = 0.0;
  for (size_t n = 0; n < kernel.size(); ++n) sum += kernel[n] * std::polar(1.0, -w * static_cast<double>(n));
  return 20.0 * std::log10(std::abs(sum));
}

TEST(RenderTool, ResponseTableIsTheKernelsMagnitude) {
  const Setting setting = {0.0, 0.0, 12.0, 0.0, -24.0};
  ScratchDir dir;
  const ToolResult result = RunTool(Args({"--response", dir / "r.csv", "--rate", "48000"}, setting));
  ASSERT_EQ(result.status, 0) << result.err;
  std::ifstream table(dir / "r.csv");
  std::string line;
  std::getline(table, line);
  EXPECT_EQ(line, "frequency_hz,magnitude_db");
  std::vector<std::pair<double, double>> rows;
  for (char comma; std::getline(table, line);) {
    std::istringstream fields(line);
    double frequency = 0.0;
    double decibels = 0.0;
    fields >> frequency >> comma >> decibels;
    rows.emplace_back(frequency, decibels);
  }
  ASSERT_GT(rows.size(), 1000u);
  EXPECT_GE(rows.front().first, 20.0);
  EXPECT_LT(rows.front().first, 21.0);
  EXPECT_DOUBLE_EQ(rows.back().first, 24000.0);

  const std::vector<double> kernel = ExpectedKernel(48000, setting);
  for (size_t i = 0; i < rows.size(); i += 97) {
    EXPECT_NEAR(rows[i].second, KernelDecibels(kernel, rows[i].first, 48000), 1e-6) << rows[i].first << " Hz";
  }
  // What the bands should do: +12 dB around 800 Hz, -24 dB at 8 kHz and up,
  // untouched at the other centres.
  const auto at = [&rows](double frequency) {
    return std::min_element(rows.begin(), rows.end(), [frequency](const auto& a, const auto& b) {
             return std::fabs(a.first - frequency) < std::fabs(b.first - frequency);
           })->second;
  };
  EXPECT_NEAR(at(800.0), 12.0, 0.1);
  EXPECT_NEAR(at(12000.0), -24.0, 0.1);
  EXPECT_NEAR(at(40.0), 0.0, 0.1);
  EXPECT_NEAR(at(2529.8), 0.0, 0.1);
}

TEST(RenderTool, ResponsePlotIsWrittenOrItsFailureNamed) {
  ScratchDir dir;
  const ToolResult result = RunTool(Args({"--response", dir / "r.png"}, {0, 12, 0, 12, 0}));
#if TARVEL_EXPECT_GNUPLOT
  ASSERT_EQ(result.status, 0) << result.err;
#endif
  if (result.status == 0) {
    std::ifstream png(dir / "r.png", std::ios::binary);
    char signature[8] = {};
    png.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_GT(std::filesystem::file_size(dir / "r.png"), 10000u);
  } else {
    // No plotting program: named, and no plot left behind.
    EXPECT_NE(result.err.find("gnuplot"), std::string::npos) << result.err;
    EXPECT_TRUE(dir.Snapshot().empty());
  }
}

TEST(RenderTool, DemoRendersItsSignalWithTheSampleSetting) {
  ScratchDir dir;
  const ToolResult result = RunTool({"--demo", dir / "demo", "--plugin", kPlugin});
  ASSERT_EQ(result.status, 0) << result.err;
  for (const char* name : {"demo-input.wav", "demo-output.wav", "demo-response.csv"}) {
    EXPECT_NE(result.out.find(name), std::string::npos) << result.out;
    EXPECT_TRUE(std::filesystem::exists(dir / ("demo/" + std::string(name)))) << name;
  }
  SF_INFO info{};
  const Channels input = ReadAudio(dir / "demo/demo-input.wav", &info);
  const Channels output = ReadAudio(dir / "demo/demo-output.wav");
  ASSERT_EQ(output.size(), 2u);
  ASSERT_EQ(output[0].size(), input[0].size());
  // Excerpts from the noise and from the tones, against the sample setting.
  const std::vector<double> kernel = ExpectedKernel(info.samplerate, {6, -3, 0, -12, 6});
  for (const std::int64_t from : {std::int64_t{40000}, static_cast<std::int64_t>(input[0].size()) - 60000}) {
    for (size_t c = 0; c < 2; ++c) {
      const std::vector<double> expected = FilterCentred(input[c], kernel, from, from + 4000);
      const std::vector<double> got(output[c].begin() + from, output[c].begin() + from + 4000);
      EXPECT_LT(MaxAbsDifference(got, expected), 1e-6) << "from " << from;
    }
  }
}

}  // namespace
}  // namespace tarvel::test
