// The editor window on Windows (under Wine with a virtual display): the
// window class's life, messages becoming dispatch calls, the in-window value
// and text editors, and closing from every direction.
#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "gui/IGraphicsWin_win32.h"
#include "plugin/Parameter.h"
#include "tests/gui/GuiTestSupport.h"
#include "tools/host/HostWindow_win32.h"

namespace tarvel {
namespace {

using testing::RecordingControl;
using testing::RecordingPlug;
using Log = std::vector<std::string>;

bool ClassExists() {
  WNDCLASSA info;
  return GetClassInfoA(GetModuleHandleA(nullptr), IGraphicsWin::kWindowClass, &info) != FALSE;
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

class PlainText final : public ITextControl {
 public:
  using ITextControl::ITextControl;
  bool Render(IGraphics&) override { return true; }
};

// One plug-in with an editor of 200 x 100 holding a control bound to
// parameter 0 and a text control, in a host window.
struct Editor {
  Editor() {
    auto made = std::make_unique<IGraphicsWin>(plug, 200, 100, 1000);
    made->SetModuleHandle(GetModuleHandleA(nullptr));
    auto knob = std::make_unique<RecordingControl>(plug, PixelRect{0, 0, 100, 100}, &log, "knob");
    knob->SetParamIndex(0);
    control = knob.get();
    made->AddControl(std::move(knob));
    auto label = std::make_unique<PlainText>(plug, PixelRect{100, 0, 200, 20}, TextStyle{}, "abc");
    text = label.get();
    made->AddControl(std::move(label));
    graphics = made.get();
    plug.AttachEditor(std::move(made));
  }
  HWND Open() { return static_cast<HWND>(graphics->OpenEditorWindow(host.Handle())); }
  void Tick() { SendMessageA(static_cast<HWND>(graphics->GetNativeWindow()), WM_TIMER, IGraphicsWin::kTimerId, 0); }

  Log log;  // outlives the controls, which log their destruction
  RecordingPlug plug{3};
  HostWindow host{300, 200};
  IGraphicsWin* graphics = nullptr;
  RecordingControl* control = nullptr;
  ITextControl* text = nullptr;
};

TEST(EditorWindow, ClassLivesWhileAnyEditorIsOpenWhicheverWayItCloses) {
  Editor a;
  Editor b;
  ASSERT_NE(a.host.Handle(), nullptr) << "no display: run under xvfb-run";
  HWND first = a.Open();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetParent(first), a.host.Handle());
  char title[16] = {};
  GetWindowTextA(first, title, sizeof title);
  EXPECT_STREQ(title, "IPlug");
  ASSERT_NE(b.Open(), nullptr);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 2);
  EXPECT_TRUE(ClassExists());

  // Opening again without closing recreates the window in its place.
  SetWindowPos(first, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  HWND second = a.Open();
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  RECT place{};
  GetWindowRect(second, &place);
  MapWindowPoints(nullptr, a.host.Handle(), reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(place.left, 7);
  EXPECT_EQ(place.top, 9);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 2);

  // Closed from inside its own message; then closed again, and once more.
  SendMessageA(second, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_FALSE(a.graphics->HasWindow());
  a.graphics->CloseEditorWindow();
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 1);
  EXPECT_TRUE(ClassExists());

  // The host destroys its window first: the editor goes with it.
  b.host.Destroy();
  EXPECT_FALSE(b.graphics->HasWindow());
  b.graphics->CloseEditorWindow();
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
  EXPECT_FALSE(ClassExists());
}

TEST(EditorWindow, MessagesBecomeDispatchCallsAndTicksPaint) {
  Editor e;
  HWND window = e.Open();
  ASSERT_NE(window, nullptr);
  e.Tick();
  EXPECT_NE(std::find(e.log.begin(), e.log.end(), "knob render"), e.log.end());
  e.log.clear();

  // Keys go to the control under the cursor.
  POINT inKnob{30, 30};
  ClientToScreen(window, &inKnob);
  SetCursorPos(inKnob.x, inKnob.y);
  SendMessageA(window, WM_KEYDOWN, 0x41, 0);
  SendMessageA(window, WM_KEYDOWN, 0x61, 0);   // numeric keypad 1
  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);  // not mapped
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 20));
  SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, Point(12, 25));
  SendMessageA(window, WM_LBUTTONUP, 0, Point(12, 25));
  RECT r{};
  GetWindowRect(window, &r);
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), Point(r.left + 5, r.top + 5));
  SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 60), Point(r.left + 5, r.top + 5));
  const Log expected{"knob key 15", "knob key 15", "knob down 10,20", "knob drag 12,25 by 2,5", "knob up 12,25", "knob wheel 1", "knob wheel 0"};
  Log input;
  for (const std::string& line : e.log)
    if (line != "knob render") input.push_back(line);
  EXPECT_EQ(input, expected);
  EXPECT_EQ(KeyCodeForVirtualKey(0x39), 14);
  EXPECT_EQ(KeyCodeForVirtualKey(VK_LEFT), 3);
  EXPECT_EQ(KeyCodeForVirtualKey(VK_F1), 30);  // 0x61..0x7A all count as letters
}

