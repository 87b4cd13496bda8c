#include "gui/IGraphicsWin_win32.h"

#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>

#include "gui/EditorWindow.h"
#include "gui/ImageResources.h"
#include "plugin/Parameter.h"
#include "raster/LICE_SysBitmap.h"

namespace tarvel {

namespace {

// Process-wide; touched only on the GUI thread.
int windowClassUsers = 0;
double timerFrameRate = 24.0;

constexpr int kPathChars = 255;
constexpr int kCommitTextChars = 999;

IGraphicsWin* GraphicsOf(HWND hwnd) {
  return reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

PixelRect ToPixelRect(const RECT& r) {
  return PixelRect{static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
                   static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

MouseMods ModsOf(WPARAM keys) {
  return MouseMods{(keys & MK_LBUTTON) != 0, (keys & MK_RBUTTON) != 0, (keys & MK_SHIFT) != 0,
                   (keys & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0};
}

int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

bool IsPlainChild(HWND hwnd) {
  return (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) != 0 && (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0;
}

SIZE OuterSize(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void Resize(HWND hwnd, SIZE size, int dw, int dh) {
  SetWindowPos(hwnd, nullptr, 0, 0, size.cx + dw, size.cy + dh, SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
}

// Everything up to and including the last backslash of module's file name.
void FolderOf(HMODULE module, std::string& folder) {
  folder.clear();
  char path[kPathChars + 1] = {};
  const DWORD length = GetModuleFileNameA(module, path, kPathChars);
  if (length == 0 || length >= kPathChars) return;
  const char* last = std::strrchr(path, '\\');
  if (!last || last[1] == '\0') return;
  folder.assign(path, static_cast<std::size_t>(last - path + 1));
}

UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* settings = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (settings && settings->lCustData) SetWindowTextA(dialog, reinterpret_cast<const char*>(settings->lCustData));
  }
  return 0;
}

}  // namespace

int KeyCodeForVirtualKey(WPARAM key) {
  switch (key) {
    case VK_SPACE: return kKeySpace;
    case VK_UP: return kKeyUp;
    case VK_DOWN: return kKeyDown;
    case VK_LEFT: return kKeyLeft;
    case VK_RIGHT: return kKeyRight;
    default: break;
  }
  if (key >= 0x30 && key <= 0x39) return static_cast<int>(key) - 43;
  if (key >= 0x41 && key <= 0x5A) return static_cast<int>(key) - 50;
  if (key >= 0x61 && key <= 0x7A) return static_cast<int>(key) - 82;
  return -1;
}

IGraphicsWin::IGraphicsWin(IPlugBase& owner, int w, int h, int fps) : IGraphics(owner, w, h, fps) {}

IGraphicsWin::~IGraphicsWin() { CloseEditorWindow(); }

int IGraphicsWin::WindowClassUsers() { return windowClassUsers; }

bool IGraphicsWin::PresentRect(const PixelRect& r) {
  LICE_SysBitmap* bitmap = DrawBitmap();
  if (!window || !bitmap) return true;  // closed: nothing to show
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window, &paint);
  if (!screen) return true;
  BitBlt(screen, r.left, r.top, r.right - r.left, r.bottom - r.top, reinterpret_cast<HDC>(bitmap->DrawContext()),
         r.left, r.top, SRCCOPY);
  EndPaint(window, &paint);
  return true;
}

void IGraphicsWin::SetEditorSize(int w, int h) {
  const int dw = w - Width();
  const int dh = h - Height();
  IGraphics::SetEditorSize(w, h);  // also resizes the draw bitmap
  if (!window) return;
  const SIZE own = OuterSize(window);
  HWND parent = IsPlainChild(window) ? GetParent(window) : nullptr;
  const SIZE parentSize = parent ? OuterSize(parent) : SIZE{};
  HWND grandparent = parent && IsPlainChild(parent) ? GetParent(parent) : nullptr;
  const SIZE grandparentSize = grandparent ? OuterSize(grandparent) : SIZE{};
  Resize(window, own, dw, dh);
  if (parent) Resize(parent, parentSize, dw, dh);
  if (grandparent) Resize(grandparent, grandparentSize, dw, dh);
  const RECT old{0, 0, own.cx, own.cy};
  InvalidateRect(window, &old, FALSE);
}

void* IGraphicsWin::OpenEditorWindow(void* parent) {
  parentWindow = static_cast<HWND>(parent);
  int x = 0;
  int y = 0;
  int w = Width();
  int h = Height();
  if (window) {
    // Where it is in the parent's client area: a parent with a frame must not
    // move a reopened editor by the frame's width.
    RECT own{};
    GetWindowRect(window, &own);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&own), 2);
    x = own.left;
    y = own.top;
    w = own.right - own.left;
    h = own.bottom - own.top;
    CloseEditorWindow();
  }
  if (windowClassUsers++ == 0) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = moduleHandle;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
  }
  holdsWindowClass = true;
  timerFrameRate = FrameRate();
  HWND created = CreateWindowExA(0, kWindowClass, "IPlug", WS_CHILD | WS_VISIBLE, x, y, w, h, parentWindow, nullptr,
                                 moduleHandle, this);
  if (!created) {
    window = nullptr;
    ReleaseWindowClass();
    return nullptr;
  }
  window = created;
  MarkAllDirty();
  return window;
}

void IGraphicsWin::CloseEditorWindow() {
  if (window) DestroyWindow(window);  // its WM_NCDESTROY clears the window and editor fields
  WindowGone();
  ReleaseWindowClass();
}

void IGraphicsWin::WindowGone() {
  window = nullptr;
  // The in-window editor is a child: it has gone with the window.
  editWindow = nullptr;
  editControl = nullptr;
  editParam = nullptr;
  editDefaultProc = nullptr;
  editState = kEditNone;
  if (editFont) DeleteObject(editFont);
  editFont = nullptr;
}

void IGraphicsWin::ReleaseWindowClass() {
  if (!holdsWindowClass) return;
  holdsWindowClass = false;
  if (--windowClassUsers == 0) UnregisterClassA(kWindowClass, moduleHandle);
}

LRESULT CALLBACK IGraphicsWin::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* graphics = static_cast<IGraphicsWin*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(graphics));
    graphics->window = hwnd;
    SetTimer(hwnd, kTimerId, static_cast<UINT>(1000.0 / timerFrameRate), nullptr);
    SetFocus(hwnd);
    return 0;
  }
  IGraphicsWin* graphics = GraphicsOf(hwnd);
  if (!graphics || graphics->window != hwnd) return DefWindowProcA(hwnd, message, wParam, lParam);
  return graphics->HandleMessage(hwnd, message, wParam, lParam);
}

