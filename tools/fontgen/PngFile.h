#pragma once
// Writing 8-bit RGB PNG files, for the font tools.

#include <cstdint>
#include <string>
#include <vector>

namespace tarvel {

// `rgb` holds width * height pixels of three bytes (red, green, blue), row by
// row. Returns false with a message on standard error when the file cannot be
// written.
bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace tarvel
