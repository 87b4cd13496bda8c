#pragma once
// A host's editor window on Windows, as a DAW makes one: a top-level window
// whose handle goes to effEditOpen, the message pump of the GUI thread, and a
// copy of what a window shows, read back through its device context.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tarvel {

class HostWindow {
 public:
  HostWindow(int clientWidth, int clientHeight);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return window_; }
  // The plug-in's editor window in it (a child of class "IPlugWndClass"), or null.
  HWND EditorWindow() const;
  // Destroys the window now, before the plug-in closes its editor.
  void Destroy();

  // Dispatches the messages waiting for this thread.
  static void Pump();
  // What window shows in its client area, width by height pixels, rows top
  // to bottom, each 0x00RRGGBB; empty when the window cannot be read.
  static std::vector<std::uint32_t> Capture(HWND window, int width, int height);

 private:
  HWND window_ = nullptr;
};

}  // namespace tarvel
