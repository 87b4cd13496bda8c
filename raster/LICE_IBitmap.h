#pragma once
// The 32-bit pixel bitmap interface behind every image of the editor.
//
// Pixel format: one 32-bit word alpha << 24 | red << 16 | green << 8 | blue, so
// the bytes in memory are blue, green, red, alpha. Rows run top to bottom unless
// IsBottomUp() says otherwise; row r starts r * RowStride() pixels after Pixels().
// Strides are counted in pixels, never in bytes.
//
// A bitmap is used by one thread at a time; none of these classes locks.

#include <cstdint>

namespace tarvel {

using LICE_Pixel = std::uint32_t;

// The platform drawing context that holds a bitmap's pixels. Opaque here: on
// Windows it is the memory HDC (convert with reinterpret_cast inside win32
// code); on POSIX it is the struct of LICE_DrawContext_posix.h.
struct LICE_DrawContext;

class LICE_IBitmap {
 public:
  LICE_IBitmap() = default;
  LICE_IBitmap(const LICE_IBitmap&) = delete;
  LICE_IBitmap& operator=(const LICE_IBitmap&) = delete;

  virtual ~LICE_IBitmap() = default;
  // First pixel of the first row, or null when the bitmap holds no pixels.
  virtual LICE_Pixel* Pixels() = 0;
  virtual int PixelWidth() const = 0;
  virtual int PixelHeight() const = 0;
  // Pixels from the start of one row to the start of the next.
  virtual int RowStride() const = 0;
  virtual bool IsBottomUp() const { return false; }
  // Asks for a new size. Callers learn whether it took effect by comparing
  // PixelWidth() and PixelHeight() with what they asked for.
  virtual bool SetSize(int width, int height) = 0;
  virtual LICE_DrawContext* DrawContext() { return nullptr; }
  // Reserved for later extensions; no query is known, so every answer is 0.
  virtual std::intptr_t ExtensionQuery(int /*query*/, void* /*data*/) { return 0; }
};

}  // namespace tarvel
