// System bitmaps on POSIX: a 64-byte aligned pixel block of our own stands in
// for the DIB section, and a small context struct for the memory device context.

#include <cstring>
#include <new>

#include "LICE_DrawContext_posix.h"
#include "LICE_SysBitmapPlatform.h"

namespace tarvel {

struct LICE_PixelSection {
  LICE_Pixel* pixels = nullptr;
  int width = 0;
  int height = 0;
};

namespace sysbitmap {

namespace {

constexpr std::align_val_t kPixelAlignment{64};

// Like the 1 by 1 bitmap a fresh memory context holds on Windows: what a new
// context has selected, and what is put back before a section is deleted.
LICE_PixelSection stockSection;

}  // namespace

LICE_DrawContext* CreateMemoryContext() {
  auto* context = new (std::nothrow) LICE_DrawContext;
  if (context) context->selected = &stockSection;
  return context;
}

void DeleteMemoryContext(LICE_DrawContext* context) {
  delete context;
}

LICE_PixelSection* CreateSection(int width, int height, LICE_Pixel** pixels) {
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(LICE_Pixel);
  void* block = ::operator new(bytes, kPixelAlignment, std::nothrow);
  if (!block) return nullptr;
  auto* section = new (std::nothrow) LICE_PixelSection{static_cast<LICE_Pixel*>(block), width, height};
  if (!section) {
    ::operator delete(block, kPixelAlignment);
    return nullptr;
  }
  std::memset(block, 0, bytes);
  *pixels = section->pixels;
  return section;
}

void DeleteSection(LICE_PixelSection* section) {
  if (!section) return;
  ::operator delete(section->pixels, kPixelAlignment);
  delete section;
}

LICE_PixelSection* SelectSection(LICE_DrawContext* context, LICE_PixelSection* section) {
  auto* previous = const_cast<LICE_PixelSection*>(context->selected);
  context->selected = section;
  context->pixels = section->pixels;
  context->width = section->width;
  context->height = section->height;
  return previous;
}

}  // namespace sysbitmap
}  // namespace tarvel
