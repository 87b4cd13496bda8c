#pragma once
// Texts for hosts that speak UTF-16 (VST3, and any format after it). The
// plug-in's own texts are ASCII.

#include <cstddef>

namespace tarvel {

// Copies text into a UTF-16 field of fieldSize units, each byte one unit,
// cut to fit and always terminated (nothing is written when fieldSize is 0).
// Null counts as "".
inline void CopyToUtf16(char16_t* field, std::size_t fieldSize, const char* text) {
  if (!field || fieldSize == 0) return;
  std::size_t i = 0;
  for (; text && text[i] != '\0' && i + 1 < fieldSize; ++i)
    field[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  field[i] = 0;
}

// A host's UTF-16 text as ASCII in out; false for a character beyond ASCII
// or for more than outSize - 1 of them.
inline bool Utf16ToAscii(const char16_t* text, char* out, std::size_t outSize) {
  if (!text) return false;
  for (std::size_t i = 0; i < outSize; ++i) {
    if (text[i] == 0) {
      out[i] = '\0';
      return true;
    }
    if (text[i] > 0x7F) return false;
    out[i] = static_cast<char>(text[i]);
  }
  return false;
}

}  // namespace tarvel
