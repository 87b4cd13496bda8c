#include "gui/IControl.h"

#include <cstring>

#include "gui/IGraphics.h"
#include "plugin/IPlugBase.h"

namespace tarvel {

IControl::IControl(IPlugBase& owner, const PixelRect& rect, const BlendSpec& blendSpec)
    : plug(owner), drawRect(rect), targetRect(rect), blend(blendSpec) {}

void IControl::HandleMouseDown(int, int, const MouseMods& mods) {
  if (mods.right) PromptForValue();
}

void IControl::HandleMouseUp(int, int, const MouseMods&) {}

void IControl::HandleMouseDrag(int, int, int, int, const MouseMods&) {}

void IControl::HandleDoubleClick(int, int, const MouseMods&) {
  if (defaultValue >= 0.0) {
    value = defaultValue;
    MarkDirty(true);
  }
}

void IControl::HandleWheel(int, int, const MouseMods& mods, int steps) {
  const double step = (mods.control || mods.shift) ? 0.001 : 0.01;
  value += steps * step;
  MarkDirty(true);
}

void IControl::HandleKey(int, int, int) {}

void IControl::HandleMouseMove(int, int, const MouseMods&) {}

void IControl::HandleMouseLeave() {}

void IControl::ApplyPlugValue(double v) {
  if (defaultValue < 0.0) {
    defaultValue = v;  // the first pushed value becomes the double-click default
  } else if (v == value) {
    return;
  }
  value = v;
  MarkDirty(false);
  redrawRequested = true;
}

void IControl::SetHidden(bool b) {
  hidden = b;
  redrawRequested = true;
  MarkDirty(false);
}

void IControl::SetGreyed(bool b) {
  greyed = b;
  blend.weight = b ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) {
  if (targetRect.IsEmpty()) return false;
  return targetRect.left <= x && x < targetRect.right && targetRect.top <= y && y < targetRect.bottom;
}

void IControl::MarkDirty(bool notify) {
  // Written so that a NaN value also lands on clampLow.
  value = value >= clampLow ? (value < clampHigh ? value : clampHigh) : clampLow;
  dirty = true;
  if (notify && paramIndex >= 0) plug.SetParameterFromGUI(paramIndex, value);
}

void IControl::MarkClean() {
  dirty = redrawRequested;
  redrawRequested = false;
}

bool IControl::NeedsRedraw() {
  return dirty;
}

void IControl::Tick() {}

void IControl::PromptForValue() {
  if (paramIndex < 0 || promptDisabled) return;
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  if (!graphics) return;  // not attached yet: there is no window to edit in
  graphics->OpenValueEditor(this, plug.GetParameter(paramIndex));
  redrawRequested = true;
}

void IControl::ApplyUserValue(double v) {
  if (v == value) return;
  value = v;
  MarkDirty(true);
  redrawRequested = true;
}

ITextControl::ITextControl(IPlugBase& owner, const PixelRect& rect, const TextStyle& textStyle,
                           const char* initialText)
    : IControl(owner, rect), style(textStyle) {
  if (initialText && *initialText) text.Set(initialText);
}

void ITextControl::ApplyUserText(const char* newText) {
  const char* const adopted = newText ? newText : "";
  if (std::strcmp(text.Get(), adopted) == 0) return;
  MarkDirty(false);
  text.Set(adopted);
}

}  // namespace tarvel
