// System bitmaps on Windows: a top-down 32-bit DIB section selected into a
// memory device context. The portable types are the GDI handles themselves.

#include <windows.h>

#include "LICE_SysBitmapPlatform.h"

namespace tarvel::sysbitmap {

namespace {

HDC ToHdc(LICE_DrawContext* context) {
  return reinterpret_cast<HDC>(context);
}

HBITMAP ToHbitmap(LICE_PixelSection* section) {
  return reinterpret_cast<HBITMAP>(section);
}

LICE_PixelSection* ToSection(HGDIOBJ object) {
  return reinterpret_cast<LICE_PixelSection*>(object);
}

}  // namespace

LICE_DrawContext* CreateMemoryContext() {
  return reinterpret_cast<LICE_DrawContext*>(CreateCompatibleDC(nullptr));
}

void DeleteMemoryContext(LICE_DrawContext* context) {
  if (context) DeleteDC(ToHdc(context));
}

LICE_PixelSection* CreateSection(int width, int height, LICE_Pixel** pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: rows top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return nullptr;
  }
  *pixels = static_cast<LICE_Pixel*>(bits);
  return ToSection(section);
}

void DeleteSection(LICE_PixelSection* section) {
  if (section) DeleteObject(ToHbitmap(section));
}

LICE_PixelSection* SelectSection(LICE_DrawContext* context, LICE_PixelSection* section) {
  return ToSection(SelectObject(ToHdc(context), ToHbitmap(section)));
}

}  // namespace tarvel::sysbitmap
