#pragma once
// IControl: a rectangle of the editor window that paints itself into the draw
// bitmap, may be bound to one plug-in parameter, and handles the mouse and key
// events that IGraphics routes to it.
//
// Threads: everything here runs on the host's GUI thread, except ApplyPlugValue,
// which IGraphics::PushParameterToControls also calls from the host's parameter
// callback (any thread, under the plug-in's instance lock). Nothing here locks;
// MarkDirty with notify reaches the plug-in through SetParameterFromGUI, which
// takes the instance lock inside.
//
// The dirty protocol: any change of value, visibility or greying marks the
// control dirty; each editor tick repaints the dirty controls and then marks
// every control clean. redrawRequested keeps a control dirty for exactly one
// more pass (value pushes, hiding and prompts paint on two consecutive ticks).

#include "gui/GuiTypes.h"
#include "plugin/GrowBuffer.h"

namespace tarvel {

class IGraphics;
class IPlugBase;

class IControl {
 public:
  // The rectangle is both the painted area and the area that takes the mouse.
  IControl(IPlugBase& plug, const PixelRect& rect, const BlendSpec& blend = {});
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual ~IControl() = default;
  // A press with the right button opens the value editor (PromptForValue).
  virtual void HandleMouseDown(int x, int y, const MouseMods& mods);
  virtual void HandleMouseUp(int x, int y, const MouseMods& mods);
  virtual void HandleMouseDrag(int x, int y, int dx, int dy, const MouseMods& mods);
  // Restores the default value once the plug-in has pushed one.
  virtual void HandleDoubleClick(int x, int y, const MouseMods& mods);
  // Moves the value by 0.01 per notch (0.001 with shift or control), clamped.
  virtual void HandleWheel(int x, int y, const MouseMods& mods, int steps);
  virtual void HandleKey(int x, int y, int key);
  // A move with no button held, over this control (only while hover tracking is on).
  virtual void HandleMouseMove(int x, int y, const MouseMods& mods);
  virtual void HandleMouseLeave();
  // Paints the control into the graphics object's draw bitmap; the draw pass
  // ignores the result. Must not allocate: it runs at every editor tick.
  virtual bool Render(IGraphics& graphics) = 0;
  // A value pushed from the plug-in: shown, clamped, never echoed back.
  virtual void ApplyPlugValue(double v);
  virtual void SetHidden(bool b);
  virtual void SetGreyed(bool b);
  virtual bool HitTest(int x, int y);
  // Clamps the value, marks the control dirty and, with notify, sends a bound
  // control's value to the plug-in.
  virtual void MarkDirty(bool notify);
  virtual void MarkClean();
  virtual bool NeedsRedraw();
  // No part of the framework calls it.
  virtual void Tick();

  // Opens the graphics object's value editor for the bound parameter.
  void PromptForValue();
  // The value editor's result; sent to the plug-in when it differs.
  void ApplyUserValue(double v);

  const PixelRect& DrawRect() const { return drawRect; }
  const PixelRect& TargetRect() const { return targetRect; }
  int ParamIndex() const { return paramIndex; }
  void SetParamIndex(int index) { paramIndex = index; }
  double Value() const { return value; }
  double DefaultValue() const { return defaultValue; }
  void SetClamp(double low, double high) {
    clampLow = low;
    clampHigh = high;
  }
  bool IsHidden() const { return hidden; }
  bool IsGreyed() const { return greyed; }
  bool PromptDisabled() const { return promptDisabled; }
  void SetPromptDisabled(bool b) { promptDisabled = b; }
  bool DoubleClickAsPress() const { return doubleClickAsPress; }
  void SetDoubleClickAsPress(bool b) { doubleClickAsPress = b; }
  const BlendSpec& Blend() const { return blend; }
  IPlugBase& Plug() const { return plug; }

 protected:
  IPlugBase& plug;
  PixelRect drawRect;
  PixelRect targetRect;
  int paramIndex = -1;
  double value = 0.0;
  double defaultValue = -1.0;  // negative: not yet known
  double clampLow = 0.0;
  double clampHigh = 1.0;
  bool dirty = true;
  bool hidden = false;
  bool greyed = false;
  bool redrawRequested = false;
  bool promptDisabled = false;
  bool doubleClickAsPress = false;
  BlendSpec blend;
};

// Shows an editable line of text instead of a parameter value.
struct TextStyle {
  enum Style : int { kNormal = 0, kBold = 1, kItalic = 2 };
  enum Align : int { kLeft = 0, kCentre = 1, kRight = 2 };

  char face[32] = "";  // at most 31 characters
  int size = 0;        // pixels
  ArgbColor color;
  int style = kNormal;
  int align = kLeft;
};

class ITextControl : public IControl {
 public:
  ITextControl(IPlugBase& plug, const PixelRect& rect, const TextStyle& style, const char* text = "");

  // The in-window text editor's result: adopted (and the control marked dirty,
  // without notifying the plug-in) when it differs from the shown text.
  void ApplyUserText(const char* newText);

  const TextStyle& Style() const { return style; }
  const char* Text() const { return text.Get(); }
  bool Editable() const { return editable; }
  void SetEditable(bool b) { editable = b; }
  bool Password() const { return password; }
  void SetPassword(bool b) { password = b; }

 protected:
  TextStyle style;
  TextString text;
  bool editable = true;
  bool password = false;
};

}  // namespace tarvel
