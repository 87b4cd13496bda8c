#pragma once
// IGraphicsX11: the editor's window on Linux hosts. A child window of the
// host's X11 window on a display connection of its own, opened by
// OpenEditorWindow and closed by CloseEditorWindow. X11 has no window timer:
// the host's idle call ticks it (at most once per 10 ms), and the tick reads
// the connection's pending events, paints the dirty controls into the draw
// bitmap and puts the bitmap's pixels on the window unconverted (its
// blue-green-red-alpha bytes are a 24-bit TrueColor visual's little-endian
// 32-bit ZPixmap), through shared memory where the server offers MIT-SHM and
// through the connection otherwise.
//
// The in-window value and text editors are an edit field drawn over the
// controls with the module's bitmap font (gui/EditField.h, portable); they
// follow the Windows editor's states and apply their result at the next tick. File and colour choosers
// and links answer "nothing chosen".
//
// Threads: everything runs on the host's GUI thread, inside its editor calls;
// the window layer starts no thread. X errors of an editor's connection go to
// the layer's own handler and are never fatal; errors of other connections
// go on to the handler that was installed before.

#include <chrono>
#include <memory>
#include <string>

#include "gui/EditField.h"
#include "gui/IGraphics.h"

struct _XDisplay;
struct _XImage;
struct _XGC;

namespace tarvel {

struct TextLabel;
struct X11SharedImage;

class IGraphicsX11 final : public IGraphics {
 public:

  // Windows' shortest timer period: the fastest tick on both platforms.
  static constexpr std::chrono::milliseconds kMinTickPeriod{10};
  // Two presses of the left button at most this far apart in time (and 2
  // pixels in each direction) make a double-click.
  static constexpr unsigned long kDoubleClickMs = 500;

  IGraphicsX11(IPlugBase& plug, int width, int height, int frameRate, void* module);
  ~IGraphicsX11() override;

  // Puts rect of the draw bitmap (and the edit field over it) on the window;
  // true with no window open, false when an open window cannot be reached.
  bool PresentRect(const PixelRect& rect) override;
  void SetEditorSize(int width, int height) override;
  void OpenTextEditor(IControl* control) override;
  void OpenValueEditor(IControl* control, Parameter* parameter) override;
  // The folder of the host's program / of the plug-in's module, with a
  // trailing slash; empty when unknown.
  void GetHostFolder(std::string& folder) override;
  void GetModuleFolder(std::string& folder) override;
  void ChooseFile(std::string& path, int action, const char* folder) override;
  bool PickColor(ArgbColor& color, const char* prompt) override;
  bool OpenLink(const char* url, const char* title, const char* confirmText, const char* errorText) override;
  // parent is the host's X11 window id. Opens a connection, creates and maps
  // the child window; an open window is closed first. Null on failure (no
  // display, a parent that does not exist, no 24-bit TrueColor visual).
  void* OpenEditorWindow(void* parent) override;
  // Safe at any time, also after the host destroyed the parent window.
  void CloseEditorWindow() override;
  // The X11 window id, or null.
  void* GetNativeWindow() override;
  LICE_IBitmap* LoadImageResource(int id, const char* name) override;

  // Ticks unless the last tick was less than the tick period ago.
  void Idle() override;
  int ConnectionDescriptor() const override;
  // One tick now: pending events, the edit field's state, then the dirty
  // controls painted and presented.
  void Tick();

  TextEditState EditState() const { return edit.state; }
  bool EditFieldOpen() const { return edit.IsOpen(); }
  const std::string& EditText() const { return edit.text; }
  // Whether the window is presented through shared memory.
  bool PresentsShared() const { return sharedImage != nullptr; }
  // The number of X errors the handler caught on this editor's connection.
  int CaughtErrors() const { return caughtErrors; }

 private:
  // The process's editor connections and the error handler (the .cpp).
  friend class X11Connections;

  void HandleEvent(void* event);
  void HandleButtonPress(int x, int y, unsigned int button, unsigned int state, unsigned long time);
  void HandleEditKey(void* keyEvent);
  void OpenEditField(IControl* control, Parameter* parameter, const PixelRect& rect, const char* text);
  void CloseEditField();
  void ReleaseConnection();

  void* moduleHandle;
  _XDisplay* display = nullptr;
  unsigned long window = 0;
  _XGC* gc = nullptr;
  _XImage* image = nullptr;  // wraps the draw bitmap's pixels, never owns them
  // A shared-memory image of the window's size, or null where the server
  // cannot share memory with us (remote displays, no MIT-SHM).
  std::unique_ptr<X11SharedImage> sharedImage;
  unsigned long colormap = 0;  // ours only when the parent's visual did not fit
  bool connectionBroken = false;
  int caughtErrors = 0;
  std::chrono::steady_clock::time_point lastTick{};
  std::chrono::steady_clock::duration tickPeriod;
  PixelRect exposed;  // the window area the server asked to repaint

  // Pointer state for the Windows-like capture and double-click.
  bool captured = false;
  unsigned long lastPressTime = 0;
  int lastPressX = 0;
  int lastPressY = 0;
  bool lastPressCounts = false;

  // The in-window edit field.
  EditField edit;
};

// The editor's key number for an X11 keysym, or -1 for keys it ignores: the
// same numbers as Windows for space, the arrows, digits and letters.
int KeyCodeForKeysym(unsigned long keysym);

}  // namespace tarvel
