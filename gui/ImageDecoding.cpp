#include "gui/ImageDecoding.h"

#include "gui/ImageResources.h"

namespace tarvel {

bool ImageSizeAcceptable(std::uint64_t width, std::uint64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= static_cast<std::uint64_t>(kMaxImagePixels);
}

std::unique_ptr<LICE_MemBitmap> MakeImageBitmap(int width, int height) {
  auto bitmap = std::make_unique<LICE_MemBitmap>(width, height, 4);
  if (bitmap->Pixels() == nullptr || bitmap->PixelWidth() != width || bitmap->PixelHeight() != height) {
    return nullptr;
  }
  return bitmap;
}

LICE_Pixel* ImageRow(LICE_IBitmap& bitmap, int row) {
  const int stored = bitmap.IsBottomUp() ? bitmap.PixelHeight() - 1 - row : row;
  return bitmap.Pixels() + static_cast<std::ptrdiff_t>(stored) * bitmap.RowStride();
}

}  // namespace tarvel
