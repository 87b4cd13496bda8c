#include "tools/render/RenderTool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/render/AlignedProcessor.h"
#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/FileIdentity.h"
#include "tools/render/Response.h"
#include "tools/render/Terminal.h"

#ifndef TARVEL_DEFAULT_PLUGIN
#define TARVEL_DEFAULT_PLUGIN ""
#endif

namespace tarvel {
namespace {

enum Status { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// The plug-in's kernel design covers every band up to the Nyquist frequency
// from 16 kHz up; 384 kHz is the highest rate hosts offer.
constexpr int kMinRate = 16000;
constexpr int kMaxRate = 384000;
constexpr int kMaxBlock = 65536;
constexpr double kMinGain = -60.0;
constexpr double kMaxGain = 30.0;
constexpr std::int64_t kReadFrames = 16384;
constexpr std::uintmax_t kMaxChunkBytes = 16u << 20;
constexpr int kDemoRate = 44100;
constexpr double kDemoSeconds = 8.0;

constexpr char kUsage[] =
    "usage: tarvel-render [options] INPUT OUTPUT\n"
    "       tarvel-render [options] --response FILE.png|FILE.csv [--rate HZ]\n"
    "       tarvel-render [options] --demo DIR\n"
    "\n"
    "Renders an audio file (WAV, FLAC or AIFF; mono or stereo) through the Tarvel\n"
    "plug-in, with its latency removed so the output lines up with the input.\n"
    "\n"
    "  --plugin FILE      plug-in file to load (default: $TARVEL_PLUGIN, else the built one)\n"
    "  --gain 'BAND=DB'   band gain, e.g. --gain '80 Hz=-6' --gain '8 kHz=+3' (-60..+30 dB)\n"
    "  --chunk FILE       restore a saved program chunk (before the --gain settings)\n"
    "  --save-chunk FILE  save the program chunk of the resulting setting\n"
    "  --block N          frames per process call (1..65536, default 512)\n"
    "  --format F         output format: wav, flac or aiff (default: the input's)\n"
    "  --precision P      double (default), float or accumulate: the process callback used\n"
    "  --response FILE    magnitude response of the setting: a .png plot or a .csv table\n"
    "  --rate HZ          sample rate of a response measured without an input (default 44100)\n"
    "  --demo DIR         render a generated demo signal with a sample setting into DIR\n"
    "  --quiet            no progress bar\n";

struct GainSetting {
  std::string band;
  double decibels;
};

struct Options {
  std::vector<std::string> positional;
  std::string plugin;
  std::string chunkIn;
  std::string chunkOut;
  std::string response;
  std::string demoDir;
  std::string format;
  std::vector<GainSetting> gains;
  int block = 512;
  int rate = kDemoRate;
  std::optional<ProcessMode> mode;
  bool quiet = false;
  bool help = false;
};

// What every instance of one run is given, in this order.
struct Setup {
  double rate = kDemoRate;
  int block = 512;
  int channels = 2;
  std::vector<std::uint8_t> chunk;
  std::string chunkPath;
  std::vector<std::pair<VstInt32, std::string>> parameterTexts;
};

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Reasons from libraries and the system may end in or contain line breaks;
// a report stays on one line.
std::string OneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return Trim(text);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

// Band names compare without case and spaces: "8 kHz", "8khz" and "8 KHZ" are one band.
std::string BandKey(const std::string& name) {
  std::string key;
  for (const char c : Lower(name)) {
    if (c != ' ' && c != '\t') key += c;
  }
  return key;
}

// Decibels as typed: "-6", "+3", "12.5", "-6 dB".
bool ParseDecibels(std::string text, double& value) {
  text = Trim(text);
  if (EndsWith(text, "db")) text = Trim(text.substr(0, text.size() - 2));
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  return failure == std::errc() && stop == end && std::isfinite(value);
}

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  return failure == std::errc() && stop == end && !text.empty();
}

std::string DecibelText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

bool ParseArgs(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      const auto equals = arg.find('=');
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
        arg = arg.substr(0, equals);
        hasValue = true;
      }
    } else if (arg != "-h") {
      options.positional.push_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--quiet") {
      options.quiet = true;
      continue;
    }
    static const char* const kWithValue[] = {"--plugin", "--gain",      "--chunk",     "--save-chunk", "--block",
                                              "--format", "--precision", "--response", "--rate",       "--demo"};
    if (std::find_if(std::begin(kWithValue), std::end(kWithValue), [&](const char* o) { return arg == o; }) ==
        std::end(kWithValue)) {
      error = "unknown option " + arg;
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (arg == "--plugin") {
      options.plugin = value;
    } else if (arg == "--chunk") {
      options.chunkIn = value;
    } else if (arg == "--save-chunk") {
      options.chunkOut = value;
    } else if (arg == "--response") {
      options.response = value;
    } else if (arg == "--demo") {
      options.demoDir = value;
    } else if (arg == "--format") {
      options.format = Lower(value);
      if (options.format != "wav" && options.format != "flac" && options.format != "aiff" &&
          options.format != "aif") {
        error = "unknown output format " + Quote(value) + " (wav, flac or aiff)";
        return false;
      }
    } else if (arg == "--block") {
      if (!ParseInt(value, options.block) || options.block < 1 || options.block > kMaxBlock) {
        error = "--block wants a frame count from 1 to " + std::to_string(kMaxBlock) + ", not " + Quote(value);
        return false;
      }
    } else if (arg == "--rate") {
      if (!ParseInt(value, options.rate)) {
        error = "--rate wants a sample rate in Hz, not " + Quote(value);
        return false;
      }
    } else if (arg == "--precision") {
      const std::string mode = Lower(value);
      if (mode == "double") {
        options.mode = ProcessMode::kDouble;
      } else if (mode == "float") {
        options.mode = ProcessMode::kFloat;
      } else if (mode == "accumulate") {
        options.mode = ProcessMode::kAccumulate;
      } else {
        error = "--precision wants double, float or accumulate, not " + Quote(value);
        return false;
      }
    } else {  // --gain
      const auto equals = value.rfind('=');
      GainSetting gain;
      if (equals == std::string::npos || Trim(value.substr(0, equals)).empty()) {
        error = "--gain wants BAND=DB, e.g. '80 Hz=-6', not " + Quote(value);
        return false;
      }
      gain.band = Trim(value.substr(0, equals));
      if (!ParseDecibels(value.substr(equals + 1), gain.decibels)) {
        error = "gain " + Quote(value.substr(equals + 1)) + " for " + Quote(gain.band) +
                " is not a number of decibels";
        return false;
      }
      options.gains.push_back(gain);
    }
  }
  return true;
}

