#include "LoadedLibrary.h"

#include <dlfcn.h>
#include <link.h>

namespace tarvel::test {

LoadedLibrary::LoadedLibrary(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle != nullptr) dlclose(handle);
}

void* LoadedLibrary::Symbol(const char* name) const { return dlsym(handle, name); }

void* LoadedLibrary::Base() const {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return nullptr;
  return reinterpret_cast<void*>(map->l_addr);
}

}  // namespace tarvel::test
