#include <dlfcn.h>

#include "tools/hostclap/ClapModule.h"

namespace tarvel::hostclap {

void* LoadClapBinary(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : "dlopen failed";
  }
  return handle;
}

void UnloadClapBinary(void* handle) { dlclose(handle); }

void* ClapSymbol(void* handle, const char* name) { return dlsym(handle, name); }

}  // namespace tarvel::hostclap
