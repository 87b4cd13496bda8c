#include <dlfcn.h>

#include "tools/host/PluginLibrary.h"

namespace tarvel {

std::shared_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
  // A relative name without a slash would make dlopen search the library
  // path instead of opening the file the user named.
  const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "dlopen failed";
    return nullptr;
  }
  std::shared_ptr<PluginLibrary> library(new PluginLibrary(handle, path));
  if (library->Entry() == nullptr) {
    error = "it exports neither VSTPluginMain nor main";
    return nullptr;
  }
  return library;
}

PluginLibrary::~PluginLibrary() { dlclose(handle_); }

void* PluginLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

}  // namespace tarvel
