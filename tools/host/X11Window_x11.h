#pragma once
// A top-level X11 window made the way a Linux host makes one for a plug-in's
// editor, on a display connection of its own ($DISPLAY), with what tests and
// tools need from outside the plug-in: the plug-in's child window, its pixels
// read back from the server, and pointer and key events sent to it.
//
// Threads: one thread at a time per window.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace tarvel {

class X11HostWindow {
 public:
  // Maps a width by height top-level window and waits until it is shown.
  // Null, with a one-line reason in error, when there is no display.
  static std::unique_ptr<X11HostWindow> Create(int width, int height, std::string& error);
  ~X11HostWindow();
  X11HostWindow(const X11HostWindow&) = delete;
  X11HostWindow& operator=(const X11HostWindow&) = delete;

  // The window as effEditOpen takes it.
  void* Handle() const;
  // The children of the window, bottom to top.
  std::vector<unsigned long> Children() const;
  // The pixels of window (red, green, blue in bits 16-23, 8-15, 0-7; the top
  // byte zero), width by height from its corner, row after row. Empty when
  // the server cannot read them.
  std::vector<std::uint32_t> ReadPixels(unsigned long window, int width, int height) const;
  // A press or release of button (1 left, 3 right, 4 and 5 the wheel) at
  // (x, y) of window, with the buttons in held (X11 state bits) held
  // before it; time in milliseconds.
  void SendButton(unsigned long window, int x, int y, unsigned button, bool press, unsigned held = 0,
                  unsigned long time = 0) const;
  // A pointer move to (x, y) with the buttons in held.
  void SendMotion(unsigned long window, int x, int y, unsigned held = 0) const;
  void SendLeave(unsigned long window) const;
  // A key press of keysym at (1, 1) of window.
  void SendKey(unsigned long window, unsigned long keysym) const;
  // Puts the window over every other.
  void Raise() const;
  // Destroys the window now, with every child window in it.
  void Destroy();

 private:
  X11HostWindow(_XDisplay* display, unsigned long window) : display(display), window(window) {}

  _XDisplay* display;
  unsigned long window;
};

// X11 state bits of held buttons.
inline constexpr unsigned kHeldLeft = 1u << 8;
inline constexpr unsigned kHeldRight = 1u << 10;

}  // namespace tarvel
