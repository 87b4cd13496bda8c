#include "PngFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace tarvel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

struct PngWrite {
  PngWrite() = default;
  PngWrite(const PngWrite&) = delete;
  PngWrite& operator=(const PngWrite&) = delete;
  ~PngWrite() { png_destroy_write_struct(&png, info != nullptr ? &info : nullptr); }

  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_const_bytep> rows;
};

bool Write(PngWrite& w, std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, file);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  w.rows.resize(static_cast<std::size_t>(height));
  for (int r = 0; r < height; ++r) w.rows[static_cast<std::size_t>(r)] = rgb.data() + std::size_t(r) * width * 3;
  png_set_rows(w.png, w.info, const_cast<png_bytepp>(w.rows.data()));
  png_write_png(w.png, w.info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace

bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != std::size_t(width) * height * 3) {
    std::fprintf(stderr, "%s: wrong image size\n", path.c_str());
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  PngWrite w;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (w.png != nullptr) w.info = png_create_info_struct(w.png);
  if (!file || w.info == nullptr || !Write(w, file.get(), width, height, rgb) || std::fflush(file.get()) != 0) {
    std::fprintf(stderr, "%s: cannot write the image\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace tarvel
