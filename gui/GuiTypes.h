#pragma once
// Small value types shared by the controls, the graphics core and the window layer.

#include <cstdint>

namespace tarvel {

// A rectangle in window client pixels; right and bottom are exclusive. Only a
// rectangle whose four fields are all zero is empty: (5, 5, 5, 5) is not.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool operator==(const PixelRect&) const = default;
};

struct MouseMods {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;
};

// The editor's key numbers.
enum KeyCode : std::int32_t {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,   // "0" to "9" are 5 to 14
  kKeyLetterA = 15  // "A" to "Z" are 15 to 40
};

// Channels from 0 to 255.
struct ArgbColor {
  std::int32_t alpha = 0;
  std::int32_t red = 0;
  std::int32_t green = 0;
  std::int32_t blue = 0;
};

// How a control's pixels are combined with what lies below. Controls decide
// how (or whether) to use it.
struct BlendSpec {
  std::int32_t method = 0;
  float weight = 1.0f;
};

}  // namespace tarvel
