#pragma once

namespace tarvel {

// Reports a broken construction invariant on the standard error stream and
// stops the program. Used only where continuing would build a broken object.
[[noreturn]] void FatalAssert(const char* condition, const char* file, int line);

}  // namespace tarvel
