#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "raster/LICE_SysBitmap.h"

namespace tarvel {
namespace {

using testing::RecordingControl;
using testing::RecordingGraphics;
using testing::RecordingPlug;

class GraphicsTest : public ::testing::Test {
 protected:
  RecordingControl* Add(const PixelRect& rect, const std::string& name, int param = -1) {
    auto control = std::make_unique<RecordingControl>(plug, rect, &log, name);
    control->SetParamIndex(param);
    RecordingControl* raw = control.get();
    const int index = graphics.AddControl(std::move(control));
    EXPECT_EQ(index, graphics.ControlCount() - 1);
    return raw;
  }
  void CleanAll() {
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < graphics.ControlCount(); ++i) graphics.GetControl(i)->MarkClean();
    }
    log.clear();
  }

  std::vector<std::string> log;  // outlives the controls, which log their destruction
  RecordingPlug plug;
  RecordingGraphics graphics{plug};
};

using Log = std::vector<std::string>;

TEST_F(GraphicsTest, UpdateRectangleEdgesCountAsInside) {
  EXPECT_TRUE(graphics.RenderRect(PixelRect{0, 0, 5, 5}));
  EXPECT_TRUE(graphics.presented.empty());  // nothing to paint, nothing presented

  Add(PixelRect{20, 0, 30, 30}, "right");
  Add(PixelRect{0, 20, 30, 30}, "below");
  Add(PixelRect{0, 0, 10, 10}, "left");
  RecordingControl* hidden = Add(PixelRect{0, 0, 100, 100}, "hidden");
  hidden->SetHidden(true);

  EXPECT_TRUE(graphics.RenderRect(PixelRect{10, 10, 20, 20}));
  EXPECT_EQ(log, (Log{"right render", "below render"}));
  ASSERT_EQ(graphics.presented.size(), 1u);
  EXPECT_EQ(graphics.presented[0], (PixelRect{10, 10, 20, 20}));
  EXPECT_EQ(graphics.CurrentDrawRect(), (PixelRect{10, 10, 20, 20}));
  // Every control was marked clean, the hidden one after its extra pass.
  EXPECT_TRUE(hidden->NeedsRedraw());
  graphics.RenderRect(PixelRect{10, 10, 20, 20});
  for (int i = 0; i < graphics.ControlCount(); ++i) EXPECT_FALSE(graphics.GetControl(i)->NeedsRedraw());

  EXPECT_FALSE(UpdateMeets(PixelRect{}, PixelRect{0, 0, 10, 10}));
  EXPECT_FALSE(UpdateMeets(PixelRect{0, 0, 10, 10}, PixelRect{}));
  EXPECT_TRUE(UpdateMeets(PixelRect{5, 5, 5, 5}, PixelRect{0, 0, 10, 10}));
}

TEST_F(GraphicsTest, DirtyRectIsTheBoundingBoxOfDirtyControls) {
  PixelRect rect;
  EXPECT_FALSE(graphics.CollectDirtyRect(rect));

  Add(PixelRect{0, 0, 10, 10}, "a");
  Add(PixelRect{}, "nowhere");
  Add(PixelRect{50, 50, 60, 60}, "b");
  Add(PixelRect{20, 20, 30, 30}, "clean");
  graphics.GetControl(3)->MarkClean();
  EXPECT_TRUE(graphics.CollectDirtyRect(rect));
  EXPECT_EQ(rect, (PixelRect{0, 0, 60, 60}));

  CleanAll();
  rect = PixelRect{};
  EXPECT_FALSE(graphics.CollectDirtyRect(rect));
  EXPECT_TRUE(rect.IsEmpty());
  graphics.MarkAllDirty();
  EXPECT_TRUE(graphics.CollectDirtyRect(rect));
  EXPECT_EQ(rect, (PixelRect{0, 0, 60, 60}));
}

