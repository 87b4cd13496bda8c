#pragma once
// IGraphicsWin: the editor's window on Windows. A child window of the host's
// window ("IPlugWndClass", "IPlug") whose timer (id 2) ticks the graphics
// object, which paints its dirty controls into the draw bitmap; the window
// copies that bitmap to the screen. Mouse and key messages become the
// graphics object's dispatch calls. It also carries the native services: the
// in-window value and text editors, file and colour dialogs, web links,
// module folders and image resources.
//
// Threads: everything here runs on the host's GUI thread, including the
// process-wide window-class count and timer frame rate.

#include <windows.h>

#include <memory>

#include "gui/IGraphics.h"

namespace tarvel {

class IGraphicsWin final : public IGraphics {
 public:

  static constexpr int kTimerId = 2;
  static constexpr int kEditControlId = 99;
  static constexpr const char* kWindowClass = "IPlugWndClass";

  IGraphicsWin(IPlugBase& plug, int width, int height, int frameRate);

  bool PresentRect(const PixelRect& rect) override;
  // Resizes the window and, when they are child windows, its parent and
  // grandparent by the same amount.
  void SetEditorSize(int width, int height) override;
  void OpenTextEditor(IControl* control) override;
  void OpenValueEditor(IControl* control, Parameter* parameter) override;
  void GetHostFolder(std::string& folder) override;
  void GetModuleFolder(std::string& folder) override;
  void ChooseFile(std::string& path, int action, const char* folder) override;
  bool PickColor(ArgbColor& color, const char* prompt) override;
  bool OpenLink(const char* url, const char* title, const char* confirmText, const char* errorText) override;
  // Opens the window in parent (an open one is closed and recreated at its
  // place and size); null on failure.
  void* OpenEditorWindow(void* parent) override;
  // Safe at any time: with no window, twice, or from inside the window's own
  // messages.
  void CloseEditorWindow() override;
  void* GetNativeWindow() override { return window; }
  ~IGraphicsWin() override;
  LICE_IBitmap* LoadImageResource(int id, const char* name) override;

  void SetModuleHandle(HINSTANCE module) { moduleHandle = module; }
  HWND EditWindow() const { return editWindow; }
  TextEditState EditState() const { return editState; }

  // The process's count of open editor windows (the class exists while > 0).
  static int WindowClassUsers();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Tick();
  void AdoptEditWindow(HWND edit, HFONT font, IControl* control, Parameter* parameter);
  void DestroyEditWindow();
  // The window is being destroyed, by us or with its parent.
  void WindowGone();
  void ReleaseWindowClass();

  HINSTANCE moduleHandle = nullptr;
  HWND window = nullptr;
  HWND editWindow = nullptr;
  IControl* editControl = nullptr;
  Parameter* editParam = nullptr;
  WNDPROC editDefaultProc = nullptr;
  TextEditState editState = kEditNone;
  std::unique_ptr<COLORREF[]> customColors;
  HWND parentWindow = nullptr;
  HFONT editFont = nullptr;
  // Whether this object counts in the window-class users: from a successful
  // open to the close that follows, even when the window went with its parent.
  bool holdsWindowClass = false;
};

// The editor's key number for a virtual key, or -1 for keys it ignores.
int KeyCodeForVirtualKey(WPARAM virtualKey);

}  // namespace tarvel
