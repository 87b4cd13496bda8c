#include <windows.h>

#include <vector>

#include "tools/host3/Vst3Module.h"

namespace tarvel::vst3 {

namespace {

std::wstring Widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  return wide.data();
}

}  // namespace

std::string ModuleBinaryPath(const std::string& bundle) {
  std::string path = bundle;
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  const std::size_t slash = path.find_last_of("/\\");
  const std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
  // The binary carries the bundle's name, ".vst3" included.
  return path + "/Contents/x86_64-win/" + stem;
}

void* LoadModuleBinary(const std::string& path, std::string& error) {
  const std::wstring wide = Widen(path);
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = wide.empty() ? nullptr : LoadLibraryW(wide.c_str());
  SetErrorMode(previousMode);
  if (!module) error = "LoadLibrary failed for " + path + " (error " + std::to_string(GetLastError()) + ")";
  return module;
}

void UnloadModuleBinary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

void* ModuleSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

bool CallModuleEntry(void* handle) {
  auto entry = reinterpret_cast<bool (*)()>(ModuleSymbol(handle, "InitDll"));
  return entry && entry();
}

void CallModuleExit(void* handle) {
  if (auto exit = reinterpret_cast<bool (*)()>(ModuleSymbol(handle, "ExitDll"))) exit();
}

}  // namespace tarvel::vst3
