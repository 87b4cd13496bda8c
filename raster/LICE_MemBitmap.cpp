#include "LICE_MemBitmap.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tarvel {

namespace {

constexpr int kPixelAlignBytes = 64;
constexpr int kBlockSlack = kPixelAlignBytes - 1;
// Rows aligned to 16 pixels already start on the 64-byte boundary of the block.
constexpr unsigned kMaxRowAlignment = 16;
// Largest usable size whose block (plus slack) still fits the signed 32-bit fields.
constexpr std::int64_t kMaxBlockBytes = INT_MAX - kBlockSlack;

std::int64_t AlignedStride(std::int64_t width, int alignMask) {
  return (width + alignMask) & ~static_cast<std::int64_t>(alignMask);
}

}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h, unsigned alignment) {
  if (alignment > 1) {
    alignMask = static_cast<int>(std::min(alignment & -alignment, kMaxRowAlignment)) - 1;
  }
  if (w != 0 || h != 0) SetSize(w, h);
}

LICE_Pixel* LICE_MemBitmap::Pixels() {
  if (!rawBlock) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(rawBlock.get());
  const std::uintptr_t offset = (kPixelAlignBytes - address % kPixelAlignBytes) % kPixelAlignBytes;
  return reinterpret_cast<LICE_Pixel*>(static_cast<unsigned char*>(rawBlock.get()) + offset);
}

int LICE_MemBitmap::RowStride() const {
  // width is only ever a size whose block was allocated, so this fits.
  return static_cast<int>(AlignedStride(width, alignMask));
}

void LICE_MemBitmap::ReleaseBlock() {
  rawBlock.reset();
  allocatedBytes = 0;
}

bool LICE_MemBitmap::SetSize(int w, int h) {
  if (w == width && h == height) return false;
  width = w;
  height = h;

  // Computed in 64 bits: sizes come from image files and must not wrap into a
  // small block that the decoder would then overrun.
  const std::int64_t bytes = (w > 0 && h > 0) ? AlignedStride(w, alignMask) * h * 4 : 0;
  bool allocationFailed = false;

  if (bytes <= 0) {
    ReleaseBlock();
  } else if (bytes > kMaxBlockBytes) {
    ReleaseBlock();
    allocationFailed = true;
  } else if (!rawBlock) {
    allocatedBytes = static_cast<int>(bytes);
    rawBlock.reset(std::malloc(static_cast<std::size_t>(bytes) + kBlockSlack));
    allocationFailed = !rawBlock;
  } else if (bytes > allocatedBytes) {
    const std::int64_t grown = std::min(bytes + bytes / 4, kMaxBlockBytes);
    if (void* moved = std::realloc(rawBlock.get(), static_cast<std::size_t>(grown) + kBlockSlack)) {
      (void)rawBlock.release();  // realloc already freed or reused the old block
      rawBlock.reset(moved);
      allocatedBytes = static_cast<int>(grown);
    } else {
      rawBlock.reset();  // free first: memory is short
      rawBlock.reset(std::malloc(static_cast<std::size_t>(bytes) + kBlockSlack));
      allocatedBytes = static_cast<int>(bytes);
      allocationFailed = !rawBlock;
    }
  }

  if (!rawBlock) {
    width = 0;
    height = 0;
    allocatedBytes = 0;
  }
  return !allocationFailed;
}

}  // namespace tarvel
