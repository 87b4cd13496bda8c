#pragma once
// tarvel-render's command line: the options, their limits (from the
// plug-in's metadata, effect/TarvelParameters.h), the text rules for band
// names and decibels, and the parsing (CLI11, which also writes --help).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "effect/TarvelParameters.h"
#include "tools/host/PluginInstance.h"

namespace tarvel::render {

enum Status { kSuccess = 0, kFailure = 1, kUsageError = 2 };

// The rates and gains of the plug-in's metadata (effect/TarvelParameters.h).
inline constexpr int kMinRate = static_cast<int>(kMinSampleRate);
inline constexpr int kMaxRate = static_cast<int>(kMaxSampleRate);
inline constexpr int kMaxBlock = 65536;
inline constexpr double kMinGain = kMinGainDb;
inline constexpr double kMaxGain = kMaxGainDb;
inline constexpr std::int64_t kReadFrames = 16384;
inline constexpr std::uintmax_t kMaxChunkBytes = 16u << 20;
inline constexpr int kDemoRate = 44100;
inline constexpr double kDemoSeconds = 8.0;

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

std::string Quote(const std::string& text);
std::string Trim(const std::string& text);
// Reasons from libraries and the system may end in or contain line breaks;
// a report stays on one line.
std::string OneLine(std::string text);
std::string Lower(std::string text);
bool EndsWith(const std::string& text, const std::string& end);
// Band names compare without case and spaces: "8 kHz", "8khz" and "8 KHZ" are one band.
std::string BandKey(const std::string& name);
// Decibels as typed: "-6", "+3", "12.5", "-6 dB".
bool ParseDecibels(std::string text, double& value);
std::string DecibelText(double value);
// "BAND=DB" as typed after --gain; the band is matched against the plug-in's
// names later, the decibels are checked here.
std::string ParseGain(const std::string& text, GainSetting& gain);
int MajorFormatFromName(const std::string& name);
// The command line, declared for CLI11 (which also writes --help from it).
// An exit status when the run ends here: --help, --version or a malformed
// command line (named on one line in err).
std::optional<int> ParseArgs(const std::vector<std::string>& args, Options& options, std::ostream& out,
                             std::ostream& err);
bool CheckRate(double rate, const std::string& what, std::string& error);

}  // namespace tarvel::render
