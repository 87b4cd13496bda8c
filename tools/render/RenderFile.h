#pragma once
// The renders themselves: one audio file through the plug-in (with the
// responses asked for), or a response alone. Every output goes to a pending
// file first, and all of them are moved into place only when everything has
// succeeded.

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/render/AudioFile.h"
#include "tools/render/RenderOptions.h"

namespace tarvel::render {

struct AudioOutput {
  std::string path;
  std::optional<int> majorFormat;  // the input's when not given
};

struct ResponseOutput {
  std::string path;
  bool optionalPlot = false;  // a plot that cannot be drawn is only reported
};


struct RenderSummary {
  std::int64_t frames = 0;
  VstInt32 latency = 0;
  std::int64_t clipped = 0;
  std::string setting;
};

bool RefuseInputOverwrite(const std::string& input, const std::vector<std::string>& outputs, std::string& error);
bool WriteResponses(const std::shared_ptr<const PluginLibrary>& library, const Setup& setup, const Options& options,
                    const std::vector<ResponseOutput>& responses,
                    std::vector<std::unique_ptr<PendingFile>>& pending, std::ostream& err, std::string& error);
bool CheckResponsePath(const std::string& path, std::string& error);
bool CommitAll(std::vector<std::unique_ptr<PendingFile>>& pending, std::string& error);
bool WriteChunkFile(const std::vector<std::uint8_t>& chunk, const std::string& path, std::string& error);
// The instance's program chunk, into a pending file for path.
bool SaveChunk(PluginInstance& instance, const std::string& path, std::vector<std::unique_ptr<PendingFile>>& pending,
               std::string& error);
// The whole render of one file; every output goes to a pending file first and
// all of them are moved into place only when everything has succeeded.
bool RenderFile(const Options& options, const std::string& inputPath, const AudioOutput& audio,
                const std::vector<ResponseOutput>& responses, std::ostream& err, RenderSummary& summary,
                std::string& error);
bool ResponseOnly(const Options& options, std::ostream& err, std::string& error);

}  // namespace tarvel::render