TEST_F(GraphicsTest, PressedControlKeepsThePointerUntilRelease) {
  Add(PixelRect{0, 0, 100, 80}, "background");
  Add(PixelRect{10, 10, 30, 30}, "knob", 1);
  RecordingControl* greyed = Add(PixelRect{10, 10, 30, 30}, "greyed", 2);
  greyed->SetGreyed(true);
  RecordingControl* hidden = Add(PixelRect{10, 10, 30, 30}, "hidden", 2);
  hidden->SetHidden(true);

  graphics.DispatchMouseDown(15, 15, MouseMods{});
  EXPECT_EQ(graphics.CaptureIndex(), 1);
  graphics.DispatchMouseDrag(15, 15, MouseMods{});  // no movement: nothing
  graphics.DispatchMouseDrag(50, 60, MouseMods{});
  graphics.DispatchWheel(90, 70, MouseMods{}, 2);
  graphics.DispatchMouseUp(200, 200, MouseMods{});  // outside every control
  EXPECT_EQ(graphics.CaptureIndex(), -1);
  EXPECT_EQ(log, (Log{"knob down 15,15", "knob drag 50,60 by 35,45", "knob wheel 2", "knob up 200,200"}));
  EXPECT_EQ(plug.events, (Log{"begin 1", "end 1"}));

  log.clear();
  graphics.DispatchMouseDrag(60, 60, MouseMods{});  // no capture: dropped
  graphics.DispatchMouseDown(50, 50, MouseMods{});
  graphics.DispatchMouseUp(50, 50, MouseMods{});
  graphics.DispatchMouseDown(150, 150, MouseMods{});  // outside the window's controls
  EXPECT_EQ(graphics.CaptureIndex(), -1);
  graphics.DispatchKey(20, 20, kKeySpace);
  EXPECT_EQ(log, (Log{"background down 50,50", "background up 50,50", "knob key 0"}));
  EXPECT_EQ(plug.events.size(), 2u);  // the background is not bound
}

TEST_F(GraphicsTest, DoubleClickAsPressCapturesWithoutGesture) {
  RecordingControl* pressy = Add(PixelRect{0, 0, 10, 10}, "pressy", 0);
  pressy->SetDoubleClickAsPress(true);
  Add(PixelRect{20, 0, 30, 10}, "plain", 1);

  EXPECT_TRUE(graphics.DispatchDoubleClick(5, 5, MouseMods{}));
  EXPECT_EQ(graphics.CaptureIndex(), 0);
  EXPECT_TRUE(plug.events.empty());
  graphics.DispatchMouseUp(5, 5, MouseMods{});

  EXPECT_FALSE(graphics.DispatchDoubleClick(25, 5, MouseMods{}));
  EXPECT_EQ(graphics.CaptureIndex(), -1);
  EXPECT_FALSE(graphics.DispatchDoubleClick(50, 50, MouseMods{}));
  EXPECT_EQ(log, (Log{"pressy down 5,5", "pressy up 5,5", "plain double 25,5"}));
  EXPECT_EQ(plug.events, (Log{"end 0"}));
}

TEST_F(GraphicsTest, HoverMovesAndLeaves) {
  Add(PixelRect{0, 0, 10, 10}, "a");
  Add(PixelRect{20, 0, 30, 10}, "b");
  EXPECT_FALSE(graphics.DispatchMouseMove(5, 5, MouseMods{}));
  EXPECT_TRUE(log.empty());

  graphics.SetTrackHover(true);
  EXPECT_TRUE(graphics.DispatchMouseMove(5, 5, MouseMods{}));
  EXPECT_TRUE(graphics.DispatchMouseMove(6, 5, MouseMods{}));
  EXPECT_TRUE(graphics.DispatchMouseMove(15, 5, MouseMods{}));  // between controls: nothing changes
  EXPECT_TRUE(graphics.DispatchMouseMove(25, 5, MouseMods{}));
  EXPECT_EQ(graphics.HoverIndex(), 1);
  graphics.DispatchMouseLeave();
  EXPECT_EQ(graphics.HoverIndex(), -1);
  EXPECT_EQ(log, (Log{"a move 5,5", "a move 6,5", "b move 25,5", "a leave", "a leave", "b leave"}));
}

