#pragma once
// A bitmap in ordinary heap memory, with rows padded to a chosen alignment.
// Decoded images live in these.

#include <cstdlib>
#include <memory>

#include "LICE_IBitmap.h"

namespace tarvel {

class LICE_MemBitmap final : public LICE_IBitmap {
 public:
  // alignment: row alignment in pixels (0 or 1 for none); only its lowest set
  // bit counts, and anything above 16 pixels is treated as 16.
  LICE_MemBitmap(int width, int height, unsigned alignment);

  LICE_Pixel* Pixels() override;
  int PixelWidth() const override { return width; }
  int PixelHeight() const override { return height; }
  int RowStride() const override;
  // Returns false when the size is unchanged or when the pixel block could not
  // be allocated (the bitmap is then 0 by 0 with null Pixels()). The block
  // grows by a quarter more than needed and never shrinks; pixel contents are
  // not kept in any meaningful layout.
  bool SetSize(int width, int height) override;

  // Usable bytes of the block (the block itself is 63 bytes larger so that
  // Pixels() can start on a 64-byte boundary).
  int AllocatedBytes() const { return allocatedBytes; }

 private:
  struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
  };

  void ReleaseBlock();

  std::unique_ptr<void, FreeBlock> rawBlock;
  int width = 0;
  int height = 0;
  int allocatedBytes = 0;
  int alignMask = 0;
};

}  // namespace tarvel
