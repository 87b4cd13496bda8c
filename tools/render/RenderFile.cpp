#include "tools/render/RenderFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "tools/render/AlignedProcessor.h"
#include "tools/render/FileIdentity.h"
#include "tools/render/OutputFormat.h"
#include "tools/render/PluginLoading.h"
#include "tools/render/Response.h"
#include "tools/render/Terminal.h"

namespace tarvel::render {

namespace {

class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool shown, std::int64_t total) : err_(err), shown_(shown), total_(total) {}
  ~ProgressBar() {
    if (shown_ && drawn_ >= 0) err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
  }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(std::int64_t done) {
    if (!shown_ || total_ <= 0) return;
    const int percent = static_cast<int>(std::min<std::int64_t>(100, done * 100 / total_));
    if (percent == drawn_) return;
    drawn_ = percent;
    const int filled = percent * 40 / 100;
    err_ << "\rrendering [" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(40 - filled), ' ') << "] " << percent << "%" << std::flush;
  }

 private:
  std::ostream& err_;
  const bool shown_;
  const std::int64_t total_;
  int drawn_ = -1;
};


}  // namespace

bool RefuseInputOverwrite(const std::string& input, const std::vector<std::string>& outputs, std::string& error) {
  for (const std::string& output : outputs) {
    if (!output.empty() && SameFile(input, output)) {
      error = "refusing to write over the input file " + Quote(input) + " (" + Quote(output) + " is the same file)";
      return false;
    }
  }
  return true;
}

bool WriteResponses(const std::shared_ptr<const PluginLibrary>& library, const Setup& setup, const Options& options,
                    const std::vector<ResponseOutput>& responses,
                    std::vector<std::unique_ptr<PendingFile>>& pending, std::ostream& err, std::string& error) {
  if (responses.empty()) return true;
  auto instance = NewInstance(library, error);
  if (instance == nullptr || !Configure(*instance, setup, error)) return false;
  const std::vector<ResponsePoint> points = MeasureResponse(*instance, ChooseMode(options, *instance));
  std::ostringstream title;
  title << Trim(instance->DispatchText(effGetEffectName)) << " at " << setup.rate << " Hz";
  if (const std::string setting = SettingText(*instance); !setting.empty()) title << ": " << setting;
  for (const ResponseOutput& response : responses) {
    auto file = std::make_unique<PendingFile>(response.path);
    if (EndsWith(response.path, ".csv")) {
      if (!WriteResponseCsv(points, file->TempPath(), error)) return false;
    } else if (!PlotResponse(points, setup.rate, TarvelBandMarks(), title.str(), file->TempPath(), error)) {
      if (!response.optionalPlot) return false;
      err << "tarvel-render: no plot " << Quote(response.path) << ": " << OneLine(error) << "\n";
      continue;
    }
    pending.push_back(std::move(file));
  }
  return true;
}

bool CheckResponsePath(const std::string& path, std::string& error) {
  if (path.empty() || EndsWith(path, ".png") || EndsWith(path, ".csv")) return true;
  error = "--response wants a file ending in .png or .csv, not " + Quote(path);
  return false;
}

bool CommitAll(std::vector<std::unique_ptr<PendingFile>>& pending, std::string& error) {
  for (auto& file : pending) {
    if (!file->Commit(error)) return false;
  }
  return true;
}

