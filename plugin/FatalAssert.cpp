#include "plugin/FatalAssert.h"

#include <cstdio>
#include <cstdlib>

namespace tarvel {

void FatalAssert(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tarvel
