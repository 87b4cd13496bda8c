// The editor's header first: Xlib's macros (None, Bool, Status...) must not
// meet the headers it includes.
#include "gui/IGraphicsX11_x11.h"

#include <mutex>
#include <vector>

#include "gui/X11Connections_x11.h"

namespace tarvel {

namespace {

struct Entry {
  Display* display;
  IGraphicsX11* graphics;
};

std::mutex mutex;
std::vector<Entry> entries;
XErrorHandler previous = nullptr;

}  // namespace

void X11Connections::Add(Display* display, IGraphicsX11* graphics) {
  std::lock_guard lock(mutex);
  if (entries.empty()) previous = XSetErrorHandler(&OnError);
  entries.push_back({display, graphics});
}

void X11Connections::Remove(Display* display) {
  std::lock_guard lock(mutex);
  std::erase_if(entries, [display](const Entry& e) { return e.display == display; });
  if (!entries.empty()) return;
  // Someone may have installed a handler over ours meanwhile: keep theirs
  // (it may chain to ours, which keeps passing errors on to `previous`).
  XErrorHandler current = XSetErrorHandler(previous);
  if (current != &OnError) XSetErrorHandler(current);
}

int X11Connections::OnError(Display* display, XErrorEvent* event) {
  XErrorHandler chained = nullptr;
  {
    std::lock_guard lock(mutex);
    for (const Entry& e : entries) {
      if (e.display == display) {
        ++e.graphics->caughtErrors;
        return 0;
      }
    }
    chained = previous;
  }
  return chained ? chained(display, event) : 0;
}

void X11Connections::OnIoExit(Display*, void* graphics) {
  static_cast<IGraphicsX11*>(graphics)->connectionBroken = true;
}

}  // namespace tarvel
