#include <unistd.h>

#include "tools/render/Terminal.h"

namespace tarvel {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace tarvel
