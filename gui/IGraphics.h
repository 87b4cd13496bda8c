#pragma once
// IGraphics: the platform-independent half of the editor. It owns the controls
// and the draw bitmap they paint into, decides what to paint for an update
// rectangle, routes mouse and key events to the control under the pointer,
// carries parameter values from the plug-in to the bound controls, and loads
// bitmap resources through the process-wide BitmapCache.
//
// Everything that needs the operating system (the window, putting pixels on
// the screen, native editors and dialogs, resource decoding) is a virtual
// operation that a window class implements.
//
// Threads: window messages and the host's editor calls arrive on the host's
// GUI thread. PushParameterToControls also comes from the host's parameter
// callback, on any thread, with the plug-in's instance lock held, while the
// GUI thread may be painting or resizing (which destroys controls). So it
// never touches a control: it leaves the value in a per-parameter mailbox
// that the GUI thread empties into the controls at its next tick
// (CollectDirtyRect). IGraphics takes no lock of its own (the BitmapCache has
// one), and the GUI thread never waits for the audio thread's lock.

#include <atomic>
#include <memory>
#include <string>

#include "gui/GuiTypes.h"
#include "gui/IControl.h"
#include "plugin/GrowBuffer.h"
#include "plugin/IEditor.h"
#include "plugin/Parameter.h"

namespace tarvel {

struct BitmapFont;

class IPlugBase;
class LICE_IBitmap;
class LICE_MemBitmap;
class LICE_SysBitmap;

// A bitmap resource: the bitmap belongs to the BitmapCache, never to the caller.
struct BitmapRef {
  LICE_IBitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int frames = 1;
};

class IGraphics : public IEditor {
 public:
  // The in-window value or text editor of a window layer: none; editing (it
  // has the keyboard focus, and the window passes nothing to the controls but
  // a right-click, which cancels); refresh (show the parameter's current
  // value); cancel and commit, carried out at the next tick.
  enum TextEditState : int { kEditNone = 0, kEditEditing = 1, kEditRefresh = 2, kEditCancel = 3, kEditCommit = 4 };

  // A frame rate of 0 or less becomes 24.
  IGraphics(IPlugBase& plug, int width, int height, int frameRate);

  // --- Window layer operations ---------------------------------------------
  // All of them run on the host's GUI thread, outside the instance lock, and
  // may allocate.

  // Copies rect of the draw bitmap to the screen, inside a paint.
  virtual bool PresentRect(const PixelRect& rect) = 0;
  // Stores the size, resizes the draw bitmap, destroys every control and tells
  // the plug-in (EditorResized), which must add its controls again.
  virtual void SetEditorSize(int width, int height);
  virtual bool HasWindow() { return GetNativeWindow() != nullptr; }
  // Edits a text control's text in place; the result comes back through
  // ApplyEditorText.
  virtual void OpenTextEditor(IControl* control) = 0;
  // Edits a parameter value in place (the right-click prompt); the result
  // comes back through ApplyEditorText.
  virtual void OpenValueEditor(IControl* control, Parameter* parameter) = 0;
  virtual void GetHostFolder(std::string& folder) = 0;
  virtual void GetModuleFolder(std::string& folder) = 0;
  // action 1 saves, anything else opens; path is empty unless the user confirms.
  virtual void ChooseFile(std::string& path, int action, const char* folder) = 0;
  virtual bool PickColor(ArgbColor& color, const char* prompt) = 0;
  virtual bool OpenLink(const char* url, const char* title, const char* confirmText,
                        const char* errorText) = 0;
  // Reserved; always 0.
  virtual int ReservedQuery() { return 0; }
  void* OpenEditorWindow(void* parent) override = 0;
  void CloseEditorWindow() override = 0;
  virtual void* GetNativeWindow() = 0;
  // Destroys the controls (last to first), then the bitmaps. Bitmaps of the
  // BitmapCache are not touched.
  ~IGraphics() override;
  // Decodes the image resource id into a new bitmap (the decoder chosen by the
  // name's extension), or null. Called without the cache lock.
  virtual LICE_IBitmap* LoadImageResource(int id, const char* name) = 0;

