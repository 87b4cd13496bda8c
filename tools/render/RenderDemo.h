#pragma once
// tarvel-render --demo: a generated input rendered with a sample setting,
// with its response, into a folder.

#include <ostream>

#include "tools/render/RenderOptions.h"

namespace tarvel::render {

// Writes the demo's input, output, response plot and table into
// options.demoDir; the exit status (reasons on one line in err).
int RunDemo(Options options, std::ostream& out, std::ostream& err);

}  // namespace tarvel::render
