// A library that reports its own module handle and resources, for
// module_handle_test: in a library the handle must name the library, not the
// program that loaded it.

#include <cstddef>

#include "gui/ModuleResources.h"
#include "plugin/ModuleHandle.h"

extern "C" void* ProbeModuleHandle() { return tarvel::ModuleHandle(); }

extern "C" std::size_t ProbeFontStripSize() {
  return tarvel::FindModuleResource(tarvel::ModuleHandle(), 100, "PNG").size();
}