bool CheckGainRanges(const std::vector<GainSetting>& gains, std::string& error) {
  for (const GainSetting& gain : gains) {
    if (gain.decibels < kMinGain || gain.decibels > kMaxGain) {
      error = "gain " + DecibelText(gain.decibels) + " dB for " + Quote(gain.band) + " is outside -60..+30 dB";
      return false;
    }
  }
  return true;
}

bool CheckRate(double rate, const std::string& what, std::string& error) {
  if (rate >= kMinRate && rate <= kMaxRate) return true;
  std::ostringstream text;
  text << "unsupported sample rate " << rate << " Hz" << what << " (" << kMinRate << " to " << kMaxRate << " Hz)";
  error = text.str();
  return false;
}

std::string PluginPath(const Options& options) {
  if (!options.plugin.empty()) return options.plugin;
  if (const char* path = std::getenv("TARVEL_PLUGIN"); path != nullptr && *path != '\0') return path;
  return TARVEL_DEFAULT_PLUGIN;
}

std::shared_ptr<const PluginLibrary> LoadPlugin(const Options& options, std::string& error) {
  const std::string path = PluginPath(options);
  if (path.empty()) {
    error = "no plug-in file given (use --plugin FILE)";
    return nullptr;
  }
  std::error_code missing;
  if (!std::filesystem::is_regular_file(PathFromUtf8(path), missing)) {
    error = "plug-in file " + Quote(path) + " does not exist";
    return nullptr;
  }
  std::string reason;
  auto library = PluginLibrary::Open(path, reason);
  if (library == nullptr) error = "cannot load plug-in " + Quote(path) + ": " + reason;
  return library;
}

std::unique_ptr<PluginInstance> NewInstance(const std::shared_ptr<const PluginLibrary>& library, std::string& error) {
  std::string reason;
  auto instance = PluginInstance::Create(library, HostConfig{}, reason);
  if (instance == nullptr) error = "cannot load plug-in " + Quote(library->Path()) + ": " + reason;
  return instance;
}

// Maps band names to the plug-in's parameters, by the names it reports.
bool ResolveGains(PluginInstance& instance, const std::vector<GainSetting>& gains, Setup& setup,
                  std::string& error) {
  for (const GainSetting& gain : gains) {
    std::optional<VstInt32> found;
    std::string names;
    for (VstInt32 index = 0; index < instance.ParameterCount(); ++index) {
      const std::string name = Trim(instance.ParameterName(index));
      if (BandKey(name) == BandKey(gain.band)) found = index;
      names += (index == 0 ? "" : ", ") + name;
    }
    if (!found) {
      error = "unknown band " + Quote(gain.band) + " (the bands are: " + names + ")";
      return false;
    }
    setup.parameterTexts.emplace_back(*found, DecibelText(gain.decibels));
  }
  return true;
}

