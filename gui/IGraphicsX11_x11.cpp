#include "gui/IGraphicsX11_x11.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gui/EditorWindow.h"
#include "gui/ImageResources.h"
#include "plugin/Parameter.h"
#include "raster/LICE_SysBitmap.h"
#include "text/BitmapFont.h"
#include "text/TextLabel.h"

// Xlib last: its macros (None, Bool, Status...) must not meet the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>

#include "gui/X11Connections_x11.h"
#include "gui/X11SharedImage_x11.h"

namespace tarvel {

namespace {

PixelRect Unite(const PixelRect& a, const PixelRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
}

bool Inside(const PixelRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

unsigned int ButtonMask(unsigned int button) {
  switch (button) {
    case Button1: return Button1Mask;
    case Button2: return Button2Mask;
    case Button3: return Button3Mask;
    default: return 0;
  }
}

MouseMods ModsOf(unsigned int state) {
  return MouseMods{(state & Button1Mask) != 0, (state & Button3Mask) != 0, (state & ShiftMask) != 0,
                   (state & ControlMask) != 0, (state & Mod1Mask) != 0};
}

// A visual whose pixels are our bitmap's bytes: 24-bit TrueColor, red in the
// third byte, blue in the first, 32 bits a pixel in images.
bool IsBitmapVisual(Display* display, const Visual* visual, int depth) {
  if (depth != 24 || visual->c_class != TrueColor || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
      visual->blue_mask != 0xFF) {
    return false;
  }
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  bool fits = false;
  for (int i = 0; i < count; ++i) fits |= formats[i].depth == 24 && formats[i].bits_per_pixel == 32;
  if (formats) XFree(formats);
  return fits;
}

// Everything up to and including the last slash of path.
void FolderOf(const char* path, std::string& folder) {
  folder.clear();
  const char* last = path ? std::strrchr(path, '/') : nullptr;
  if (last) folder.assign(path, static_cast<std::size_t>(last - path + 1));
}

}  // namespace

int KeyCodeForKeysym(unsigned long keysym) {
  switch (keysym) {
    case XK_space: return kKeySpace;
    case XK_Up: return kKeyUp;
    case XK_Down: return kKeyDown;
    case XK_Left: return kKeyLeft;
    case XK_Right: return kKeyRight;
    default: break;
  }
  if (keysym >= XK_0 && keysym <= XK_9) return kKeyDigit0 + static_cast<int>(keysym - XK_0);
  if (keysym >= XK_A && keysym <= XK_Z) return kKeyLetterA + static_cast<int>(keysym - XK_A);
  if (keysym >= XK_a && keysym <= XK_z) return kKeyLetterA + static_cast<int>(keysym - XK_a);
  return -1;
}

IGraphicsX11::IGraphicsX11(IPlugBase& owner, int w, int h, int fps, void* module)
    : IGraphics(owner, w, h, fps),
      moduleHandle(module),
      tickPeriod(std::max<std::chrono::steady_clock::duration>(
          kMinTickPeriod, std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(1.0 / FrameRate())))) {}

IGraphicsX11::~IGraphicsX11() { CloseEditorWindow(); }

void* IGraphicsX11::GetNativeWindow() { return window ? reinterpret_cast<void*>(window) : nullptr; }

void* IGraphicsX11::OpenEditorWindow(void* parent) {
  if (display) CloseEditorWindow();
  const auto parentWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
  if (parentWindow == 0 || !DrawBitmap()) return nullptr;
  display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  X11Connections::Add(display, this);
  XSetIOErrorExitHandler(display, &X11Connections::OnIoExit, this);
  connectionBroken = false;
  const int errorsBefore = caughtErrors;

  XWindowAttributes parentAttributes{};
  if (!XGetWindowAttributes(display, parentWindow, &parentAttributes)) {
    ReleaseConnection();
    return nullptr;
  }
  Visual* chosen = parentAttributes.visual;
  if (!IsBitmapVisual(display, chosen, parentAttributes.depth)) {
    // A parent of another visual (an alpha one, say) gets a child of a
    // fitting visual with its own colormap.
    XVisualInfo info{};
    if (!XMatchVisualInfo(display, XScreenNumberOfScreen(parentAttributes.screen), 24, TrueColor, &info) ||
        !IsBitmapVisual(display, info.visual, 24)) {
      ReleaseConnection();
      return nullptr;
    }
    chosen = info.visual;
    colormap = XCreateColormap(display, parentWindow, chosen, AllocNone);
  }
  XSetWindowAttributes attributes{};
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                          KeyPressMask | StructureNotifyMask;
  attributes.background_pixmap = None;  // the bitmap covers every pixel: no flash of background
  unsigned long valueMask = CWEventMask | CWBackPixmap;
  if (colormap) {
    attributes.colormap = colormap;
    attributes.border_pixel = 0;
    valueMask |= CWColormap | CWBorderPixel;
  }
  window = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(Width()), static_cast<unsigned>(Height()),
                         0, 24, InputOutput, chosen, valueMask, &attributes);
  gc = XCreateGC(display, window, 0, nullptr);
  LICE_SysBitmap* bitmap = DrawBitmap();
  image = XCreateImage(display, chosen, 24, ZPixmap, 0, reinterpret_cast<char*>(bitmap->Pixels()),
                       static_cast<unsigned>(bitmap->PixelWidth()), static_cast<unsigned>(bitmap->PixelHeight()), 32,
                       bitmap->RowStride() * 4);
  if (image) image->byte_order = LSBFirst;  // our bytes' order; Xlib swaps for a big-endian server
  if (image) sharedImage = X11SharedImage::Create(display, chosen, Width(), Height(), caughtErrors);
  XMapWindow(display, window);
  XSync(display, False);
  // The parent may have gone between the host's call and ours.
  if (!image || caughtErrors != errorsBefore || connectionBroken) {
    CloseEditorWindow();
    return nullptr;
  }
  captured = false;
  lastPressCounts = false;
  exposed = PixelRect{};
  lastTick = {};
  MarkAllDirty();
  return reinterpret_cast<void*>(window);
}

