#pragma once
// Encoders for the decoder tests: small PNG and JPEG files made in memory.

#include <cstdint>
#include <vector>

namespace tarvel::test {

using Bytes = std::vector<std::uint8_t>;

struct PngImage {
  int width = 1;
  int height = 1;
  int bitDepth = 8;
  int colorType = 2;          // PNG_COLOR_TYPE_RGB
  bool interlaced = false;
  Bytes samples{};            // packed rows as the PNG stores them (big-endian 16-bit)
  Bytes palette{};            // R, G, B per entry, for palette images
  Bytes transparency{};       // tRNS: alpha per palette entry
  int transparentGrey = -1;   // tRNS for grey images
  int transparentRed = -1, transparentGreen = -1, transparentBlue = -1;  // tRNS for RGB
};

Bytes EncodePng(const PngImage& image);

struct JpegImage {
  int width = 1;
  int height = 1;
  int components = 3;     // 1 grey, 3 RGB, 4 CMYK
  bool keepRgb = false;   // store RGB as it is, without the YCbCr transform
  bool progressive = false;
  Bytes samples{};        // interleaved, width * components bytes a row
};

Bytes EncodeJpeg(const JpegImage& image);

}  // namespace tarvel::test