// Sample rate, block size, channels, then the stored chunk and the gains, and
// resume: the order in which a host restores a session.
bool Configure(PluginInstance& instance, const Setup& setup, std::string& error) {
  instance.SetSampleRate(setup.rate);
  instance.SetBlockSize(setup.block);
  instance.SetSpeakerArrangement(setup.channels, std::min(instance.Effect().numOutputs, 2));
  if (!setup.chunkPath.empty() && !instance.SetChunk(setup.chunk, true)) {
    error = "the plug-in rejected the program chunk in " + Quote(setup.chunkPath);
    return false;
  }
  for (const auto& [index, text] : setup.parameterTexts) {
    if (!instance.SetParameterText(index, text)) {
      error = "the plug-in did not take " + text + " dB for " + Quote(instance.ParameterName(index));
      return false;
    }
  }
  instance.Resume();
  if (instance.Effect().numOutputs < setup.channels) {
    error = "the plug-in has " + std::to_string(instance.Effect().numOutputs) + " outputs for " +
            std::to_string(setup.channels) + " channels";
    return false;
  }
  return true;
}

bool ReadChunkFile(const std::string& path, Setup& setup, std::string& error) {
  std::error_code failure;
  const auto size = std::filesystem::file_size(PathFromUtf8(path), failure);
  if (failure) {
    error = "cannot read chunk file " + Quote(path) + ": " + failure.message();
    return false;
  }
  if (size > kMaxChunkBytes) {
    error = "chunk file " + Quote(path) + " is too large to be a program chunk";
    return false;
  }
  std::ifstream file(PathFromUtf8(path), std::ios::binary);
  if (!file) {
    error = "cannot read chunk file " + Quote(path);
    return false;
  }
  setup.chunk.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  setup.chunkPath = path;
  return true;
}

ProcessMode ChooseMode(const Options& options, const PluginInstance& instance) {
  if (options.mode) return *options.mode;
  return instance.Supports(ProcessMode::kDouble) ? ProcessMode::kDouble : ProcessMode::kFloat;
}

// "80 Hz +6 dB, 250 Hz 0 dB, ..." as the plug-in displays its parameters.
std::string SettingText(PluginInstance& instance) {
  if (instance.ParameterCount() > 8) return {};
  std::string text;
  for (VstInt32 index = 0; index < instance.ParameterCount(); ++index) {
    std::string display = Trim(instance.ParameterDisplay(index));
    if (!display.empty() && display[0] != '-' && display != "0") display = "+" + display;
    text += (index == 0 ? "" : ", ") + Trim(instance.ParameterName(index)) + " " + display + " " +
            Trim(instance.ParameterLabel(index));
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return text;
}

// The band centres the plot marks: half a decade apart from 80 Hz.
std::vector<BandMark> TarvelBandMarks() {
  const double step = std::sqrt(10.0);
  return {{"80 Hz", 80.0},
          {"250 Hz", 80.0 * step},
          {"800 Hz", 800.0},
          {"2.5 kHz", 800.0 * step},
          {"8 kHz", 8000.0}};
}

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

struct AudioOutput {
  std::string path;
  std::optional<int> majorFormat;  // the input's when not given
};

struct ResponseOutput {
  std::string path;
  bool optionalPlot = false;  // a plot that cannot be drawn is only reported
};

bool IsWantedFormat(int major) {
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF || major == SF_FORMAT_FLAC;
}

// Whether this build's libsndfile carries the format at all (the checks of
// sf_format_check do not tell: they accept FLAC also where it is left out).
bool MajorFormatAvailable(int major) {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.format == major) return true;
  }
  return false;
}

std::string ShortFormatName(int major) {
  switch (major) {
    case SF_FORMAT_FLAC:
      return "FLAC";
    case SF_FORMAT_AIFF:
      return "AIFF";
    default:
      return "WAV";
  }
}

int MajorFormatFromName(const std::string& name) {
  if (name == "flac") return SF_FORMAT_FLAC;
  if (name == "aiff" || name == "aif") return SF_FORMAT_AIFF;
  return SF_FORMAT_WAV;
}

// The input's sample type where the output format can hold it, else 24-bit.
SF_INFO OutputInfo(const SF_INFO& input, int major) {
  SF_INFO info{};
  info.samplerate = input.samplerate;
  info.channels = input.channels;
  for (const int subtype : {input.format & SF_FORMAT_SUBMASK, int{SF_FORMAT_PCM_24}, int{SF_FORMAT_PCM_16}}) {
    info.format = major | subtype;
    if (sf_format_check(&info) != 0) break;
  }
  return info;
}

