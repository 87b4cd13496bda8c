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

#include <CLI/CLI.hpp>

#include "effect/TarvelParameters.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/render/AlignedProcessor.h"
#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/FileIdentity.h"
#include "tools/render/ProgramFile.h"
#include "tools/render/Response.h"
#include "tools/render/Terminal.h"

namespace tarvel {
namespace {

enum Status { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// The rates and gains of the plug-in's metadata (effect/TarvelParameters.h).
constexpr int kMinRate = static_cast<int>(kMinSampleRate);
constexpr int kMaxRate = static_cast<int>(kMaxSampleRate);
constexpr int kMaxBlock = 65536;
constexpr double kMinGain = kMinGainDb;
constexpr double kMaxGain = kMaxGainDb;
constexpr std::int64_t kReadFrames = 16384;
constexpr std::uintmax_t kMaxChunkBytes = 16u << 20;
constexpr int kDemoRate = 44100;
constexpr double kDemoSeconds = 8.0;

struct GainSetting {
  std::string band;
  double decibels;
};

struct Options {
  std::string input;
  std::string output;
  std::string plugin;
  std::string chunkIn;
  std::string chunkOut;
  std::string response;
  std::string demoDir;
  std::optional<int> majorFormat;  // --format
  std::vector<GainSetting> gains;
  int block = 512;
  int rate = kDemoRate;
  std::optional<ProcessMode> mode;
  bool quiet = false;
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

std::string DecibelText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// "BAND=DB" as typed after --gain; the band is matched against the plug-in's
// names later, the decibels are checked here.
std::string ParseGain(const std::string& text, GainSetting& gain) {
  const auto equals = text.rfind('=');
  if (equals == std::string::npos || Trim(text.substr(0, equals)).empty()) {
    return Quote(text) + " is not BAND=DB, e.g. '80 Hz=-6'";
  }
  gain.band = Trim(text.substr(0, equals));
  if (!ParseDecibels(text.substr(equals + 1), gain.decibels)) {
    return "gain " + Quote(text.substr(equals + 1)) + " for " + Quote(gain.band) + " is not a number of decibels";
  }
  if (gain.decibels < kMinGain || gain.decibels > kMaxGain) {
    return "gain " + DecibelText(gain.decibels) + " dB for " + Quote(gain.band) + " is outside " +
           DecibelText(kMinGain) + "..+" + DecibelText(kMaxGain) + " dB";
  }
  return {};
}

int MajorFormatFromName(const std::string& name) {
  if (name == "flac") return SF_FORMAT_FLAC;
  if (name == "aiff" || name == "aif") return SF_FORMAT_AIFF;
  return SF_FORMAT_WAV;
}

// The command line, declared for CLI11 (which also writes --help from it).
// An exit status when the run ends here: --help, --version or a malformed
// command line (named on one line in err).
std::optional<int> ParseArgs(const std::vector<std::string>& args, Options& options, std::ostream& out,
                             std::ostream& err) {
  CLI::App app(
      "Renders an audio file (WAV, FLAC or AIFF; mono or stereo) through the Tarvel\n"
      "plug-in, with its latency removed so that the output lines up with the input;\n"
      "measures the response of a setting; or renders a generated demo.",
      "tarvel-render");
  app.footer(
      "Examples:\n"
      "  tarvel-render in.wav out.flac --gain '80 Hz=-6' --gain '8 kHz=+3'\n\n"
      "  tarvel-render in.aiff out.wav --chunk mysetting.chunk\n\n"
      "  tarvel-render --response response.png --gain '800 Hz=+12'\n\n"
      "  tarvel-render --demo DIR");
  app.get_formatter()->column_width(30);
  // Arguments that start with '/' are paths on Windows too, never options.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "tarvel-render " TARVEL_VERSION);
  std::vector<std::string> gains;
  std::string format;
  std::string precision;
  app.add_option("INPUT", options.input, "audio file to render")->type_name("");
  app.add_option("OUTPUT", options.output, "file to write; .wav, .flac, .aif or .aiff chooses the format")
      ->type_name("");
  app.add_option("--plugin", options.plugin,
                 "plug-in file to load (default: $TARVEL_PLUGIN, else the one installed or built with this program)")
      ->type_name("FILE");
  app.add_option("--gain", gains, "band gain, repeatable: --gain '80 Hz=-6' --gain '8 kHz=+3' (-60..+30 dB)")
      ->type_name("'BAND=DB'")
      ->allow_extra_args(false)  // one value per --gain: the files after it are not gains
      ->check([](const std::string& text) {
        GainSetting gain;
        return ParseGain(text, gain);
      });
  app.add_option("--chunk", options.chunkIn, "restore a saved program chunk (before the --gain settings)")
      ->type_name("FILE");
  app.add_option("--save-chunk", options.chunkOut, "save the program chunk of the resulting setting")
      ->type_name("FILE");
  app.add_option("--block", options.block, "frames per process call")
      ->type_name("N")
      ->check(CLI::Range(1, kMaxBlock))
      ->capture_default_str();
  app.add_option("--format", format, "output format where OUTPUT has no known extension (default: the input's)")
      ->type_name("F")
      ->transform(CLI::IsMember({"wav", "flac", "aiff", "aif"}, CLI::ignore_case));
  app.add_option("--precision", precision, "process callback used (default: double where the plug-in has it)")
      ->type_name("P")
      ->transform(CLI::IsMember({"double", "float", "accumulate"}, CLI::ignore_case));
  app.add_option("--response", options.response, "magnitude response of the setting: a .png plot or a .csv table")
      ->type_name("FILE");
  app.add_option("--rate", options.rate, "sample rate of a response measured without an input")
      ->type_name("HZ")
      ->check(CLI::Range(kMinRate, kMaxRate))
      ->capture_default_str();
  app.add_option("--demo", options.demoDir, "render a generated demo signal with a sample setting into DIR")
      ->type_name("DIR");
  app.add_flag("--quiet", options.quiet, "no progress bar");
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kSuccess;
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << "\n";
    return kSuccess;
  } catch (const CLI::ParseError& failure) {
    err << "tarvel-render: " << OneLine(failure.what()) << " (try --help)\n";
    return kUsageError;
  }
  for (const std::string& text : gains) ParseGain(text, options.gains.emplace_back());  // checked above
  if (!format.empty()) options.majorFormat = MajorFormatFromName(format);
  if (precision == "double") options.mode = ProcessMode::kDouble;
  if (precision == "float") options.mode = ProcessMode::kFloat;
  if (precision == "accumulate") options.mode = ProcessMode::kAccumulate;
  return std::nullopt;
}

bool CheckRate(double rate, const std::string& what, std::string& error) {
  if (IsSupportedSampleRate(rate)) return true;
  std::ostringstream text;
  text << "unsupported sample rate " << rate << " Hz" << what << " (" << kMinRate << " to " << kMaxRate << " Hz)";
  error = text.str();
  return false;
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// By default the plug-in installed beside this program (the package's
// /usr/lib/vst for /usr/bin, the same folder in the Windows zip), else the
// one built with it.
std::string PluginPath(const Options& options) {
  if (!options.plugin.empty()) return options.plugin;
  if (const char* path = std::getenv("TARVEL_PLUGIN"); path != nullptr && *path != '\0') return path;
  const std::filesystem::path program = ProgramFile();
  if (program.empty()) return {};
  const std::filesystem::path installed = (program.parent_path() / TARVEL_INSTALLED_PLUGIN).lexically_normal();
  const std::filesystem::path built = (program.parent_path() / TARVEL_BUILT_PLUGIN).lexically_normal();
  std::error_code missing;
  if (!std::filesystem::is_regular_file(installed, missing) && std::filesystem::is_regular_file(built, missing)) {
    return Utf8(built);
  }
  return Utf8(installed);  // also the one to name as missing
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

// The band centres the plot marks, from the band table.
std::vector<BandMark> TarvelBandMarks() {
  std::vector<BandMark> marks;
  for (int band = 0; band < kBandCount; ++band) marks.push_back({kBandNames[band], kBandCentresHz[band]});
  return marks;
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

// The format a file name asks for by its extension, in any case.
std::optional<int> MajorFormatOfName(const std::string& path) {
  if (EndsWith(path, ".wav")) return SF_FORMAT_WAV;
  if (EndsWith(path, ".flac")) return SF_FORMAT_FLAC;
  if (EndsWith(path, ".aif") || EndsWith(path, ".aiff")) return SF_FORMAT_AIFF;
  return std::nullopt;
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

}  // namespace

int RunRenderTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  if (const auto status = ParseArgs(args, options, out, err)) return *status;
  const bool demo = !options.demoDir.empty();
  const bool render = !options.output.empty();
  const bool responseOnly = options.input.empty() && !options.response.empty();
  if (demo ? !options.input.empty() : !render && !responseOnly) {
    err << "tarvel-render: give INPUT OUTPUT, --response FILE or --demo DIR (try --help)\n";
    return kUsageError;
  }
  std::string error;
  if (!CheckResponsePath(options.response, error)) {
    err << "tarvel-render: " << OneLine(error) << "\n";
    return kFailure;
  }
  if (demo) return RunDemo(options, out, err);

  bool ok = false;
  if (render) {
    // The output's name says its format; --format serves names that do not.
    AudioOutput audio{options.output, MajorFormatOfName(options.output)};
    if (audio.majorFormat && options.majorFormat && *audio.majorFormat != *options.majorFormat) {
      err << "tarvel-render: --format " << ShortFormatName(*options.majorFormat) << " contradicts the output name "
          << Quote(audio.path) << " (" << ShortFormatName(*audio.majorFormat) << ")\n";
      return kUsageError;
    }
    if (!audio.majorFormat) audio.majorFormat = options.majorFormat;
    std::vector<ResponseOutput> responses;
    if (!options.response.empty()) responses.push_back({options.response});
    RenderSummary summary;
    ok = RenderFile(options, options.input, audio, responses, err, summary, error);
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
