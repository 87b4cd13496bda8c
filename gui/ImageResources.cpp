#include "gui/ImageResources.h"

#include <cstring>
#include <string_view>

#include "gui/ModuleResources.h"
#include "raster/LICE_MemBitmap.h"

namespace tarvel {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

LICE_IBitmap* LoadPngResource(void* module, int id) {
  return DecodePng(FindModuleResource(module, id, "PNG")).release();
}

LICE_IBitmap* LoadJpegResource(void* module, int id) {
  return DecodeJpeg(FindModuleResource(module, id, "JPG")).release();
}

LICE_IBitmap* LoadImageResource(void* module, int id, const char* name) {
  if (name == nullptr) return nullptr;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return nullptr;
  const std::string_view extension(dot + 1);
  if (EqualsIgnoringCase(extension, "png")) return LoadPngResource(module, id);
  if (EqualsIgnoringCase(extension, "jpg") || EqualsIgnoringCase(extension, "jpeg")) {
    return LoadJpegResource(module, id);
  }
  return nullptr;
}

}  // namespace tarvel