TEST_F(GraphicsTest, PushedValuesReachOnlyBoundControls) {
  RecordingControl* first = Add(PixelRect{0, 0, 10, 10}, "first", 1);
  RecordingControl* second = Add(PixelRect{0, 0, 10, 10}, "second", 1);
  RecordingControl* other = Add(PixelRect{0, 0, 10, 10}, "other", 2);
  graphics.PushParameterToControls(1, 0.75, true);
  graphics.PushParameterToControls(1, 0.25, true);
  EXPECT_EQ(first->Value(), 0.0);  // nothing reaches a control before the tick
  PixelRect dirty;
  graphics.CollectDirtyRect(dirty);
  EXPECT_EQ(first->Value(), 0.25);  // the newest value wins
  EXPECT_EQ(second->Value(), 0.25);
  EXPECT_EQ(other->Value(), 0.0);

  graphics.PushParameterToControls(1, -15.0, false);  // dB on -60..30
  graphics.PushParameterToControls(2, 1000.0, false);
  graphics.PushParameterToControls(9, 0.0, false);  // no such parameter
  graphics.PushParameterToControls(-1, 0.7, true);
  graphics.ApplyPushedValues();
  EXPECT_DOUBLE_EQ(first->Value(), 0.5);
  EXPECT_EQ(other->Value(), 1.0);
  EXPECT_TRUE(plug.reports.empty());
}

TEST_F(GraphicsTest, DropDownListFitsItsLongestItem) {
  Parameter& choice = *plug.GetParameter(1);
  ASSERT_TRUE(choice.AddDisplayText(0, "Off"));
  ASSERT_TRUE(choice.AddDisplayText(1, "On"));
  ASSERT_TRUE(choice.AddDisplayText(2, "x"));
  EXPECT_EQ(ValueListSize(choice).height, 144);  // 3 items and the closed box
  EXPECT_EQ(ValueListSize(choice).width, 48);    // "Off": 8 * 4 + 16
  Parameter& narrow = *plug.GetParameter(2);
  ASSERT_TRUE(narrow.AddDisplayText(0, "a"));
  EXPECT_EQ(ValueListSize(narrow).width, 32);
  EXPECT_EQ(ValueListSize(*plug.GetParameter(0)).width, 24);  // never narrower
}

TEST_F(GraphicsTest, EditorTextBecomesAClampedParameterValue) {
  RecordingControl* knob = Add(PixelRect{0, 0, 10, 10}, "knob", 0);
  Parameter* gain = plug.GetParameter(0);
  graphics.ApplyEditorText(knob, gain, " -15");
  EXPECT_DOUBLE_EQ(knob->Value(), 0.5);
  EXPECT_DOUBLE_EQ(gain->Value(), -15.0);
  graphics.ApplyEditorText(knob, gain, "+45");
  EXPECT_EQ(knob->Value(), 1.0);
  EXPECT_DOUBLE_EQ(gain->Value(), 30.0);
  graphics.ApplyEditorText(knob, gain, "loud");  // unreadable: 0 dB
  EXPECT_DOUBLE_EQ(gain->Value(), 0.0);
  gain->SetNegateDisplay(true);
  graphics.ApplyEditorText(knob, gain, "12.5");
  EXPECT_DOUBLE_EQ(gain->Value(), -12.5);
  gain->SetNegateDisplay(false);
  ASSERT_TRUE(gain->AddDisplayText(-30, "quiet"));
  graphics.ApplyEditorText(knob, gain, "quiet");
  EXPECT_DOUBLE_EQ(gain->Value(), -30.0);
  graphics.ApplyEditorText(nullptr, gain, "1");
  EXPECT_EQ(plug.reports.size(), 5u);
}

