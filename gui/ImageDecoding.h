#pragma once
// Helpers shared by the PNG and JPEG decoders.

#include <cstdint>
#include <memory>

#include "raster/LICE_MemBitmap.h"

namespace tarvel {

// True when an image of this size may be decoded at all (see kMaxImageSide and
// kMaxImagePixels in ImageResources.h).
bool ImageSizeAcceptable(std::uint64_t width, std::uint64_t height);

// A bitmap for a decoded image of an acceptable size, or null when the pixel
// memory could not be had.
std::unique_ptr<LICE_MemBitmap> MakeImageBitmap(int width, int height);

// Row `row` of the image, counted from the top whatever the bitmap's layout.
LICE_Pixel* ImageRow(LICE_IBitmap& bitmap, int row);

}  // namespace tarvel
