#pragma once
// The host's side of an editor window, as tarvel-editor-shot needs it: a
// top-level window to open the editor in, the GUI thread's share of the work
// between audio calls, and the editor's pixels read back. One file per window
// system: ShotWindow_win32.cpp, ShotWindow_x11.cpp.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvel {

class PluginInstance;

class ShotWindow {
 public:
  // A width by height top-level window; null with a one-line reason in error
  // when there is no display.
  static std::unique_ptr<ShotWindow> Create(int width, int height, std::string& error);
  virtual ~ShotWindow() = default;

  // The window as effEditOpen takes it.
  virtual void* Handle() = 0;
  // Whether an editor window is open in it.
  virtual bool HasEditor() = 0;
  // What the host's GUI thread does between audio calls: dispatch the window
  // system's messages (Windows) or idle the editor (X11).
  virtual void Idle(PluginInstance& plug) = 0;
  // The editor window's pixels, 0x00RRGGBB, rows top to bottom; empty when
  // they cannot be read.
  virtual std::vector<std::uint32_t> Capture(int width, int height) = 0;
};

}  // namespace tarvel