void IGraphicsX11::CloseEditorWindow() {
  CloseEditField();
  edit.state = kEditNone;
  if (!display) return;
  if (!connectionBroken) {
    // A window that went with its parent is already destroyed: the server's
    // BadWindow goes to our handler during the sync.
    if (window) XDestroyWindow(display, window);
    if (colormap) XFreeColormap(display, colormap);
  }
  window = 0;
  colormap = 0;
  ReleaseConnection();
}

void IGraphicsX11::ReleaseConnection() {
  if (connectionBroken && sharedImage) sharedImage->attached = false;  // no more requests on a dead connection
  sharedImage.reset();
  if (image) {
    image->data = nullptr;  // the draw bitmap's pixels are not the image's to free
    XDestroyImage(image);
    image = nullptr;
  }
  // A dead connection takes no more requests; XCloseDisplay frees what it can.
  if (gc && !connectionBroken) XFreeGC(display, gc);
  gc = nullptr;
  if (!connectionBroken) XSync(display, False);
  XCloseDisplay(display);
  X11Connections::Remove(display);
  display = nullptr;
  window = 0;
  colormap = 0;
}

void IGraphicsX11::SetEditorSize(int w, int h) {
  IGraphics::SetEditorSize(w, h);  // also resizes the draw bitmap
  if (!display || connectionBroken) return;
  if (window) XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
  exposed = PixelRect{0, 0, w, h};
}

bool IGraphicsX11::PresentRect(const PixelRect& rect) {
  LICE_SysBitmap* bitmap = DrawBitmap();
  if (!window) return true;  // a closed editor paints into its bitmap only
  if (!image || connectionBroken || !bitmap) return false;
  // A resized bitmap moves its pixels: the image follows, still without a copy.
  image->data = reinterpret_cast<char*>(bitmap->Pixels());
  image->width = bitmap->PixelWidth();
  image->height = bitmap->PixelHeight();
  image->bytes_per_line = bitmap->RowStride() * 4;
  PixelRect r = rect;
  if (edit.IsOpen()) {
    edit.Draw(*bitmap);
    r = Unite(r, edit.rect);
  }
  const int left = std::max(0, r.left);
  const int top = std::max(0, r.top);
  const int right = std::min(r.right, image->width);
  const int bottom = std::min(r.bottom, image->height);
  if (right <= left || bottom <= top) return true;
  const auto w = static_cast<unsigned>(right - left);
  const auto h = static_cast<unsigned>(bottom - top);
  if (sharedImage && right <= sharedImage->image->width && bottom <= sharedImage->image->height) {
    // The tick ends with a round trip, so the server has read the segment
    // before the next present writes it again.
    XImage* shared = sharedImage->image;
    for (int y = top; y < bottom; ++y) {
      std::memcpy(shared->data + static_cast<std::ptrdiff_t>(y) * shared->bytes_per_line + left * 4,
                  image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line + left * 4, w * 4);
    }
    XShmPutImage(display, window, gc, shared, left, top, left, top, w, h, False);
    return true;
  }
  XPutImage(display, window, gc, image, left, top, left, top, w, h);
  return true;
}

