#pragma once
// tarvel-render: renders an audio file through the plug-in file the way a
// host does, measures and plots the setting's response, or runs the demo.

#include <ostream>
#include <string>
#include <vector>

namespace tarvel {

// args without the program name. Reports go to out, problems to err as one
// line each. Returns the process exit status: 0 on success, 1 when something
// named in err went wrong, 2 for a malformed command line. On failure no
// output file is written or changed.
int RunRenderTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvel
