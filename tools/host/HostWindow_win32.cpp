#include "tools/host/HostWindow_win32.h"

#include <cstring>

namespace tarvel {

namespace {

constexpr const char* kHostClass = "TarvelHostWindow";

ATOM RegisterHostClass() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kHostClass;
  return RegisterClassA(&windowClass);
}

}  // namespace

HostWindow::HostWindow(int clientWidth, int clientHeight) {
  static const ATOM registered = RegisterHostClass();
  (void)registered;
  RECT outer{0, 0, clientWidth, clientHeight};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN;
  AdjustWindowRect(&outer, style, FALSE);
  window_ = CreateWindowExA(0, kHostClass, "Tarvel", style, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HostWindow::~HostWindow() { Destroy(); }

void HostWindow::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

HWND HostWindow::EditorWindow() const {
  return window_ ? FindWindowExA(window_, nullptr, "IPlugWndClass", nullptr) : nullptr;
}

void HostWindow::Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::vector<std::uint32_t> HostWindow::Capture(HWND window, int width, int height) {
  std::vector<std::uint32_t> pixels;
  HDC screen = GetDC(window);
  if (!screen) return pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  if (section && memory && bits) {
    HGDIOBJ previous = SelectObject(memory, section);
    if (BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY)) {
      pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      std::memcpy(pixels.data(), bits, pixels.size() * sizeof(std::uint32_t));
      for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
    }
    SelectObject(memory, previous);
  }
  if (memory) DeleteDC(memory);
  if (section) DeleteObject(section);
  ReleaseDC(window, screen);
  return pixels;
}

}  // namespace tarvel
