#include "plugin/ModuleHandle.h"

#include <dlfcn.h>

namespace tarvel {
namespace {

void* FindOwnModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ModuleHandle), &info) == 0) return nullptr;
  return info.dli_fbase;
}

}  // namespace

void* ModuleHandle() {
  static void* const module = FindOwnModule();
  return module;
}

}  // namespace tarvel
