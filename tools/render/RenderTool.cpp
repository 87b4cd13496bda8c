#include "tools/render/RenderTool.h"

#include "tools/render/OutputFormat.h"
#include "tools/render/RenderDemo.h"
#include "tools/render/RenderFile.h"
#include "tools/render/RenderOptions.h"

namespace tarvel {

using namespace render;

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

