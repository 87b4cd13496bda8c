#pragma once
// tarvel-render's way to the plug-in: finding and loading the module, an
// instance configured the way a host restores a session, the bands by the
// names the plug-in reports, and what it displays of a setting.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/Response.h"

namespace tarvel::render {

std::string Utf8(const std::filesystem::path& path);
// By default the plug-in installed beside this program (the package's
// /usr/lib/vst for /usr/bin, the same folder in the Windows zip), else the
// one built with it.
std::string PluginPath(const Options& options);
std::shared_ptr<const PluginLibrary> LoadPlugin(const Options& options, std::string& error);
std::unique_ptr<PluginInstance> NewInstance(const std::shared_ptr<const PluginLibrary>& library, std::string& error);
// Maps band names to the plug-in's parameters, by the names it reports.
bool ResolveGains(PluginInstance& instance, const std::vector<GainSetting>& gains, Setup& setup,
                  std::string& error);
// Sample rate, block size, channels, then the stored chunk and the gains, and
// resume: the order in which a host restores a session.
bool Configure(PluginInstance& instance, const Setup& setup, std::string& error);
bool ReadChunkFile(const std::string& path, Setup& setup, std::string& error);
ProcessMode ChooseMode(const Options& options, const PluginInstance& instance);
// "80 Hz +6 dB, 250 Hz 0 dB, ..." as the plug-in displays its parameters.
std::string SettingText(PluginInstance& instance);
// The band centres the plot marks, from the band table.
std::vector<BandMark> TarvelBandMarks();

}  // namespace tarvel::render
