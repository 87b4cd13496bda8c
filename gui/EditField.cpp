#include "gui/EditField.h"

#include <algorithm>
#include <cstdio>

#include "plugin/Parameter.h"
#include "raster/LICE_SysBitmap.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"

namespace tarvel {

namespace {

constexpr std::uint32_t kFieldInk = 0xFF000000u;
constexpr std::uint32_t kFieldPaper = 0xFFFFFFFFu;
constexpr std::uint32_t kFieldBorder = 0xFF808080u;

void FillRect(LICE_SysBitmap& bitmap, const PixelRect& r, std::uint32_t colour) {
  for (int y = r.top; y < r.bottom; ++y) {
    LICE_Pixel* row = bitmap.Pixels() + static_cast<std::ptrdiff_t>(y) * bitmap.RowStride();
    std::fill(row + r.left, row + r.right, colour);
  }
}

}  // namespace

EditField::EditField() = default;

EditField::~EditField() { Close(); }

void EditField::Open(IControl* newControl, Parameter* newParam, const PixelRect& area, int windowWidth,
                     int windowHeight, const char* newText, const BitmapFont* font) {
  Close();
  const int w = std::clamp(area.right - area.left, 8, windowWidth);
  const int h = std::clamp(area.bottom - area.top, 8, windowHeight);
  const int left = std::clamp(area.left, 0, windowWidth - w);
  const int top = std::clamp(area.top, 0, windowHeight - h);
  rect = PixelRect{left, top, left + w, top + h};
  control = newControl;
  param = newParam;
  text.assign(newText ? newText : "");
  readOnly = false;
  password = false;
  state = IGraphics::kEditNone;
  label = CreateTextLabel(font, 0, 0, kAlignLeft);
}

void EditField::Close() {
  if (!control) return;
  control = nullptr;
  param = nullptr;
  text.clear();
  FreeTextLabel(std::move(label));
}

bool EditField::Backspace() {
  if (readOnly || text.empty()) return false;
  text.pop_back();
  return true;
}

bool EditField::Type(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (readOnly || code < 32 || code == 127 || text.size() >= kTextChars) return false;
  text.push_back(c);
  return true;
}

bool EditField::Refresh() {
  if (!param) return false;
  char current[Parameter::kTextSize] = {};
  param->FormatForDisplay(param->Value(), false, current, sizeof current);
  if (text == current) return false;
  text = current;
  return true;
}

void EditField::Draw(LICE_SysBitmap& bitmap) const {
  const PixelRect& r = rect;
  if (r.right > bitmap.PixelWidth() || r.bottom > bitmap.PixelHeight()) return;
  FillRect(bitmap, r, kFieldBorder);
  FillRect(bitmap, PixelRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kFieldPaper);
  if (!label) return;
  const std::string shown = password ? std::string(text.size(), '*') : text;
  // The end of the text, as much as fits, with the caret after it.
  const int room = r.right - r.left - 6;
  const BitmapFont& font = *label->font;
  std::size_t first = shown.size() > label->text.size() - 1 ? shown.size() - (label->text.size() - 1) : 0;
  std::size_t last = shown.size();
  while (first < last) {  // the first start whose tail fits
    const std::size_t middle = first + (last - first) / 2;
    if (MeasureText(shown.c_str() + middle, font) <= room) {
      last = middle;
    } else {
      first = middle + 1;
    }
  }
  const char* tail = shown.c_str() + first;
  std::snprintf(label->text.data(), label->text.size(), "%s", tail);
  label->x = r.left + 2;
  label->y = r.top + std::max(0, (r.bottom - r.top - font.cellHeight) / 2);
  DrawTextLabel(*label, bitmap.Pixels(), kFieldInk, bitmap.RowStride(), r.bottom);
  const int caret = std::min(r.left + 2 + (*tail ? MeasureText(tail, font) : 2), r.right - 3);
  FillRect(bitmap, PixelRect{caret, r.top + 3, caret + 1, r.bottom - 3}, kFieldInk);
}

}  // namespace tarvel
