#include "ImageEncoding.h"

#include <cstdio>

#include <jpeglib.h>
#include <png.h>

#include <cstdlib>
#include <stdexcept>

namespace tarvel::test {
namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void Flush(png_structp) {}

}  // namespace

Bytes EncodePng(const PngImage& image) {
  Bytes out;
  std::vector<png_color> entries;
  std::vector<png_bytep> rows;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("PNG encoding failed");
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    for (std::size_t i = 0; i + 2 < image.palette.size(); i += 3) {
      entries.push_back({image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    }
    png_set_PLTE(png, info, entries.data(), static_cast<int>(entries.size()));
  }
  if (!image.transparency.empty()) {
    png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
  } else if (image.transparentGrey >= 0 || image.transparentRed >= 0) {
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(image.transparentGrey);
    key.red = static_cast<png_uint_16>(image.transparentRed);
    key.green = static_cast<png_uint_16>(image.transparentGreen);
    key.blue = static_cast<png_uint_16>(image.transparentBlue);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  const std::size_t rowBytes = image.samples.size() / image.height;
  for (int r = 0; r < image.height; ++r) rows.push_back(const_cast<png_bytep>(image.samples.data() + r * rowBytes));
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes EncodeJpeg(const JpegImage& image) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = image.width;
  info.image_height = image.height;
  info.input_components = image.components;
  info.in_color_space = image.components == 1 ? JCS_GRAYSCALE : image.components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  if (image.keepRgb) jpeg_set_colorspace(&info, JCS_RGB);
  jpeg_set_quality(&info, 100, TRUE);
  if (image.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * image.components;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.samples.data() + info.next_scanline * rowBytes);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace tarvel::test
