#include <windows.h>

#include <string>

#include "tools/render/ProgramFile.h"

namespace tarvel {

std::filesystem::path ProgramFile() {
  // The name is cut off, without an error, when the buffer is too small.
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return std::filesystem::path(name.substr(0, length));
    name.resize(name.size() * 2);
  }
}

}  // namespace tarvel
