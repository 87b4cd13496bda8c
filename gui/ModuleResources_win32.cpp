#include "gui/ModuleResources.h"

#include <windows.h>

namespace tarvel {

std::span<const std::uint8_t> FindModuleResource(void* module, int id, const char* type) {
  // Only 16-bit ids can be passed as integer resource names; anything else would
  // be taken for the address of a name string.
  if (id < 1 || id > 0xFFFF || type == nullptr) return {};
  const auto handle = static_cast<HMODULE>(module);
  HRSRC found = FindResourceA(handle, MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return {};
  const DWORD size = SizeofResource(handle, found);
  HGLOBAL loaded = LoadResource(handle, found);
  if (loaded == nullptr) return {};
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return {};
  return {static_cast<const std::uint8_t*>(bytes), size};
}

}  // namespace tarvel
