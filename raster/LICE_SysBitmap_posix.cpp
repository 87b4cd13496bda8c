// System bitmaps on POSIX: an anonymous mapping of our own stands in for the
// DIB section, and a small context struct for the memory device context. Like
// a DIB section, the mapping is zero-filled by the system and takes no memory
// until its pages are first written: an editor that is never shown costs
// nothing for its 2.25 MiB draw bitmap.

#include <sys/mman.h>

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
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  auto* section = new (std::nothrow) LICE_PixelSection{static_cast<LICE_Pixel*>(block), width, height};
  if (!section) {
    munmap(block, bytes);
    return nullptr;
  }
  *pixels = section->pixels;
  return section;
}

void DeleteSection(LICE_PixelSection* section) {
  if (!section) return;
  munmap(section->pixels,
         static_cast<std::size_t>(section->width) * static_cast<std::size_t>(section->height) * sizeof(LICE_Pixel));
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