TEST(EditorWindow, ValueEditorAppliesTypedTextAtTheNextTickOrCancels) {
  Editor e;
  HWND window = e.Open();
  ASSERT_NE(window, nullptr);
  e.Tick();

  SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, Point(50, 50));
  SendMessageA(window, WM_RBUTTONUP, 0, Point(50, 50));
  HWND edit = e.graphics->EditWindow();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetDlgCtrlID(edit), IGraphicsWin::kEditControlId);
  char shown[32] = {};
  GetWindowTextA(edit, shown, sizeof shown);
  char current[32] = {};
  e.plug.GetParameter(0)->FormatForDisplay(0.0, false, current, sizeof current);
  EXPECT_STREQ(shown, current);
  RECT box{};
  GetWindowRect(edit, &box);
  EXPECT_EQ(box.right - box.left, 36);
  EXPECT_EQ(box.bottom - box.top, 16);

  // Below the range: clamped to -60 dB and sent to the plug-in at the tick.
  SetWindowTextA(edit, "-75");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(e.graphics->EditState(), IGraphicsWin::kEditCommit);
  EXPECT_DOUBLE_EQ(e.plug.GetParameter(0)->Value(), 0.0);
  e.Tick();
  EXPECT_EQ(e.graphics->EditWindow(), nullptr);
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_DOUBLE_EQ(e.plug.GetParameter(0)->Value(), -60.0);
  EXPECT_DOUBLE_EQ(e.control->Value(), 0.0);
  ASSERT_FALSE(e.plug.reports.empty());
  EXPECT_EQ(e.plug.reports.back(), (std::pair<int, double>{0, 0.0}));

  // A right-click while the editor has the focus cancels and reaches no control.
  SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, Point(50, 50));
  edit = e.graphics->EditWindow();
  ASSERT_NE(edit, nullptr);
  SetFocus(window);
  SetFocus(edit);
  EXPECT_EQ(e.graphics->EditState(), IGraphicsWin::kEditEditing);
  SetWindowTextA(edit, "10");
  e.log.clear();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(50, 50));  // swallowed while editing
  e.Tick();                                                          // likewise
  EXPECT_TRUE(e.log.empty());
  SendMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, Point(50, 50));
  EXPECT_EQ(e.graphics->EditState(), IGraphicsWin::kEditCancel);
  e.Tick();
  EXPECT_EQ(e.graphics->EditWindow(), nullptr);
  EXPECT_DOUBLE_EQ(e.plug.GetParameter(0)->Value(), -60.0);
  EXPECT_EQ(std::count(e.log.begin(), e.log.end(), "knob down 50,50"), 0);
}

TEST(EditorWindow, TextEditorReplacesTheTextOnEnter) {
  Editor e;
  ASSERT_NE(e.Open(), nullptr);
  e.graphics->OpenTextEditor(e.text);
  HWND edit = e.graphics->EditWindow();
  ASSERT_NE(edit, nullptr);
  RECT box{};
  GetWindowRect(edit, &box);
  EXPECT_EQ(box.right - box.left, 100);
  EXPECT_EQ(box.bottom - box.top, 20);
  char shown[16] = {};
  GetWindowTextA(edit, shown, sizeof shown);
  EXPECT_STREQ(shown, "abc");
  e.graphics->OpenValueEditor(e.control, e.plug.GetParameter(0));  // one editor at a time
  EXPECT_EQ(e.graphics->EditWindow(), edit);
  SetWindowTextA(edit, "xyz");
  SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(edit, WM_CHAR, '\r', 0);  // no line break in the text
  e.Tick();
  EXPECT_STREQ(e.text->Text(), "xyz");
  EXPECT_TRUE(e.plug.reports.empty());
}

TEST(EditorWindow, FiveHundredOpensAndClosesLeaveNothingBehind) {
  Editor e;
  const auto usage = [] {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
  };
  for (int i = 0; i < 20; ++i) {  // warm-up: first-use allocations of the window system
    ASSERT_NE(e.Open(), nullptr);
    e.Tick();
    e.graphics->CloseEditorWindow();
  }
  const SIZE_T before = usage();
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int i = 0; i < 500; ++i) {
    ASSERT_NE(e.Open(), nullptr);
    e.Tick();
    if (i % 50 == 0) {  // with an in-window editor open, too
      SendMessageA(static_cast<HWND>(e.graphics->GetNativeWindow()), WM_RBUTTONDOWN, MK_RBUTTON, Point(50, 50));
      ASSERT_NE(e.graphics->EditWindow(), nullptr);
    }
    e.graphics->CloseEditorWindow();
    HostWindow::Pump();
  }
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
  EXPECT_EQ(FindWindowExA(e.host.Handle(), nullptr, nullptr, nullptr), nullptr);
  EXPECT_LT(usage(), before + 512 * 1024);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

}  // namespace
}  // namespace tarvel
