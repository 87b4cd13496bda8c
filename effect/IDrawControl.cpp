#include "effect/IDrawControl.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

#include "effect/PicturePaint.h"
#include "gui/EditorWindow.h"
#include "gui/IGraphics.h"
#include "plugin/IPlugBase.h"
#include "plugin/ModuleHandle.h"
#include "raster/LICE_SysBitmap.h"
#include "text/TextLabel.h"

namespace tarvel {

namespace {

constexpr PixelRect kEditorRect{0, 0, kEditorSize, kEditorSize};
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

// The text line's letter: a generator per thread, started at 1 and never seeded.
int NextRandom() {
  thread_local std::uint32_t state = 1;
  state = state * 214013u + 2531011u;
  return static_cast<int>(state >> 16 & 0x7FFF);
}

// Sums are taken modulo 2^32 (only their low bytes count): a summary value
// near the ends of the 32-bit range must wrap, not overflow.
std::uint32_t Wrap(std::int32_t v) { return static_cast<std::uint32_t>(v); }

std::uint32_t Bytes(std::uint32_t blue, std::uint32_t green, std::uint32_t red) {
  return (blue & 0xFF) | (green & 0xFF) << 8 | (red & 0xFF) << 16;
}

}  // namespace

IDrawControl::IDrawControl(IPlugBase& owner, InstanceSlot& instanceSlot)
    : IControl(owner, kEditorRect), slot(&instanceSlot) {}

void IDrawControl::HandleMouseDown(int x, int y, const MouseMods&) {
  slot->frame.store(static_cast<std::uint16_t>(x + y), std::memory_order_relaxed);
}

void IDrawControl::HandleMouseDrag(int x, int y, int, int, const MouseMods&) {
  slot->frame.store(static_cast<std::uint16_t>(x + y), std::memory_order_relaxed);
}

bool IDrawControl::Render(IGraphics&) {
  const int f = static_cast<std::uint16_t>(slot->frame.load(std::memory_order_relaxed) + 1);
  slot->frame.store(static_cast<std::uint16_t>(f), std::memory_order_relaxed);
  std::uint32_t* const pixels = slot->pixels.load(std::memory_order_relaxed);
  if (!pixels) return true;

  // Rows and columns beyond the summary repeat its last value (0 without one).
  std::array<std::int32_t, kEditorSize> values;
  const std::int32_t m = slot->CopyDisplayValues(values);
  std::fill(values.begin() + m, values.end(), m > 0 ? values[m - 1] : 0);

  // Every byte of the picture is a sum mod 256, so a pixel is the byte-wise sum
  // of a per-column word and a per-row word. Only the halving couples row and
  // column: with c = j + f, (c + k) / 2 = c / 2 + (c % 2 + k) / 2, so two
  // column tables (c even, c odd) cover every row.
  for (int parity = 0; parity < 2; ++parity) {
    for (int k = 0; k < kEditorSize; ++k)
      columnTerms[parity][k] = Bytes(Wrap(k + f), 0, Wrap((parity + k) / 2) + Wrap(values[k]));
  }
  static_assert(kEditorSize % 16 == 0);
  const PaintRowFunction paintRow = PaintRow();
  for (int j = 0; j < kEditorSize; ++j) {
    const std::uint32_t rowValue = Wrap(values[j]);
    const int c = j + f;
    paintRow(pixels + static_cast<std::ptrdiff_t>(j) * kEditorSize, columnTerms[c & 1].data(),
             Bytes(rowValue, Wrap(c) + rowValue, Wrap(c / 2) + rowValue), kEditorSize);
  }

  if (TextLabel* label = slot->label.load(std::memory_order_relaxed)) {
    const char letter = static_cast<char>('A' + NextRandom() % 26);
    std::snprintf(label->text.data(), label->text.size(), "%c bin: %d", letter, values[kEditorSize - 1]);
    DrawTextLabel(*label, pixels, kWhite, kEditorSize, kEditorSize);
  }
  return true;
}

void BuildEditor(IPlugBase& plug, InstanceSlot& slot, std::int32_t slotIndex) {
  std::unique_ptr<IGraphics> graphics =
      MakeEditorGraphics(plug, kEditorSize, kEditorSize, kEditorFrameRate, ModuleHandle());
  graphics->SetTrackHover(true);
  graphics->AddControl(std::make_unique<IDrawControl>(plug, slot));
  IGraphics& editor = *graphics;
  plug.AttachEditor(std::move(graphics));
  if (LICE_SysBitmap* bitmap = editor.DrawBitmap()) slot.pixels.store(bitmap->Pixels(), std::memory_order_relaxed);

  std::unique_ptr<TextLabel> label = CreateTextLabel(editor.TextFont(), 6, kEditorSize - 12, kAlignLeft);
  std::snprintf(label->text.data(), label->text.size(), "Instance #%d", static_cast<int>(slotIndex));
  slot.label.store(label.release(), std::memory_order_relaxed);
}

void ReleaseEditorRecord(InstanceSlot& slot) {
  FreeTextLabel(std::unique_ptr<TextLabel>(slot.label.exchange(nullptr, std::memory_order_relaxed)));
}

}  // namespace tarvel
