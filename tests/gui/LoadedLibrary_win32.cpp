#include "LoadedLibrary.h"

#include <windows.h>

namespace tarvel::test {

LoadedLibrary::LoadedLibrary(const char* path) : handle(LoadLibraryA(path)) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
}

void* LoadedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void* LoadedLibrary::Base() const { return handle; }

}  // namespace tarvel::test
