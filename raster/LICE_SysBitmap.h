#pragma once
// A bitmap whose pixels live in a platform bitmap selected into its own memory
// drawing context, so that window code can copy it to the screen: a top-down
// 32-bit DIB section on Windows, an aligned block of our own on POSIX. The
// editor's draw bitmap is one of these.

#include <memory>

#include "LICE_IBitmap.h"

namespace tarvel {

// The platform bitmap that holds the pixels (an HBITMAP on Windows). Opaque.
struct LICE_PixelSection;

class LICE_SysBitmap final : public LICE_IBitmap {
 public:
  LICE_SysBitmap(int width, int height);
  ~LICE_SysBitmap() override;

  LICE_Pixel* Pixels() override { return pixels; }
  int PixelWidth() const override { return width; }
  int PixelHeight() const override { return height; }
  // The allocated width: a smaller size reuses the larger section.
  int RowStride() const override { return allocWidth; }
  // True when a section of at least the new size holds the pixels. A size of
  // 0 in either direction releases the section and answers false, as does a
  // section that could not be made (the bitmap is then 0 by 0). Negative sizes
  // count as 0 by 0. Pixels are not kept in any meaningful layout.
  bool SetSize(int width, int height) override;
  LICE_DrawContext* DrawContext() override { return memoryDC.get(); }

 private:
  struct ContextDeleter {
    void operator()(LICE_DrawContext* context) const;
  };
  struct SectionDeleter {
    void operator()(LICE_PixelSection* section) const;
  };

  void ReleaseSection();

  int width = 0;
  int height = 0;
  std::unique_ptr<LICE_DrawContext, ContextDeleter> memoryDC;
  LICE_Pixel* pixels = nullptr;  // owned by dibSection
  int allocWidth = 0;
  int allocHeight = 0;
  std::unique_ptr<LICE_PixelSection, SectionDeleter> dibSection;
  // What memoryDC held before dibSection was selected into it; put back before
  // the section is deleted.
  LICE_PixelSection* previousObject = nullptr;
};

}  // namespace tarvel
