#pragma once
// The drawing context of a system bitmap on POSIX: a description of the pixel
// section selected into it, from which a Linux editor presents. Rows are
// `width` pixels apart, top to bottom, in the pixel format of LICE_IBitmap.h.

#include "LICE_IBitmap.h"

namespace tarvel {

struct LICE_PixelSection;

struct LICE_DrawContext {
  const LICE_PixelSection* selected = nullptr;
  const LICE_Pixel* pixels = nullptr;  // null while no section is selected
  int width = 0;
  int height = 0;
};

}  // namespace tarvel
