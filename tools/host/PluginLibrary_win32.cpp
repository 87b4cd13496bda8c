#include <windows.h>

#include <vector>

#include "tools/host/PluginLibrary.h"

namespace tarvel {
namespace {

std::wstring Widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  return wide.data();
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  // Some system texts name the file as an insert that is not filled in here.
  if (const auto insert = message.find("%1"); insert != std::string::npos) message.replace(insert, 2, "the file");
  return message;
}

}  // namespace

std::shared_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
  const std::wstring wide = Widen(path);
  // No "cannot find DLL" dialog boxes: a host reports, it does not ask.
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = wide.empty() ? nullptr : LoadLibraryW(wide.c_str());
  const std::string reason = module == nullptr ? LastErrorText() : std::string();
  SetErrorMode(previousMode);
  if (module == nullptr) {
    error = reason;
    return nullptr;
  }
  std::shared_ptr<PluginLibrary> library(new PluginLibrary(module, path));
  if (library->Entry() == nullptr) {
    error = "it exports neither VSTPluginMain nor main";
    return nullptr;
  }
  return library;
}

PluginLibrary::~PluginLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* PluginLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace tarvel