int IGraphicsX11::ConnectionDescriptor() const {
  return display && !connectionBroken ? ConnectionNumber(display) : -1;
}

void IGraphicsX11::Idle() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastTick < tickPeriod) return;
  lastTick = now;
  Tick();
}

void IGraphicsX11::Tick() {
  if (!display || connectionBroken) return;
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    HandleEvent(&event);
    // A handler may have reached the host, which may have closed the editor.
    if (!display || connectionBroken) return;
  }
  if (edit.control && edit.state != kEditNone) {
    switch (edit.state) {
      case kEditRefresh:
        if (edit.Refresh()) exposed = Unite(exposed, edit.rect);
        break;
      case kEditCommit: {
        const std::string text = edit.text;
        IControl* control = edit.control;
        Parameter* parameter = edit.param;
        CloseEditField();
        // May reach the host, which may close the editor from there.
        ApplyEditorText(control, parameter, text.c_str());
        break;
      }
      case kEditCancel:
        CloseEditField();
        break;
      default:
        break;
    }
    edit.state = kEditNone;
  }
  if (!window) return;
  PixelRect dirty;
  const bool controlsDirty = CollectDirtyRect(dirty);
  if (!controlsDirty && exposed.IsEmpty()) return;
  dirty = Unite(dirty, exposed);
  exposed = PixelRect{};
  RenderRect(dirty);
  // As on Windows, a field over controls that changed shows their value
  // again at the next tick; typing and exposure alone do not.
  if (controlsDirty && edit.control) edit.state = kEditRefresh;
  // The frame is on the screen when the tick ends, and errors are in.
  if (display && !connectionBroken) XSync(display, False);
}

void IGraphicsX11::HandleEvent(void* raw) {
  XEvent& event = *static_cast<XEvent*>(raw);
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      exposed = Unite(exposed, PixelRect{e.x, e.y, e.x + e.width, e.y + e.height});
      return;
    }
    case DestroyNotify:
      if (event.xdestroywindow.window == window) {
        // Gone with the host's window: nothing more to draw on or destroy.
        window = 0;
        CloseEditField();
      }
      return;
    case ButtonPress: {
      const XButtonEvent& e = event.xbutton;
      HandleButtonPress(e.x, e.y, e.button, e.state, e.time);
      return;
    }
    default:
      break;
  }
  // While the edit field has been clicked into, only a right-click (cancel) gets through.
  if (edit.control && edit.state == kEditEditing) {
    if (event.type == KeyPress) HandleEditKey(&event);
    return;
  }
  switch (event.type) {
    case ButtonRelease: {
      const XButtonEvent& e = event.xbutton;
      if (e.button != Button1 && e.button != Button3) return;
      captured = false;
      DispatchMouseUp(e.x, e.y, ModsOf(e.state & ~ButtonMask(e.button)));
      return;
    }
    case MotionNotify: {
      const XMotionEvent& e = event.xmotion;
      if (e.state & (Button1Mask | Button3Mask)) {
        if (captured) DispatchMouseDrag(e.x, e.y, ModsOf(e.state));
      } else {
        DispatchMouseMove(e.x, e.y, ModsOf(e.state));
      }
      return;
    }
    case LeaveNotify:
      // Windows reports a leave only to a window that tracks the hover and
      // does not hold the mouse.
      if (event.xcrossing.mode == NotifyNormal && !captured && TrackHover()) DispatchMouseLeave();
      return;
    case KeyPress: {
      if (edit.control) {
        HandleEditKey(&event);
        return;
      }
      const int key = KeyCodeForKeysym(XLookupKeysym(&event.xkey, 0));
      if (key >= 0) DispatchKey(event.xkey.x, event.xkey.y, key);
      return;
    }
    default:
      return;
  }
}