bool IsIntegerSubtype(int format) {
  const int subtype = format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_PCM_S8 || subtype == SF_FORMAT_PCM_U8 || subtype == SF_FORMAT_PCM_16 ||
         subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32;
}

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

struct RenderSummary {
  std::int64_t frames = 0;
  VstInt32 latency = 0;
  std::int64_t clipped = 0;
  std::string setting;
};

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
  if (!options.chunkOut.empty()) {
    const std::vector<std::uint8_t> chunk = instance->GetChunk(true);
    if (chunk.empty()) {
      error = "the plug-in gave no program chunk to save";
      return false;
    }
    pending.push_back(std::make_unique<PendingFile>(options.chunkOut));
    if (!WriteChunkFile(chunk, pending.back()->TempPath(), error)) return false;
  }

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
  if (!CheckRate(options.rate, "", error)) return false;
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
    if (instance == nullptr || !Configure(*instance, setup, error)) return false;
    const std::vector<std::uint8_t> chunk = instance->GetChunk(true);
    if (chunk.empty()) {
      error = "the plug-in gave no program chunk to save";
      return false;
    }
    pending.push_back(std::make_unique<PendingFile>(options.chunkOut));
    if (!WriteChunkFile(chunk, pending.back()->TempPath(), error)) return false;
  }
  return WriteResponses(library, setup, options, {{options.response}}, pending, err, error) &&
         CommitAll(pending, error);
}

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

int RunDemo(Options options, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto fail = [&err, &error] {
    err << "tarvel-render: " << OneLine(error) << "\n";
    return kFailure;
  };
  // The sample setting: more bass and air, a dip at 2.5 kHz. --gain options
  // given on the command line come after it and so win.
  std::vector<GainSetting> gains = {
      {"80 Hz", 6.0}, {"250 Hz", -3.0}, {"800 Hz", 0.0}, {"2.5 kHz", -12.0}, {"8 kHz", 6.0}};
  gains.insert(gains.end(), options.gains.begin(), options.gains.end());
  options.gains = gains;
  if (!CheckGainRanges(options.gains, error)) return fail();

  const std::filesystem::path dir = PathFromUtf8(options.demoDir);
  std::error_code failure;
  std::filesystem::create_directories(dir, failure);
  if (failure) {
    error = "cannot create " + Quote(options.demoDir) + ": " + failure.message();
    return fail();
  }
  const auto inDir = [&dir](const char* name) {
    const std::u8string path = (dir / name).u8string();
    return std::string(path.begin(), path.end());
  };
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

}  // namespace

int RunRenderTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  std::string error;
  if (!ParseArgs(args, options, error)) {
    err << "tarvel-render: " << OneLine(error) << " (try --help)\n";
    return kUsageError;
  }
  if (options.help) {
    out << kUsage;
    return kSuccess;
  }
  const bool demo = !options.demoDir.empty();
  const bool render = options.positional.size() == 2;
  const bool responseOnly = options.positional.empty() && !options.response.empty();
  if (demo ? !options.positional.empty() : !render && !responseOnly) {
    err << "tarvel-render: give INPUT OUTPUT, --response FILE or --demo DIR (try --help)\n";
    return kUsageError;
  }
  if (!CheckResponsePath(options.response, error) || !CheckGainRanges(options.gains, error)) {
    err << "tarvel-render: " << OneLine(error) << "\n";
    return kFailure;
  }
  if (demo) return RunDemo(options, out, err);

  bool ok = false;
  if (render) {
    std::vector<ResponseOutput> responses;
    if (!options.response.empty()) responses.push_back({options.response});
    AudioOutput audio{options.positional[1], std::nullopt};
    if (!options.format.empty()) audio.majorFormat = MajorFormatFromName(options.format);
    RenderSummary summary;
    ok = RenderFile(options, options.positional[0], audio, responses, err, summary, error);
    if (ok) {
      out << "wrote " << audio.path << ": " << summary.frames << " frames, " << summary.latency
          << " samples of plug-in latency removed\n";
      if (summary.clipped > 0) {
        err << "tarvel-render: warning: " << summary.clipped << " samples clipped at full scale\n";
      }
    }
  } else {
    ok = ResponseOnly(options, err, error);
    if (ok) out << "wrote " << options.response << "\n";
  }
  if (!ok) {
    err << "tarvel-render: " << OneLine(error) << "\n";
    return kFailure;
  }
  return kSuccess;
}

}  // namespace tarvel
