#include "gui/IGraphics.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "gui/BitmapCache.h"
#include "plugin/FatalAssert.h"
#include "text/BitmapFont.h"
#include "plugin/IPlugBase.h"
#include "plugin/Parameter.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/LICE_SysBitmap.h"

namespace tarvel {

namespace {

// A decimal number as the in-window editor's text holds it; 0 when unreadable.
// Independent of the process locale, which the host may have changed.
double ReadDecimal(const char* text) {
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') ++text;
  if (*text == '+') ++text;
  const char* end = text;
  while (*end) ++end;
  double v = 0.0;
  if (std::from_chars(text, end, v).ec != std::errc{}) return 0.0;
  return v;
}

}  // namespace

bool UpdateMeets(const PixelRect& a, const PixelRect& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  return a.right >= b.left && a.left < b.right && a.bottom >= b.top && a.top < b.bottom;
}

ListSize ValueListSize(const Parameter& parameter) {
  const int count = parameter.DisplayTextCount();
  int width = 24;
  for (int i = 0; i < count; ++i) {
    const char* item = parameter.DisplayTextFor(i);
    const auto length = static_cast<int>(item ? std::strlen(item) : 0);  // at most 31
    width = std::max(width, 8 * (length + 1) + 16);
  }
  return ListSize{width, 36 * (count + 1)};
}

ValueEditorStart StartValueEditor(const IControl& control, const Parameter& parameter) {
  const PixelRect& r = control.DrawRect();
  ValueEditorStart start{};
  start.centreX = static_cast<int>(static_cast<float>(r.left + r.right) * 0.5f);
  start.centreY = static_cast<int>(static_cast<float>(r.top + r.bottom) * 0.5f);
  start.listed = parameter.DisplayTextCount() > 0 &&
                 (parameter.Type() == Parameter::kTypeSwitch || parameter.Type() == Parameter::kTypeChoice);
  parameter.FormatForDisplay(parameter.Value(), false, start.text, sizeof start.text);
  return start;
}

IGraphics::IGraphics(IPlugBase& owner, int w, int h, int fps)
    : plug(owner),
      pushed(std::make_unique<PushedValue[]>(static_cast<std::size_t>(owner.ParameterCount()))),
      pushedCount(owner.ParameterCount()),
      width(w),
      height(h),
      frameRate(fps > 0 ? fps : 24) {}

IGraphics::~IGraphics() {
  controls.Clear();
  drawBitmap.reset();
  scratchBitmap.reset();
}

void IGraphics::ResetMouse() {
  mouseX = mouseY = -1;
  captureIndex = -1;
}

void IGraphics::SetEditorSize(int w, int h) {
  width = w;
  height = h;
  ResetMouse();
  // The hovered control is about to go; a leave must not reach its successor.
  hoverIndex = -1;
  // Keep the draw bitmap the size of the editor for every window layer.
  if (drawBitmap) drawBitmap->SetSize(w, h);
  controls.Clear();
  plug.EditorResized(w, h);
}

int IGraphics::AddControl(std::unique_ptr<IControl> control) {
  if (!control || !controls.Append(std::move(control))) return -1;
  return controls.Count() - 1;
}

void IGraphics::PushParameterToControls(int index, double value, bool isNormalized) {
  if (index < 0 || index >= pushedCount) return;
  if (!isNormalized) {
    const Parameter* parameter = plug.GetParameter(index);
    if (!parameter) return;
    value = parameter->NormalizeValue(value);
  }
  // Value before flag: a reader that sees the flag sees this value or a newer one.
  pushed[index].value.store(value, std::memory_order_relaxed);
  pushed[index].pending.store(true, std::memory_order_release);
}

void IGraphics::ApplyPushedValues() {
  for (int index = 0; index < pushedCount; ++index) {
    if (!pushed[index].pending.exchange(false, std::memory_order_acquire)) continue;
    const double value = pushed[index].value.load(std::memory_order_relaxed);
    for (int i = 0; i < controls.Count(); ++i) {
      IControl* control = controls.Get(i);
      if (control->ParamIndex() == index) control->ApplyPlugValue(value);
    }
  }
}

void IGraphics::CreateDrawBitmaps() {
  drawBitmap = std::make_unique<LICE_SysBitmap>(width, height);
  scratchBitmap = std::make_unique<LICE_MemBitmap>(0, 0, 4);
}

BitmapRef IGraphics::LoadBitmapResource(int id, const char* name, int frames) {
  BitmapCache& cache = BitmapCache::Instance();
  LICE_IBitmap* bitmap = cache.Find(id);
  if (!bitmap) {
    // Decoded outside the cache lock: decoding is slow and the lock is shared.
    std::unique_ptr<LICE_IBitmap> decoded(LoadImageResource(id, name));
    if (!decoded) FatalAssert("imgResourceFound", "IGraphics", __LINE__);
    bitmap = cache.Add(id, std::move(decoded));
    if (!bitmap) FatalAssert("imgResourceFound", "IGraphics", __LINE__);
  }
  return BitmapRef{bitmap, bitmap->PixelWidth(), bitmap->PixelHeight(), frames};
}

const BitmapFont* IGraphics::TextFont() {
  static const std::unique_ptr<BitmapFont> font = [this] {
    const BitmapRef limits = LoadBitmapResource(101, "img/font/font12_limits.png", 1);
    const BitmapRef glyphs = LoadBitmapResource(100, "img/font/font12.png", 1);
    return BuildBitmapFont(ImageView{glyphs.width, glyphs.height, glyphs.bitmap->Pixels()},
                           ImageView{limits.width, limits.height, limits.bitmap->Pixels()}, -5);
  }();
  return font.get();
}

void IGraphics::MarkAllDirty() {
  for (int i = 0; i < controls.Count(); ++i) controls.Get(i)->MarkDirty(false);
}

bool IGraphics::CollectDirtyRect(PixelRect& rect) {
  ApplyPushedValues();
  bool any = false;
  for (int i = 0; i < controls.Count(); ++i) {
    IControl* control = controls.Get(i);
    if (!control->NeedsRedraw()) continue;
    any = true;
    const PixelRect& r = control->DrawRect();
    if (rect.IsEmpty()) {
      rect = r;
    } else if (!r.IsEmpty()) {
      rect = PixelRect{std::min(rect.left, r.left), std::min(rect.top, r.top), std::max(rect.right, r.right),
                       std::max(rect.bottom, r.bottom)};
    }
  }
  return any;
}

bool IGraphics::RenderRect(const PixelRect& rect) {
  if (controls.Count() == 0) return true;
  drawRect = rect;
  // Controls are painted whole, over each other in list order; only rect
  // reaches the screen.
  for (int i = 0; i < controls.Count(); ++i) {
    IControl* control = controls.Get(i);
    if (!control->IsHidden() && UpdateMeets(rect, control->DrawRect())) control->Render(*this);
    control->MarkClean();
  }
  return PresentRect(rect);
}

int IGraphics::ControlAt(int x, int y) {
  if (captureIndex >= 0) return captureIndex;  // a pressed control keeps the pointer
  for (int i = controls.Count() - 1; i >= 0; --i) {
    IControl* control = controls.Get(i);
    if (!control->IsHidden() && !control->IsGreyed() && control->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::DispatchMouseDown(int x, int y, const MouseMods& mods) {
  ResetMouse();
  const int i = ControlAt(x, y);
  IControl* control = controls.Get(i);
  if (!control) return;
  captureIndex = i;
  mouseX = x;
  mouseY = y;
  rightButtonDown = mods.right;
  const int param = control->ParamIndex();
  control->HandleMouseDown(x, y, mods);
  // A handler that resized the editor has dropped the capture and destroyed the
  // control: no gesture then, as no release would end it.
  if (param >= 0 && captureIndex == i) plug.BeginParameterGesture(param);
}

void IGraphics::DispatchMouseUp(int x, int y, const MouseMods& mods) {
  const int i = ControlAt(x, y);
  ResetMouse();
  rightButtonDown = false;
  IControl* control = controls.Get(i);
  if (!control) return;
  const int param = control->ParamIndex();
  control->HandleMouseUp(x, y, mods);
  if (param >= 0) plug.EndParameterGesture(param);
}

bool IGraphics::DispatchMouseMove(int x, int y, const MouseMods& mods) {
  if (!trackHover) return false;
  const int i = ControlAt(x, y);
  if (IControl* control = controls.Get(i)) {
    mouseX = x;
    mouseY = y;
    control->HandleMouseMove(x, y, mods);
    if (hoverIndex >= 0 && hoverIndex != i) {
      if (IControl* left = controls.Get(hoverIndex)) left->HandleMouseLeave();
    }
    hoverIndex = i;
  }
  return trackHover;
}

void IGraphics::DispatchMouseDrag(int x, int y, const MouseMods& mods) {
  IControl* control = controls.Get(captureIndex);
  if (!control) return;
  const int dx = x - mouseX;
  const int dy = y - mouseY;
  if (dx == 0 && dy == 0) return;
  mouseX = x;
  mouseY = y;
  control->HandleMouseDrag(x, y, dx, dy, mods);
}

bool IGraphics::DispatchDoubleClick(int x, int y, const MouseMods& mods) {
  ResetMouse();
  const int i = ControlAt(x, y);
  IControl* control = controls.Get(i);
  if (!control) return false;
  if (control->DoubleClickAsPress()) {
    captureIndex = i;
    mouseX = x;
    mouseY = y;
    control->HandleMouseDown(x, y, mods);
    return true;
  }
  control->HandleDoubleClick(x, y, mods);
  return false;
}

void IGraphics::DispatchWheel(int x, int y, const MouseMods& mods, int steps) {
  if (IControl* control = controls.Get(ControlAt(x, y))) control->HandleWheel(x, y, mods, steps);
}

void IGraphics::DispatchKey(int x, int y, int key) {
  if (IControl* control = controls.Get(ControlAt(x, y))) control->HandleKey(x, y, key);
}

void IGraphics::DispatchMouseLeave() {
  for (int i = 0; i < controls.Count(); ++i) controls.Get(i)->HandleMouseLeave();
  hoverIndex = -1;
}

void IGraphics::ApplyEditorText(IControl* control, Parameter* parameter, const char* text) {
  if (!control) return;
  if (!text) text = "";
  if (parameter) {
    double v = 0.0;
    int listed = 0;
    if (parameter->DisplayTextCount() != 0 && parameter->ValueForDisplayText(text, listed)) {
      v = listed;
    } else {
      v = ReadDecimal(text);
      if (parameter->NegateDisplay()) v = -v;
    }
    control->ApplyUserValue(parameter->NormalizeValue(v));
  } else if (auto* textControl = dynamic_cast<ITextControl*>(control); textControl && textControl->Editable()) {
    textControl->ApplyUserText(text);
  }
}

}  // namespace tarvel