void IGraphicsX11::HandleButtonPress(int x, int y, unsigned int button, unsigned int state, unsigned long time) {
  if (edit.control && edit.state == kEditEditing) {
    if (button == Button3) edit.state = kEditCancel;
    return;
  }
  const MouseMods mods = ModsOf(state | ButtonMask(button));
  if (button == Button4 || button == Button5) {
    DispatchWheel(x, y, mods, button == Button4 ? 1 : -1);
    return;
  }
  if (button != Button1 && button != Button3) return;
  // Keys follow the pointer into the editor, as a click focuses a Windows window.
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  if (button == Button3) {
    lastPressCounts = false;
    if (edit.control) {
      edit.state = kEditCancel;
      return;
    }
    captured = true;
    DispatchMouseDown(x, y, mods);
    return;
  }
  if (edit.control) {
    if (Inside(edit.rect, x, y)) {
      edit.state = kEditEditing;
      return;
    }
    edit.state = kEditCommit;
  }
  if (lastPressCounts && time - lastPressTime <= kDoubleClickMs && std::abs(x - lastPressX) <= 2 &&
      std::abs(y - lastPressY) <= 2) {
    lastPressCounts = false;
    if (DispatchDoubleClick(x, y, mods)) captured = true;
    return;
  }
  lastPressCounts = true;
  lastPressTime = time;
  lastPressX = x;
  lastPressY = y;
  captured = true;
  DispatchMouseDown(x, y, mods);
}

void IGraphicsX11::HandleEditKey(void* raw) {
  XKeyEvent& e = static_cast<XEvent*>(raw)->xkey;
  char typed[8] = {};
  KeySym keysym = NoSymbol;
  const int count = XLookupString(&e, typed, sizeof typed, &keysym, nullptr);
  bool changed = false;
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
      edit.state = kEditCommit;
      return;
    case XK_Escape:
      edit.state = kEditCancel;
      return;
    case XK_BackSpace:
      changed = edit.Backspace();
      break;
    default:
      // One Latin-1 character, which the bitmap font's Windows-1252 codes share.
      changed = count == 1 && edit.Type(typed[0]);
      break;
  }
  if (changed || keysym == XK_BackSpace) exposed = Unite(exposed, edit.rect);
}

void IGraphicsX11::OpenValueEditor(IControl* control, Parameter* parameter) {
  if (!control || !parameter || edit.control || !window) return;
  const ValueEditorStart start = StartValueEditor(*control, *parameter);
  const int cx = start.centreX, cy = start.centreY;
  // A list parameter takes one of its display texts, typed.
  const int w = start.listed ? ValueListSize(*parameter).width : 72;
  constexpr int h = EditField::kHeight;
  OpenEditField(control, parameter, PixelRect{cx - w / 2, cy - h / 2, cx - w / 2 + w, cy + h / 2}, start.text);
}

void IGraphicsX11::OpenTextEditor(IControl* control) {
  auto* textControl = dynamic_cast<ITextControl*>(control);
  if (!textControl || edit.control || !window) return;
  OpenEditField(control, nullptr, control->DrawRect(), textControl->Text());
  edit.readOnly = !textControl->Editable();
  edit.password = textControl->Password();
}

void IGraphicsX11::OpenEditField(IControl* control, Parameter* parameter, const PixelRect& rect, const char* text) {
  edit.Open(control, parameter, rect, Width(), Height(), text, TextFont());
  exposed = Unite(exposed, edit.rect);
}

void IGraphicsX11::CloseEditField() {
  if (!edit.IsOpen()) return;
  edit.Close();
  // What lay under the field is painted again.
  MarkAllDirty();
  exposed = Unite(exposed, edit.rect);
}

void IGraphicsX11::GetHostFolder(std::string& folder) {
  char path[PATH_MAX + 1] = {};
  const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
  FolderOf(length > 0 ? path : nullptr, folder);
}

void IGraphicsX11::GetModuleFolder(std::string& folder) {
  Dl_info info{};
  FolderOf(moduleHandle && dladdr(moduleHandle, &info) ? info.dli_fname : nullptr, folder);
}

void IGraphicsX11::ChooseFile(std::string& path, int, const char*) { path.clear(); }

bool IGraphicsX11::PickColor(ArgbColor&, const char*) { return false; }

bool IGraphicsX11::OpenLink(const char*, const char*, const char*, const char*) { return false; }

LICE_IBitmap* IGraphicsX11::LoadImageResource(int id, const char* name) {
  return tarvel::LoadImageResource(moduleHandle, id, name);
}

std::unique_ptr<IGraphics> MakeEditorGraphics(IPlugBase& plug, int width, int height, int frameRate, void* module) {
  return std::make_unique<IGraphicsX11>(plug, width, height, frameRate, module);
}

}  // namespace tarvel