TEST_F(GraphicsTest, ResizeDestroysControlsAndNotifiesThePlugIn) {
  graphics.CreateDrawBitmaps();
  ASSERT_NE(graphics.DrawBitmap(), nullptr);
  EXPECT_EQ(graphics.DrawBitmap()->PixelWidth(), 100);
  EXPECT_EQ(graphics.DrawBitmap()->PixelHeight(), 80);
  Add(PixelRect{0, 0, 10, 10}, "a");
  Add(PixelRect{0, 0, 10, 10}, "b", 0);
  graphics.SetTrackHover(true);
  graphics.DispatchMouseMove(1, 1, MouseMods{});
  graphics.DispatchMouseDown(1, 1, MouseMods{});
  log.clear();

  graphics.SetEditorSize(120, 90);
  EXPECT_EQ(log, (Log{"b destroyed", "a destroyed"}));
  EXPECT_EQ(graphics.ControlCount(), 0);
  EXPECT_EQ(graphics.CaptureIndex(), -1);
  EXPECT_EQ(graphics.HoverIndex(), -1);
  EXPECT_EQ(graphics.Width(), 120);
  EXPECT_EQ(graphics.DrawBitmap()->PixelWidth(), 120);
  EXPECT_EQ(graphics.DrawBitmap()->PixelHeight(), 90);
  EXPECT_EQ(plug.events.back(), "resized 120x90");

  // The new controls get no leave meant for the old ones, and the release of
  // the old press goes nowhere.
  log.clear();
  Add(PixelRect{0, 0, 10, 10}, "c");
  Add(PixelRect{20, 0, 30, 10}, "d");
  graphics.DispatchMouseMove(25, 5, MouseMods{});
  graphics.DispatchMouseUp(50, 50, MouseMods{});
  EXPECT_EQ(log, (Log{"d move 25,5"}));
}

// A control whose press resizes the editor (a size button) is destroyed inside
// its own handler: no gesture may be begun that no release would end.
TEST_F(GraphicsTest, PressThatResizesTheEditorBeginsNoGesture) {
  struct SizeButton final : RecordingControl {
    SizeButton(IPlugBase& plug, IGraphics& graphics)
        : RecordingControl(plug, PixelRect{0, 0, 10, 10}, nullptr, "size"), graphics(graphics) {}
    void HandleMouseDown(int, int, const MouseMods&) override { graphics.SetEditorSize(200, 200); }
    IGraphics& graphics;
  };
  auto button = std::make_unique<SizeButton>(plug, graphics);
  button->SetParamIndex(0);
  graphics.AddControl(std::move(button));
  graphics.DispatchMouseDown(5, 5, MouseMods{});
  graphics.DispatchMouseUp(5, 5, MouseMods{});
  EXPECT_EQ(plug.events, (Log{"resized 200x200"}));
}

TEST_F(GraphicsTest, DestructionGoesFromTheLastControlToTheFirst) {
  {
    RecordingGraphics local(plug);
    for (const char* name : {"a", "b", "c"}) {
      local.AddControl(std::make_unique<RecordingControl>(plug, PixelRect{}, &log, name));
    }
    local.CreateDrawBitmaps();
  }
  EXPECT_EQ(log, (Log{"c destroyed", "b destroyed", "a destroyed"}));
  EXPECT_EQ(graphics.AddControl(nullptr), -1);
}

TEST(BitmapResources, LoadedOncePerProcessAndShared) {
  RecordingPlug plug;
  RecordingGraphics first(plug);
  RecordingGraphics second(plug);
  const BitmapRef a = first.LoadBitmapResource(124, "img/a.png", 1);
  const BitmapRef b = first.LoadBitmapResource(124, "img/a.png", 3);
  const BitmapRef c = second.LoadBitmapResource(124, "other.png", 1);
  EXPECT_EQ(first.loads, 1);
  EXPECT_EQ(second.loads, 0);
  ASSERT_NE(a.bitmap, nullptr);
  EXPECT_EQ(a.bitmap, b.bitmap);
  EXPECT_EQ(a.bitmap, c.bitmap);
  EXPECT_EQ(a.width, 124);
  EXPECT_EQ(a.height, 2);
  EXPECT_EQ(b.frames, 3);
  EXPECT_NE(first.LoadBitmapResource(125, "img/b.png", 1).bitmap, a.bitmap);
}

#if GTEST_HAS_DEATH_TEST
TEST(BitmapResourcesDeathTest, MissingResourceStopsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        RecordingPlug plug;
        RecordingGraphics graphics(plug);
        graphics.LoadBitmapResource(5001, "missing.png", 1);
      },
      "imgResourceFound");
}
#endif

}  // namespace
}  // namespace tarvel