bool WriteChunkFile(const std::vector<std::uint8_t>& chunk, const std::string& path, std::string& error) {
  std::ofstream file(PathFromUtf8(path), std::ios::binary);
  file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool SaveChunk(PluginInstance& instance, const std::string& path, std::vector<std::unique_ptr<PendingFile>>& pending,
               std::string& error) {
  const std::vector<std::uint8_t> chunk = instance.GetChunk(true);
  if (chunk.empty()) {
    error = "the plug-in gave no program chunk to save";
    return false;
  }
  pending.push_back(std::make_unique<PendingFile>(path));
  return WriteChunkFile(chunk, pending.back()->TempPath(), error);
}


// The whole render of one file; every output goes to a pending file first and
// all of them are moved into place only when everything has succeeded.
bool RenderFile(const Options& options, const std::string& inputPath, const AudioOutput& audio,
                const std::vector<ResponseOutput>& responses, std::ostream& err, RenderSummary& summary,
                std::string& error) {
  std::error_code missing;
  if (!std::filesystem::exists(PathFromUtf8(inputPath), missing)) {
    error = "input file " + Quote(inputPath) + " does not exist";
    return false;
  }
  std::string reason;
  auto input = SoundFile::OpenRead(inputPath, reason);
  if (input == nullptr) {
    error = "cannot read " + Quote(inputPath) + " as audio: " + reason;
    return false;
  }
  const SF_INFO& info = input->Info();
  const int inputMajor = info.format & SF_FORMAT_TYPEMASK;
  if (!IsWantedFormat(inputMajor)) {
    error = "unsupported input format " + FormatName(info.format) + " of " + Quote(inputPath) +
            " (WAV, FLAC or AIFF)";
    return false;
  }
  if (info.channels < 1 || info.channels > 2) {
    error = "unsupported channel count " + std::to_string(info.channels) + " of " + Quote(inputPath) +
            " (mono or stereo)";
    return false;
  }
  if (!CheckRate(info.samplerate, " of " + Quote(inputPath), error)) return false;
  const int outputMajor = audio.majorFormat.value_or(inputMajor);
  if (!MajorFormatAvailable(outputMajor)) {
    error = "cannot write " + ShortFormatName(outputMajor) + ": this build's audio library lacks it";
    return false;
  }
  const SF_INFO outputInfo = OutputInfo(info, outputMajor);
  if (sf_format_check(&outputInfo) == 0) {
    error = "cannot write " + FormatName(outputInfo.format) + " at " + std::to_string(info.samplerate) + " Hz";
    return false;
  }
  std::vector<std::string> outputs = {audio.path, options.chunkOut};
  for (const ResponseOutput& response : responses) outputs.push_back(response.path);
  if (!RefuseInputOverwrite(inputPath, outputs, error)) return false;

  Setup setup;
  setup.rate = info.samplerate;
  setup.block = options.block;
  setup.channels = info.channels;
  if (!options.chunkIn.empty() && !ReadChunkFile(options.chunkIn, setup, error)) return false;
  const auto library = LoadPlugin(options, error);
  if (library == nullptr) return false;
  auto instance = NewInstance(library, error);
  if (instance == nullptr || !ResolveGains(*instance, options.gains, setup, error) ||
      !Configure(*instance, setup, error)) {
    return false;
  }
  summary.setting = SettingText(*instance);

  std::vector<std::unique_ptr<PendingFile>> pending;
  if (!options.chunkOut.empty() && !SaveChunk(*instance, options.chunkOut, pending, error)) return false;

  auto outputFile = std::make_unique<PendingFile>(audio.path);
  auto output = SoundFile::OpenWrite(outputFile->TempPath(), outputInfo, reason);
  if (output == nullptr) {
    error = "cannot write " + Quote(audio.path) + ": " + reason;
    return false;
  }
  const auto channels = static_cast<size_t>(info.channels);
  const bool countClipping = IsIntegerSubtype(outputInfo.format);
  std::vector<double> interleaved;
  bool writeFailed = false;
  const AlignedProcessor::Sink write = [&](const double* const* data, std::int64_t frames) {
    interleaved.resize(static_cast<size_t>(frames) * channels);
    for (std::int64_t i = 0; i < frames; ++i) {
      for (size_t c = 0; c < channels; ++c) {
        const double sample = data[c][i];
        if (countClipping && std::fabs(sample) > 1.0) ++summary.clipped;
        interleaved[static_cast<size_t>(i) * channels + c] = sample;
      }
    }
    writeFailed = writeFailed || !output->Write(interleaved.data(), frames);
  };

  AlignedProcessor processor(*instance, info.channels, ChooseMode(options, *instance));
  summary.latency = processor.Latency();
  ProgressBar progress(err, !options.quiet && StandardErrorIsTerminal(), info.frames);
  std::vector<double> block(static_cast<size_t>(kReadFrames) * channels);
  std::vector<std::vector<double>> planar(channels, std::vector<double>(static_cast<size_t>(kReadFrames)));
  std::vector<const double*> planarPtr;
  for (auto& channel : planar) planarPtr.push_back(channel.data());
  for (std::int64_t frames; (frames = input->Read(block.data(), kReadFrames)) > 0;) {
    for (std::int64_t i = 0; i < frames; ++i) {
      for (size_t c = 0; c < channels; ++c) planar[c][static_cast<size_t>(i)] = block[static_cast<size_t>(i) * channels + c];
    }
    processor.Push(planarPtr.data(), frames, write);
    summary.frames += frames;
    progress.Update(summary.frames);
  }
  processor.Finish(write);
  if (summary.frames != info.frames) {
    error = "could not read all of " + Quote(inputPath) + ": " + input->ErrorText();
    return false;
  }
  if (writeFailed) {
    error = "cannot write " + Quote(audio.path) + ": " + output->ErrorText();
    return false;
  }
  if (!output->Close(reason)) {
    error = "cannot write " + Quote(audio.path) + ": " + reason;
    return false;
  }
  pending.push_back(std::move(outputFile));
  instance.reset();

  return WriteResponses(library, setup, options, responses, pending, err, error) && CommitAll(pending, error);
}


bool ResponseOnly(const Options& options, std::ostream& err, std::string& error) {
  Setup setup;
  setup.rate = options.rate;
  setup.block = options.block;
  if (!options.chunkIn.empty() && !ReadChunkFile(options.chunkIn, setup, error)) return false;
  const auto library = LoadPlugin(options, error);
  if (library == nullptr) return false;
  {
    auto names = NewInstance(library, error);
    if (names == nullptr || !ResolveGains(*names, options.gains, setup, error)) return false;
  }
  std::vector<std::unique_ptr<PendingFile>> pending;
  if (!options.chunkOut.empty()) {
    auto instance = NewInstance(library, error);
    if (instance == nullptr || !Configure(*instance, setup, error) ||
        !SaveChunk(*instance, options.chunkOut, pending, error))
      return false;
  }
  return WriteResponses(library, setup, options, {{options.response}}, pending, err, error) &&
         CommitAll(pending, error);
}


}  // namespace tarvel::render
