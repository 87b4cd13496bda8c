#pragma once
// The few platform operations behind LICE_SysBitmap; implemented once per
// platform (LICE_SysBitmap_win32.cpp, LICE_SysBitmap_posix.cpp).

#include "LICE_SysBitmap.h"

namespace tarvel::sysbitmap {

// A memory drawing context compatible with the screen, or null.
LICE_DrawContext* CreateMemoryContext();
void DeleteMemoryContext(LICE_DrawContext* context);

// A top-down 32-bit section of width by height pixels (rows width pixels
// apart), zero-filled; its pixel memory is stored in *pixels. Null on failure.
LICE_PixelSection* CreateSection(int width, int height, LICE_Pixel** pixels);
void DeleteSection(LICE_PixelSection* section);

// Selects section into context and returns the section it replaces.
LICE_PixelSection* SelectSection(LICE_DrawContext* context, LICE_PixelSection* section);

}  // namespace tarvel::sysbitmap
