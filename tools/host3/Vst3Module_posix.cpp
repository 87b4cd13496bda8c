#include <dlfcn.h>

#include "tools/host3/Vst3Module.h"

namespace tarvel::vst3 {

std::string ModuleBinaryPath(const std::string& bundle) {
  std::string path = bundle;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
  if (stem.size() > 5 && stem.ends_with(".vst3")) stem.resize(stem.size() - 5);
  if (path.find('/') == std::string::npos) path = "./" + path;
  return path + "/Contents/x86_64-linux/" + stem + ".so";
}

void* LoadModuleBinary(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : "dlopen failed";
  }
  return handle;
}

void UnloadModuleBinary(void* handle) { dlclose(handle); }

void* ModuleSymbol(void* handle, const char* name) { return dlsym(handle, name); }

bool CallModuleEntry(void* handle) {
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
  return entry && entry(handle);
}

void CallModuleExit(void* handle) {
  if (auto exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"))) exit();
}

}  // namespace tarvel::vst3