LRESULT IGraphicsWin::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    WindowGone();
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  // While the in-window editor has the focus, only a right-click (cancel) gets through.
  if (editWindow && editState == kEditEditing) {
    if (message == WM_RBUTTONDOWN) {
      editState = kEditCancel;
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  switch (message) {
    case WM_PAINT: {
      RECT update{};
      if (GetUpdateRect(hwnd, &update, FALSE)) RenderRect(ToPixelRect(update));
      // With nothing presented (no controls) the region would stay invalid
      // and the paint would repeat forever.
      if (window) ValidateRect(hwnd, nullptr);
      return 0;
    }
    case WM_CLOSE:
      CloseEditorWindow();
      return 0;
    case WM_MOUSEACTIVATE:
      SetFocus(hwnd);
      return MA_ACTIVATE;
    case WM_KEYDOWN: {
      const int key = KeyCodeForVirtualKey(wParam);
      if (key < 0) return 0;
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(hwnd, &cursor);
      DispatchKey(cursor.x, cursor.y, key);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimerId) Tick();
      return 0;
    case WM_MOUSEMOVE:
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == hwnd) DispatchMouseDrag(XOf(lParam), YOf(lParam), ModsOf(wParam));
      } else if (DispatchMouseMove(XOf(lParam), YOf(lParam), ModsOf(wParam))) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, HOVER_DEFAULT};
        TrackMouseEvent(&track);
      }
      return 0;
    case WM_LBUTTONDOWN:
      if (editWindow) editState = kEditCommit;
      SetCapture(hwnd);
      DispatchMouseDown(XOf(lParam), YOf(lParam), ModsOf(wParam));
      return 0;
    case WM_RBUTTONDOWN:
      if (editWindow) {
        editState = kEditCancel;
        return 0;
      }
      SetCapture(hwnd);
      DispatchMouseDown(XOf(lParam), YOf(lParam), ModsOf(wParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      DispatchMouseUp(XOf(lParam), YOf(lParam), ModsOf(wParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      if (DispatchDoubleClick(XOf(lParam), YOf(lParam), ModsOf(wParam))) SetCapture(hwnd);
      return 0;
    case WM_MOUSEWHEEL: {
      RECT r{};
      GetWindowRect(hwnd, &r);
      const int steps = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      DispatchWheel(XOf(lParam) - r.left, YOf(lParam) - r.top, ModsOf(GET_KEYSTATE_WPARAM(wParam)), steps);
      return 0;
    }
    case WM_MOUSELEAVE:
      DispatchMouseLeave();
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

void IGraphicsWin::Tick() {
  if (editWindow && editState != kEditNone) {
    switch (editState) {
      case kEditRefresh:
        if (editParam) {
          char current[Parameter::kTextSize] = {};
          editParam->FormatForDisplay(editParam->Value(), false, current, sizeof current);
          char shown[Parameter::kTextSize] = {};
          GetWindowTextA(editWindow, shown, sizeof shown);
          if (std::strncmp(current, shown, sizeof shown - 1) != 0) {
            char className[16] = {};
            GetClassNameA(editWindow, className, sizeof className);
            if (lstrcmpiA(className, "COMBOBOX") == 0) {
              const LRESULT item = SendMessageA(editWindow, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(current));
              SendMessageA(editWindow, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
            } else {
              SetWindowTextA(editWindow, current);
            }
          }
        }
        break;
      case kEditCommit: {
        char text[kCommitTextChars + 1] = {};
        GetWindowTextA(editWindow, text, sizeof text);
        // May reach the host, which may close the editor from there.
        ApplyEditorText(editControl, editParam, text);
        DestroyEditWindow();
        break;
      }
      case kEditCancel:
        DestroyEditWindow();
        break;
      default:
        break;
    }
    editState = kEditNone;
  }
  PixelRect dirty;
  if (!window || !CollectDirtyRect(dirty)) return;
  const RECT r{dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window, &r, FALSE);
  UpdateWindow(window);  // the paint runs inside the tick
  if (editWindow) editState = kEditRefresh;
}

void IGraphicsWin::OpenValueEditor(IControl* control, Parameter* parameter) {
  if (!control || !parameter || editWindow || !window) return;
  const ValueEditorStart start = StartValueEditor(*control, *parameter);
  const int cx = start.centreX, cy = start.centreY;
  const char* current = start.text;

  HWND edit = nullptr;
  if (start.listed) {
    const int count = parameter->DisplayTextCount();
    const ListSize size = ValueListSize(*parameter);
    edit = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, cx - size.width / 2, cy,
                           size.width, size.height, window, reinterpret_cast<HMENU>(kEditControlId), moduleHandle,
                           nullptr);
    if (!edit) return;
    int selected = -1;
    for (int i = 0; i < count; ++i) {
      const char* item = parameter->DisplayTextFor(i);
      SendMessageA(edit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item ? item : ""));
      if (item && std::strcmp(item, current) == 0) selected = i;
    }
    SendMessageA(edit, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  } else {
    edit = CreateWindowExA(0, "EDIT", current, WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE, cx - 18, cy - 8, 36,
                           16, window, reinterpret_cast<HMENU>(kEditControlId), moduleHandle, nullptr);
    if (!edit) return;
    SendMessageA(edit, EM_SETSEL, 0, -1);
  }
  HFONT font = CreateFontA(14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  AdoptEditWindow(edit, font, control, parameter);
}

void IGraphicsWin::OpenTextEditor(IControl* control) {
  auto* textControl = dynamic_cast<ITextControl*>(control);
  if (!textControl || editWindow || !window) return;
  const TextStyle& style = textControl->Style();
  DWORD editStyle = WS_CHILD | WS_VISIBLE;
  editStyle |= style.align == TextStyle::kLeft ? ES_LEFT : style.align == TextStyle::kRight ? ES_RIGHT : ES_CENTER;
  if (!textControl->Editable()) editStyle |= ES_READONLY;
  editStyle |= textControl->Password() ? ES_PASSWORD : ES_MULTILINE;
  const PixelRect& r = control->DrawRect();
  HWND edit = CreateWindowExA(0, "EDIT", textControl->Text(), editStyle, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, window, reinterpret_cast<HMENU>(kEditControlId), moduleHandle, nullptr);
  if (!edit) return;
  SendMessageA(edit, EM_SETSEL, 0, -1);
  HFONT font = CreateFontA(style.size, 0, 0, 0, style.style == TextStyle::kBold ? FW_BOLD : 0,
                           style.style == TextStyle::kItalic, 0, 0, 0, 0, 0, 0, 0, style.face);
  AdoptEditWindow(edit, font, control, nullptr);
}

void IGraphicsWin::AdoptEditWindow(HWND edit, HFONT font, IControl* control, Parameter* parameter) {
  // The focus comes before the subclassing: the editor procedure does not see
  // this first focus change, so the state stays none until the user clicks in.
  SetFocus(edit);
  editWindow = edit;
  editDefaultProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
  SetWindowLongPtrA(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  editFont = font;
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  editControl = control;
  editParam = parameter;
}

void IGraphicsWin::DestroyEditWindow() {
  HWND edit = editWindow;
  if (!edit) return;
  SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editDefaultProc));
  editWindow = nullptr;
  editControl = nullptr;
  editParam = nullptr;
  editDefaultProc = nullptr;
  DestroyWindow(edit);
  if (editFont) DeleteObject(editFont);
  editFont = nullptr;
}

LRESULT CALLBACK IGraphicsWin::EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  IGraphicsWin* graphics = GraphicsOf(hwnd);
  if (!graphics || graphics->editWindow != hwnd) return DefWindowProcA(hwnd, message, wParam, lParam);
  const WNDPROC own = graphics->editDefaultProc;
  switch (message) {
    case WM_SETFOCUS:
      graphics->editState = kEditEditing;
      break;
    case WM_KILLFOCUS:
      graphics->editState = kEditNone;
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcA(own, hwnd, message, wParam, lParam);
      const auto* query = reinterpret_cast<const MSG*>(lParam);
      if (!graphics->editParam && query && query->message == WM_KEYDOWN && wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        graphics->editState = kEditCommit;
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r') return 0;  // Enter commits; it must not become a line break in the text
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == 1) {
        graphics->editState = kEditCommit;
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcA(own, hwnd, message, wParam, lParam);
}

void IGraphicsWin::GetHostFolder(std::string& folder) { FolderOf(nullptr, folder); }

void IGraphicsWin::GetModuleFolder(std::string& folder) { FolderOf(moduleHandle, folder); }

void IGraphicsWin::ChooseFile(std::string& path, int action, const char* folder) {
  path.clear();
  if (!window) return;
  char initialFolder[kPathChars + 1] = {};
  if (folder && folder[0]) lstrcpynA(initialFolder, folder, sizeof initialFolder);
  char file[kPathChars + 1] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kPathChars;
  dialog.lpstrInitialDir = initialFolder[0] ? initialFolder : nullptr;
  bool confirmed = false;
  if (action == 1) {
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    confirmed = GetSaveFileNameA(&dialog) != FALSE;
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    confirmed = GetOpenFileNameA(&dialog) != FALSE;
  }
  if (confirmed) path = file;
}

bool IGraphicsWin::PickColor(ArgbColor& color, const char* prompt) {
  if (!window) return false;
  if (!customColors) customColors = std::make_unique<COLORREF[]>(16);
  CHOOSECOLORA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.rgbResult = RGB(color.red & 0xFF, color.green & 0xFF, color.blue & 0xFF);
  dialog.lpCustColors = customColors.get();
  dialog.Flags = CC_FULLOPEN | CC_RGBINIT | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
  dialog.lpfnHook = ColorDialogHook;
  dialog.lCustData = reinterpret_cast<LPARAM>(prompt);
  if (!ChooseColorA(&dialog)) return false;
  color.red = GetRValue(dialog.rgbResult);
  color.green = GetGValue(dialog.rgbResult);
  color.blue = GetBValue(dialog.rgbResult);
  return true;
}

bool IGraphicsWin::OpenLink(const char* url, const char* title, const char* confirmText, const char* errorText) {
  if (confirmText && MessageBoxA(window, confirmText, title, MB_YESNO) != IDYES) return false;
  DWORD connection = 0;
  if (url && InternetGetConnectedState(&connection, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(window, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  if (errorText) MessageBoxA(window, errorText, title, MB_OK);
  return false;
}

LICE_IBitmap* IGraphicsWin::LoadImageResource(int id, const char* name) {
  return tarvel::LoadImageResource(moduleHandle, id, name);
}

std::unique_ptr<IGraphics> MakeEditorGraphics(IPlugBase& plug, int width, int height, int frameRate, void* module) {
  auto graphics = std::make_unique<IGraphicsWin>(plug, width, height, frameRate);
  graphics->SetModuleHandle(static_cast<HINSTANCE>(module));
  return graphics;
}

}  // namespace tarvel
