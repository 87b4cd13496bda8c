#pragma once

#include <cstddef>
#include <cstring>

namespace tarvel {

// Copies text into a fixed field of fieldSize bytes, cut to fit and always
// terminated (nothing is written when fieldSize is 0). Null counts as "".
inline void CopyText(char* field, std::size_t fieldSize, const char* text) {
  if (!field || fieldSize == 0) return;
  std::size_t n = 0;
  if (text)
    while (n + 1 < fieldSize && text[n]) ++n;
  if (n) std::memmove(field, text, n);
  field[n] = '\0';
}

}  // namespace tarvel
