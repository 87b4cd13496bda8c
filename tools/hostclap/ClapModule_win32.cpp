#include <windows.h>

#include <vector>

#include "tools/hostclap/ClapModule.h"

namespace tarvel::hostclap {

void* LoadClapBinary(const std::string& path, std::string& error) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = length > 0 ? LoadLibraryW(wide.data()) : nullptr;
  SetErrorMode(previousMode);
  if (!module) error = "LoadLibrary failed for " + path + " (error " + std::to_string(GetLastError()) + ")";
  return module;
}

void UnloadClapBinary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

void* ClapSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

}  // namespace tarvel::hostclap