  // --- Called by the plug-in and the effect --------------------------------
  // Takes ownership; returns the control's index, or -1 when the list could
  // not grow (the control is then destroyed).
  int AddControl(std::unique_ptr<IControl> control);
  // Any thread, under the instance lock; never allocates, never touches a
  // control. The value reaches the bound controls at the next tick.
  void PushParameterToControls(int index, double value, bool isNormalized) override;
  // GUI thread: hands the values pushed since the last call to the bound controls.
  void ApplyPushedValues();
  // The draw bitmap (width by height) and an empty scratch bitmap.
  void CreateDrawBitmaps() override;
  // The bitmap of resource id, decoded once per process and shared by every
  // caller; a resource that cannot be decoded stops the program.
  BitmapRef LoadBitmapResource(int id, const char* name, int frames);
  // The module's bitmap font (resources 100 and 101), built with the first
  // call in the process and kept until the module is unloaded: the editor's
  // text line and the X11 edit field draw with it.
  const BitmapFont* TextFont();
  void MarkAllDirty();

  // --- Called by the window layer (GUI thread) -----------------------------
  // The start of every tick: applies the pushed values, then unites into rect
  // (which comes in empty) the draw rectangles of the controls that need
  // painting; true when there was at least one.
  bool CollectDirtyRect(PixelRect& rect);
  // The draw pass: paints the visible controls that meet rect, marks every
  // control clean, then presents rect. True without presenting when there
  // are no controls.
  bool RenderRect(const PixelRect& rect);
  void DispatchMouseDown(int x, int y, const MouseMods& mods);
  void DispatchMouseUp(int x, int y, const MouseMods& mods);
  // Returns whether hover tracking is on (the window then asks for a leave message).
  bool DispatchMouseMove(int x, int y, const MouseMods& mods);
  void DispatchMouseDrag(int x, int y, const MouseMods& mods);
  // Returns true when the window must capture the mouse.
  bool DispatchDoubleClick(int x, int y, const MouseMods& mods);
  void DispatchWheel(int x, int y, const MouseMods& mods, int steps);
  void DispatchKey(int x, int y, int key);
  void DispatchMouseLeave();
  // The text of a closed in-window editor: a parameter value (display text or
  // a decimal number) for parameter editors, the new text for text controls.
  void ApplyEditorText(IControl* control, Parameter* parameter, const char* text);

  // --- State ----------------------------------------------------------------
  int Width() const override { return width; }
  int Height() const override { return height; }
  int FrameRate() const { return frameRate; }
  int ControlCount() const { return controls.Count(); }
  IControl* GetControl(int index) const { return controls.Get(index); }
  IPlugBase& Plug() const { return plug; }
  // The rectangle being painted; controls may read it in Render.
  const PixelRect& CurrentDrawRect() const { return drawRect; }
  // Null until CreateDrawBitmaps.
  LICE_SysBitmap* DrawBitmap() const { return drawBitmap.get(); }
  bool TrackHover() const { return trackHover; }
  void SetTrackHover(bool on) { trackHover = on; }
  int CaptureIndex() const { return captureIndex; }
  int HoverIndex() const { return hoverIndex; }
  bool RightButtonDown() const { return rightButtonDown; }

 private:
  int ControlAt(int x, int y);
  void ResetMouse();

  // One per parameter; the newest value wins.
  struct PushedValue {
    std::atomic<double> value{0.0};
    std::atomic<bool> pending{false};
  };

  PtrList<IControl> controls;  // painting order: index 0 is the background
  IPlugBase& plug;
  std::unique_ptr<PushedValue[]> pushed;
  int pushedCount;
  PixelRect drawRect;
  std::unique_ptr<LICE_SysBitmap> drawBitmap;
  std::unique_ptr<LICE_MemBitmap> scratchBitmap;
  int width;
  int height;
  int frameRate;
  int captureIndex = -1;
  int hoverIndex = -1;
  int mouseX = 0;
  int mouseY = 0;
  bool trackHover = false;
  bool rightButtonDown = false;
};

// The in-window drop-down list of a parameter's display texts: wide enough for
// the longest item (8 pixels a character, at least 24), and as high as its
// items plus one with the list dropped (36 pixels each).
struct ListSize {
  int width;
  int height;
};
ListSize ValueListSize(const Parameter& parameter);

// How a window layer's value editor opens for control: centred on its draw
// rectangle, showing the parameter's display text, and as a choice among the
// display texts for a switch or choice parameter that has them.
struct ValueEditorStart {
  int centreX;
  int centreY;
  bool listed;
  char text[Parameter::kTextSize];
};
ValueEditorStart StartValueEditor(const IControl& control, const Parameter& parameter);

// Whether update rectangle a meets a control's rectangle b. Not symmetric: the
// update rectangle's right and bottom edges count as inside.
bool UpdateMeets(const PixelRect& a, const PixelRect& b);

}  // namespace tarvel
