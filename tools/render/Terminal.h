#pragma once
// Whether the standard error stream is an interactive terminal (progress is
// drawn only there, never into logs or pipes).

namespace tarvel {

bool StandardErrorIsTerminal();

}  // namespace tarvel
