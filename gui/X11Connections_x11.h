#pragma once
// The X11 window layer's display connections: which are editors', so that
// the process-wide error handler keeps their errors (counted per editor,
// never fatal) and passes every other connection's on. The handler is
// installed with the first open editor and put back with the last. Any
// thread; a lock guards the table.

#include <X11/Xlib.h>

namespace tarvel {

class IGraphicsX11;

class X11Connections {
 public:
  static void Add(Display* display, IGraphicsX11* graphics);
  static void Remove(Display* display);
  static int OnError(Display* display, XErrorEvent* event);
  // The server went away: Xlib would exit the process after its I/O error
  // handler; returning here leaves the connection dead instead.
  static void OnIoExit(Display* display, void* graphics);
};

}  // namespace tarvel
