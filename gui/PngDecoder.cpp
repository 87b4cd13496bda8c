// PNG decoding from memory on libpng.

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "gui/ImageDecoding.h"
#include "gui/ImageResources.h"

namespace tarvel {
namespace {

constexpr std::size_t kSignatureBytes = 8;
// Zeros handed out past the end of the data, at most. A truncated image needs
// only a few (the rest of a chunk's checksum or of its last data chunk); a chunk
// that claims gigabytes would otherwise be skipped by reading them all.
constexpr std::size_t kMaxZeroFill = 64 * 1024;
// The most libpng may allocate for one chunk. A chunk's buffer is sized from
// its length field before its data is read, so a short file could otherwise
// take hundreds of megabytes; no image of this system has a chunk near this.
constexpr png_alloc_size_t kMaxChunkBytes = 4 * 1024 * 1024;

struct MemoryReader {
  const std::uint8_t* next;
  std::size_t remaining;
  std::size_t zeroFill;  // zeros handed out so far
};

// Past the end of the data libpng gets zeros rather than an error (up to
// kMaxZeroFill of them): a truncated image fails, or not, by what libpng makes
// of the zeros.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  std::memset(out, 0, count);
  const std::size_t available = std::min(count, reader->remaining);
  if (available > 0) std::memcpy(out, reader->next, available);
  reader->next += available;
  reader->remaining -= available;
  reader->zeroFill += count - available;
  if (reader->zeroFill > kMaxZeroFill) png_error(png, "read far past the end of the data");
}

// Errors go back to the setjmp in ReadImage; nothing is printed.
[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Everything a decode owns. It lives in DecodePng's frame, outside the frames
// that libpng's long jump skips, and releases what was made however it ends.
struct PngDecode {
  explicit PngDecode(std::span<const std::uint8_t> data) : reader{data.data(), data.size(), 0} {}
  PngDecode(const PngDecode&) = delete;
  PngDecode& operator=(const PngDecode&) = delete;
  ~PngDecode() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }

  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader;
  std::unique_ptr<LICE_MemBitmap> bitmap;
  std::vector<png_bytep> rows;
};

// Every libpng call happens here. A libpng error jumps back to the setjmp, so
// this function keeps no object that needs destruction: all state is in `d`.
bool ReadImage(PngDecode& d) {
  if (setjmp(png_jmpbuf(d.png))) return false;

  png_set_read_fn(d.png, &d.reader, ReadFromMemory);
  png_set_user_limits(d.png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(d.png, kMaxChunkBytes);
  // libpng reports an ancillary chunk beyond that limit as a benign error,
  // which on reading is only a warning, and then allocates it all the same:
  // benign errors must stop the decode.
  png_set_benign_errors(d.png, 0);
  png_read_info(d.png, d.info);

  const png_uint_32 width = png_get_image_width(d.png, d.info);
  const png_uint_32 height = png_get_image_height(d.png, d.info);
  const int bitDepth = png_get_bit_depth(d.png, d.info);
  const int colorType = png_get_color_type(d.png, d.info);
  if (!ImageSizeAcceptable(width, height)) return false;

  // Every colour type ends as four bytes a pixel in the order A, R, G, B:
  // palettes, low bit depths and grey are expanded to 8-bit RGB, transparency
  // becomes a real alpha channel, and images without alpha get an opaque one.
  const bool hasTransparency = png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(d.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(d.png);
  if (hasTransparency) png_set_tRNS_to_alpha(d.png);
  if (bitDepth == 16) png_set_strip_16(d.png);
  if (bitDepth < 8) png_set_packing(d.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(d.png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTransparency) {
    png_set_swap_alpha(d.png);
  } else {
    png_set_filler(d.png, 0xFF, PNG_FILLER_BEFORE);
  }
  png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  if (png_get_rowbytes(d.png, d.info) != static_cast<png_size_t>(width) * 4) return false;

  d.bitmap = MakeImageBitmap(static_cast<int>(width), static_cast<int>(height));
  if (!d.bitmap) return false;
  d.rows.resize(height);
  for (png_uint_32 r = 0; r < height; ++r) {
    d.rows[r] = reinterpret_cast<png_bytep>(ImageRow(*d.bitmap, static_cast<int>(r)));
  }
  png_read_image(d.png, d.rows.data());
  return true;
}

// The bytes A, R, G, B of each pixel, in memory order, become the pixel word.
void PackPixels(LICE_MemBitmap& bitmap) {
  for (int r = 0; r < bitmap.PixelHeight(); ++r) {
    LICE_Pixel* row = ImageRow(bitmap, r);
    for (int c = 0; c < bitmap.PixelWidth(); ++c) {
      std::uint8_t b[4];
      std::memcpy(b, &row[c], 4);
      row[c] = static_cast<LICE_Pixel>(b[0]) << 24 | static_cast<LICE_Pixel>(b[1]) << 16 |
               static_cast<LICE_Pixel>(b[2]) << 8 | b[3];
    }
  }
}

}  // namespace

std::unique_ptr<LICE_MemBitmap> DecodePng(std::span<const std::uint8_t> data) {
  if (data.size() < kSignatureBytes || png_sig_cmp(data.data(), 0, kSignatureBytes) != 0) return nullptr;

  PngDecode d(data);
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (d.png == nullptr) return nullptr;
  d.info = png_create_info_struct(d.png);
  if (d.info == nullptr) return nullptr;
  if (!ReadImage(d)) return nullptr;

  PackPixels(*d.bitmap);
  return std::move(d.bitmap);
}

}  // namespace tarvel
