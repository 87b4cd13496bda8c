#pragma once
// Decoding of the editor's images: PNG and JPEG data, either from memory or from
// resources of the plug-in's own module, into 32-bit memory bitmaps.
//
// Every result is a new LICE_MemBitmap (row alignment 4 pixels) whose pixels are
// alpha << 24 | red << 16 | green << 8 | blue with straight alpha; images without
// an alpha channel come out opaque. Every failure (missing or short data, a bad
// signature, a decoder error, dimensions beyond kMaxImageSide / kMaxImagePixels,
// a PNG chunk above 4 MB, a JPEG header claiming more than its bytes can code)
// gives null and writes no message.
//
// Decoding keeps no shared state: any thread may decode, the loaders are called
// on the GUI thread while the editor is built. They allocate.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tarvel {

class LICE_IBitmap;
class LICE_MemBitmap;

// Limits on the size an image file may claim, checked before any pixel memory is
// allocated (the header of a damaged or hostile file can claim anything).
inline constexpr int kMaxImageSide = 32768;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 24;

// From memory. The bytes are only read, and only during the call.
std::unique_ptr<LICE_MemBitmap> DecodePng(std::span<const std::uint8_t> data);
std::unique_ptr<LICE_MemBitmap> DecodeJpeg(std::span<const std::uint8_t> data);

// From the resources of `module` (the handle of ModuleHandle(), plugin/ModuleHandle.h):
// the resource `id` of type "PNG" or "JPG". The caller owns the result and
// deletes it through LICE_IBitmap's virtual destructor.
LICE_IBitmap* LoadPngResource(void* module, int id);
LICE_IBitmap* LoadJpegResource(void* module, int id);

// Chooses the decoder by the extension of `name` (the text after its last '.',
// without regard to case): "png" for LoadPngResource, "jpg" or "jpeg" for
// LoadJpegResource. Any other name gives null. The name serves for nothing else.
LICE_IBitmap* LoadImageResource(void* module, int id, const char* name);

}  // namespace tarvel
