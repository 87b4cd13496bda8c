#include "tools/render/PluginLoading.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tools/render/AudioFile.h"
#include "tools/render/ProgramFile.h"

namespace tarvel::render {

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


}  // namespace tarvel::render
