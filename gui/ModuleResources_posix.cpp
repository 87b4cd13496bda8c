#include "gui/ModuleResources.h"

#include "resources/EmbeddedResources.h"

namespace tarvel {
namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Resource type names compare without regard to case, as on Windows.
bool SameTypeName(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (AsciiUpper(*a) != AsciiUpper(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

std::span<const std::uint8_t> FindModuleResource(void* /*module*/, int id, const char* type) {
  if (id < 1 || id > 0xFFFF || type == nullptr) return {};
  for (const EmbeddedResource& resource : EmbeddedResources()) {
    if (resource.id == id && SameTypeName(resource.type, type)) return {resource.data, resource.size};
  }
  return {};
}

}  // namespace tarvel
