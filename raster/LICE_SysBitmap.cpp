#include "LICE_SysBitmap.h"

#include <climits>
#include <cstdint>

#include "LICE_SysBitmapPlatform.h"

namespace tarvel {

void LICE_SysBitmap::ContextDeleter::operator()(LICE_DrawContext* context) const {
  sysbitmap::DeleteMemoryContext(context);
}

void LICE_SysBitmap::SectionDeleter::operator()(LICE_PixelSection* section) const {
  sysbitmap::DeleteSection(section);
}

LICE_SysBitmap::LICE_SysBitmap(int w, int h) : memoryDC(sysbitmap::CreateMemoryContext()) {
  SetSize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap() {
  ReleaseSection();
}

void LICE_SysBitmap::ReleaseSection() {
  // A section still selected into a context cannot be deleted.
  if (previousObject && memoryDC) sysbitmap::SelectSection(memoryDC.get(), previousObject);
  previousObject = nullptr;
  dibSection.reset();
  pixels = nullptr;
}

bool LICE_SysBitmap::SetSize(int w, int h) {
  if (!memoryDC) {
    width = height = 0;
    pixels = nullptr;
    return false;
  }
  if (w < 0 || h < 0) w = h = 0;
  if (w == width && h == height) return false;
  width = w;
  height = h;

  if (w != 0 && h != 0 && w <= allocWidth && h <= allocHeight && pixels) return true;

  // Widths are rounded up to 4 pixels; a section must stay addressable with
  // signed 32-bit byte counts.
  const std::int64_t roundedWidth = (static_cast<std::int64_t>(w) + 3) & ~std::int64_t{3};
  const bool fits = roundedWidth * h * 4 <= INT_MAX;
  allocWidth = fits ? static_cast<int>(roundedWidth) : 0;
  allocHeight = fits ? h : 0;
  ReleaseSection();
  if (w == 0 || h == 0) {
    allocWidth = allocHeight = 0;
    return false;
  }

  if (fits) dibSection.reset(sysbitmap::CreateSection(allocWidth, h, &pixels));
  if (!dibSection) {
    width = height = 0;
    allocWidth = allocHeight = 0;
    pixels = nullptr;
    return false;
  }
  previousObject = sysbitmap::SelectSection(memoryDC.get(), dibSection.get());
  return true;
}

}  // namespace tarvel
