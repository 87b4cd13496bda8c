// Any bytes through the PNG decoder: null, or a bitmap of a size within the
// limits; never a crash or a sanitizer report.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gui/ImageResources.h"
#include "raster/LICE_MemBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bitmap = tarvel::DecodePng({data, size});
  if (bitmap && (bitmap->Pixels() == nullptr || bitmap->PixelWidth() < 1 || bitmap->PixelHeight() < 1 ||
                 std::int64_t{bitmap->PixelWidth()} * bitmap->PixelHeight() > tarvel::kMaxImagePixels)) {
    std::abort();
  }
  return 0;
}
