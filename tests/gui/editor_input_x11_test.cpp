// The X11 window layer's input (run under xvfb-run): server events become the
// same dispatch calls and key numbers as on Windows, and the drawn edit field
// follows the Windows editor's states.

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gui/EditorWindow.h"
#include "gui/IGraphicsX11_x11.h"
#include "plugin/ModuleHandle.h"
#include "tests/gui/GuiTestSupport.h"
#include "tools/host/X11Window_x11.h"

namespace tarvel {
namespace {

class TextField final : public ITextControl {
 public:
  using ITextControl::ITextControl;
  bool Render(IGraphics&) override { return true; }
};

class EditorInputX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    host = X11HostWindow::Create(200, 150, error);
    ASSERT_TRUE(host) << error;
    plug.AttachEditor(MakeEditorGraphics(plug, 200, 150, 30, ModuleHandle()));
    graphics = dynamic_cast<IGraphics*>(plug.Editor());
    x11 = dynamic_cast<IGraphicsX11*>(graphics);
    ASSERT_NE(x11, nullptr);
    graphics->SetTrackHover(true);
    auto knob = std::make_unique<testing::RecordingControl>(plug, PixelRect{0, 0, 100, 150}, &log, "a");
    knob->SetParamIndex(0);
    graphics->AddControl(std::move(knob));
    graphics->AddControl(std::make_unique<TextField>(plug, PixelRect{110, 10, 190, 30}, TextStyle{}, "ab"));
    text = dynamic_cast<TextField*>(graphics->GetControl(1));
    ASSERT_NE(graphics->OpenEditorWindow(host->Handle()), nullptr);
    ASSERT_EQ(host->Children().size(), 1u);
    EXPECT_TRUE(x11->PresentsShared());  // Xvfb on this machine offers shared memory
    window = host->Children().front();
    // The values pushed at attachment repaint on two ticks.
    x11->Tick();
    x11->Tick();
  }
  void TearDown() override {
    if (graphics) graphics->CloseEditorWindow();
  }

  // What the control saw since the last call, paints left out.
  std::vector<std::string> Seen() {
    std::vector<std::string> seen;
    std::copy_if(log.begin(), log.end(), std::back_inserter(seen), [](const std::string& e) { return e != "a render"; });
    log.clear();
    return seen;
  }

  void Type(std::initializer_list<unsigned long> keysyms) {
    for (unsigned long keysym : keysyms) host->SendKey(window, keysym);
  }

  std::vector<std::string> log;  // outlives the controls, which note their end
  testing::RecordingPlug plug{1};
  std::unique_ptr<X11HostWindow> host;
  IGraphics* graphics = nullptr;  // the plug-in's
  IGraphicsX11* x11 = nullptr;
  TextField* text = nullptr;
  unsigned long window = 0;
};

TEST_F(EditorInputX11, PointerWheelAndKeysBecomeTheWindowsDispatchCalls) {
  host->SendButton(window, 10, 20, 1, true, 0, 1000);
  host->SendMotion(window, 15, 26, kHeldLeft);
  host->SendButton(window, 15, 26, 1, false, kHeldLeft, 1100);
  // Within 500 ms and 2 pixels of the last press: a double-click; the next
  // press is a press again, and so is a late one.
  host->SendButton(window, 11, 21, 1, true, 0, 1400);
  host->SendButton(window, 11, 21, 1, false, kHeldLeft, 1450);
  host->SendButton(window, 11, 21, 1, true, 0, 1500);
  host->SendButton(window, 11, 21, 1, false, kHeldLeft, 1550);
  host->SendButton(window, 11, 21, 1, true, 0, 2100);
  host->SendButton(window, 11, 21, 1, false, kHeldLeft, 2150);
  host->SendButton(window, 5, 5, 4, true);
  host->SendButton(window, 5, 5, 5, true);
  host->SendMotion(window, 30, 40);
  host->SendLeave(window);
  Type({XK_space, XK_Up, XK_Down, XK_Left, XK_Right, XK_0, XK_7, XK_a, XK_Z, XK_F1});
  x11->Tick();
  EXPECT_EQ(Seen(), (std::vector<std::string>{
                        "a down 10,20", "a drag 15,26 by 5,6", "a up 15,26",                  //
                        "a double 11,21", "a up 11,21", "a down 11,21", "a up 11,21",        //
                        "a down 11,21", "a up 11,21", "a wheel 1", "a wheel -1",             //
                        "a move 30,40", "a leave",                                           //
                        "a key 0", "a key 1", "a key 2", "a key 3", "a key 4", "a key 5",    //
                        "a key 12", "a key 15", "a key 40"}));
}

