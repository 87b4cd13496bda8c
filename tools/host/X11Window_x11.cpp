#include "tools/host/X11Window_x11.h"

#include <cerrno>
#include <cstring>

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>

namespace tarvel {

namespace {

// Events reach the plug-in's own connection as the server's would, minus
// the root coordinates, which it does not read.
void Send(Display* display, Window target, XEvent& event, long mask) {
  XSendEvent(display, target, False, mask, &event);
  XSync(display, False);
}

}  // namespace

std::unique_ptr<X11HostWindow> X11HostWindow::Create(int width, int height, std::string& error) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    error = std::string("cannot open the X display (is DISPLAY set?): ") + std::strerror(errno);
    return nullptr;
  }
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                            BlackPixel(display, screen));
  XStoreName(display, window, "Tarvel host");
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (XEvent event; XNextEvent(display, &event) == 0;) {
    if (event.type == MapNotify && event.xmap.window == window) break;
  }
  return std::unique_ptr<X11HostWindow>(new X11HostWindow(display, window));
}

X11HostWindow::~X11HostWindow() {
  Destroy();
  XCloseDisplay(display);
}

void* X11HostWindow::Handle() const { return reinterpret_cast<void*>(window); }

std::vector<unsigned long> X11HostWindow::Children() const {
  std::vector<unsigned long> children;
  Window root = 0;
  Window parent = 0;
  Window* list = nullptr;
  unsigned count = 0;
  if (window && XQueryTree(display, window, &root, &parent, &list, &count)) children.assign(list, list + count);
  if (list) XFree(list);
  return children;
}

std::vector<std::uint32_t> X11HostWindow::ReadPixels(unsigned long target, int width, int height) const {
  XImage* image = XGetImage(display, target, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
  if (!image) return {};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
  XDestroyImage(image);
  return pixels;
}

void X11HostWindow::SendButton(unsigned long target, int x, int y, unsigned button, bool press, unsigned held,
                               unsigned long time) const {
  XEvent event{};
  XButtonEvent& e = event.xbutton;
  e.type = press ? ButtonPress : ButtonRelease;
  e.display = display;
  e.window = target;
  e.root = DefaultRootWindow(display);
  e.time = time;
  e.x = x;
  e.y = y;
  e.state = held;
  e.button = button;
  e.same_screen = True;
  Send(display, target, event, press ? ButtonPressMask : ButtonReleaseMask);
}

void X11HostWindow::SendMotion(unsigned long target, int x, int y, unsigned held) const {
  XEvent event{};
  XMotionEvent& e = event.xmotion;
  e.type = MotionNotify;
  e.display = display;
  e.window = target;
  e.root = DefaultRootWindow(display);
  e.x = x;
  e.y = y;
  e.state = held;
  e.same_screen = True;
  Send(display, target, event, PointerMotionMask);
}

void X11HostWindow::SendLeave(unsigned long target) const {
  XEvent event{};
  XCrossingEvent& e = event.xcrossing;
  e.type = LeaveNotify;
  e.display = display;
  e.window = target;
  e.root = DefaultRootWindow(display);
  e.mode = NotifyNormal;
  e.detail = NotifyAncestor;
  e.same_screen = True;
  Send(display, target, event, LeaveWindowMask);
}

void X11HostWindow::SendKey(unsigned long target, unsigned long keysym) const {
  XEvent event{};
  XKeyEvent& e = event.xkey;
  e.type = KeyPress;
  e.display = display;
  e.window = target;
  e.root = DefaultRootWindow(display);
  e.x = 1;
  e.y = 1;
  e.keycode = XKeysymToKeycode(display, keysym);
  // A keysym on the shifted level of its key (capitals, say) needs the shift.
  if (XkbKeycodeToKeysym(display, static_cast<KeyCode>(e.keycode), 0, 0) != keysym) e.state = ShiftMask;
  e.same_screen = True;
  Send(display, target, event, KeyPressMask);
}

void X11HostWindow::Raise() const {
  XRaiseWindow(display, window);
  XSync(display, False);
}

void X11HostWindow::Destroy() {
  if (!window) return;
  XDestroyWindow(display, window);
  XSync(display, False);
  window = 0;
}

}  // namespace tarvel
