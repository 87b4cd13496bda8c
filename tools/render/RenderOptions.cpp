#include "tools/render/RenderOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include <CLI/CLI.hpp>

#include <sndfile.h>

namespace tarvel::render {

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


}  // namespace tarvel::render