TEST_F(EditorInputX11, TextFieldCommitsWithEnterAndCancelsWithEscapeOrRightClick) {
  graphics->OpenTextEditor(text);
  EXPECT_TRUE(x11->EditFieldOpen());
  EXPECT_EQ(x11->EditText(), "ab");
  x11->Tick();
  // Drawn over the control: a grey border round white paper.
  const std::vector<std::uint32_t> pixels = host->ReadPixels(window, 200, 150);
  ASSERT_EQ(pixels.size(), 200u * 150u);
  EXPECT_EQ(pixels[10 * 200 + 110], 0x808080u);
  EXPECT_EQ(pixels[28 * 200 + 188], 0xFFFFFFu);

  // Keys go to the field, not to the controls.
  Type({XK_BackSpace, XK_X, XK_y, XK_Return});
  x11->Tick();
  EXPECT_FALSE(x11->EditFieldOpen());
  EXPECT_STREQ(text->Text(), "aXy");
  EXPECT_EQ(Seen(), std::vector<std::string>{});

  graphics->OpenTextEditor(text);
  Type({XK_q, XK_Escape});
  x11->Tick();
  EXPECT_FALSE(x11->EditFieldOpen());
  EXPECT_STREQ(text->Text(), "aXy");

  graphics->OpenTextEditor(text);
  Type({XK_q});
  host->SendButton(window, 10, 20, 3, true);
  x11->Tick();
  EXPECT_FALSE(x11->EditFieldOpen());
  EXPECT_STREQ(text->Text(), "aXy");
  EXPECT_EQ(Seen(), std::vector<std::string>{});  // the cancelling click reaches no control
}

TEST_F(EditorInputX11, ClickedIntoTheFieldSwallowsClicksUntilTheNextTick) {
  graphics->OpenTextEditor(text);
  host->SendButton(window, 150, 20, 1, true);  // into the field
  Type({XK_z});
  host->SendButton(window, 10, 20, 1, true);  // swallowed
  x11->Tick();
  EXPECT_EQ(x11->EditState(), IGraphicsX11::kEditNone);
  EXPECT_TRUE(x11->EditFieldOpen());
  EXPECT_EQ(Seen(), std::vector<std::string>{});
  // Afterwards a click outside commits and presses the control below.
  host->SendButton(window, 10, 20, 1, true);
  x11->Tick();
  EXPECT_FALSE(x11->EditFieldOpen());
  EXPECT_STREQ(text->Text(), "abz");
  EXPECT_EQ(Seen(), std::vector<std::string>{"a down 10,20"});
}

TEST_F(EditorInputX11, RightClickTypesAParameterValue) {
  host->SendButton(window, 40, 50, 3, true);
  host->SendButton(window, 40, 50, 3, false, kHeldRight);
  x11->Tick();
  ASSERT_TRUE(x11->EditFieldOpen());
  EXPECT_EQ(x11->EditText(), "0");
  // The prompt repaints the control on two ticks; the field then shows the
  // value again (it has not changed).
  x11->Tick();
  x11->Tick();
  Type({XK_BackSpace, XK_1});
  x11->Tick();  // typing alone keeps the text
  Type({XK_2, XK_KP_Enter});
  x11->Tick();
  EXPECT_FALSE(x11->EditFieldOpen());
  ASSERT_FALSE(plug.reports.empty());
  EXPECT_EQ(plug.reports.back().first, 0);
  EXPECT_NEAR(plug.reports.back().second, (12.0 + 60.0) / 90.0, 1e-9);
}

}  // namespace
}  // namespace tarvel
