#include "tools/render/RenderDemo.h"

#include <filesystem>
#include <vector>

#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/PluginLoading.h"
#include "tools/render/RenderFile.h"

namespace tarvel::render {

namespace {

// The generated input, left pending so that a failed demo leaves nothing.
std::unique_ptr<PendingFile> WriteDemoInput(const std::string& path, std::string& error) {
  const auto signal = MakeDemoSignal(kDemoRate, kDemoSeconds);
  SF_INFO info{};
  info.samplerate = kDemoRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  auto file = std::make_unique<PendingFile>(path);
  std::string reason;
  auto output = SoundFile::OpenWrite(file->TempPath(), info, reason);
  if (output == nullptr) {
    error = "cannot write " + Quote(path) + ": " + reason;
    return nullptr;
  }
  std::vector<double> interleaved(signal[0].size() * 2);
  for (size_t i = 0; i < signal[0].size(); ++i) {
    interleaved[2 * i] = signal[0][i];
    interleaved[2 * i + 1] = signal[1][i];
  }
  if (!output->Write(interleaved.data(), static_cast<std::int64_t>(signal[0].size())) || !output->Close(reason)) {
    error = "cannot write " + Quote(path) + ": " + reason;
    return nullptr;
  }
  return file;
}

}  // namespace

int RunDemo(Options options, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto fail = [&err, &error] {
    err << "tarvel-render: " << OneLine(error) << "\n";
    return kFailure;
  };
  // The sample setting: more bass and air, a dip at 2.5 kHz. --gain options
  // given on the command line come after it and so win.
  constexpr double kDemoGains[kBandCount] = {6.0, -3.0, 0.0, -12.0, 6.0};
  std::vector<GainSetting> gains;
  for (int band = 0; band < kBandCount; ++band) gains.push_back({kBandNames[band], kDemoGains[band]});
  gains.insert(gains.end(), options.gains.begin(), options.gains.end());
  options.gains = gains;

  const std::filesystem::path dir = PathFromUtf8(options.demoDir);
  std::error_code failure;
  std::filesystem::create_directories(dir, failure);
  if (failure) {
    error = "cannot create " + Quote(options.demoDir) + ": " + failure.message();
    return fail();
  }
  const auto inDir = [&dir](const char* name) { return Utf8(dir / name); };
  const std::string input = inDir("demo-input.wav");
  const std::string output = inDir("demo-output.wav");
  const std::string plot = inDir("demo-response.png");
  const std::string table = inDir("demo-response.csv");
  const auto inputFile = WriteDemoInput(input, error);
  if (inputFile == nullptr) return fail();
  RenderSummary summary;
  if (!RenderFile(options, inputFile->TempPath(), {output, std::nullopt}, {{table}, {plot, true}}, err, summary,
                  error) ||
      !inputFile->Commit(error)) {
    return fail();
  }
  std::error_code noPlot;
  out << "Demo rendered through the plug-in (" << summary.latency << " samples of latency removed):\n"
      << "  input:    " << input << "  (" << kDemoSeconds << " s at " << kDemoRate
      << " Hz: pink noise, then a tone at each band centre)\n"
      << "  output:   " << output << "  (" << summary.setting << ")\n";
  if (std::filesystem::exists(PathFromUtf8(plot), noPlot)) out << "  response: " << plot << "\n";
  out << "  table:    " << table << "\n";
  return kSuccess;
}


}  // namespace tarvel::render
