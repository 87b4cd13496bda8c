#include <limits>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"

namespace tarvel {
namespace {

using testing::RecordingControl;
using testing::RecordingGraphics;
using testing::RecordingPlug;

// Paint passes a control needs before it is clean.
int PassesUntilClean(IControl& control) {
  int passes = 0;
  while (control.NeedsRedraw() && passes < 10) {
    control.MarkClean();
    ++passes;
  }
  return passes;
}

class ControlTest : public ::testing::Test {
 protected:
  RecordingPlug plug;
  RecordingControl control{plug, PixelRect{10, 20, 30, 40}, nullptr, "c"};
};

TEST_F(ControlTest, HitTestExcludesRightAndBottomEdges) {
  EXPECT_TRUE(control.HitTest(10, 20));
  EXPECT_TRUE(control.HitTest(29, 39));
  EXPECT_FALSE(control.HitTest(30, 25));
  EXPECT_FALSE(control.HitTest(15, 40));
  EXPECT_FALSE(control.HitTest(9, 25));

  RecordingControl empty(plug, PixelRect{}, nullptr, "e");
  EXPECT_FALSE(empty.HitTest(0, 0));
  RecordingControl point(plug, PixelRect{5, 5, 5, 5}, nullptr, "p");
  EXPECT_FALSE(point.HitTest(5, 5));
}

TEST_F(ControlTest, FirstPushedValueBecomesTheDoubleClickDefault) {
  control.SetParamIndex(1);
  EXPECT_EQ(PassesUntilClean(control), 1);

  control.ApplyPlugValue(0.5);
  EXPECT_EQ(control.Value(), 0.5);
  EXPECT_EQ(control.DefaultValue(), 0.5);
  EXPECT_EQ(PassesUntilClean(control), 2);  // a push paints on two ticks
  EXPECT_TRUE(plug.reports.empty());      // and is never echoed to the plug-in

  control.ApplyPlugValue(0.5);
  EXPECT_FALSE(control.NeedsRedraw());

  control.ApplyPlugValue(0.9);
  EXPECT_EQ(control.DefaultValue(), 0.5);
  EXPECT_EQ(PassesUntilClean(control), 2);

  control.HandleDoubleClick(15, 25, MouseMods{});
  EXPECT_EQ(control.Value(), 0.5);
  ASSERT_EQ(plug.reports.size(), 1u);
  EXPECT_EQ(plug.reports[0].first, 1);
  EXPECT_EQ(plug.reports[0].second, 0.5);
  EXPECT_DOUBLE_EQ(plug.GetParameter(1)->Value(), -15.0);
}

TEST_F(ControlTest, WheelStepsAreClampedAndNotified) {
  control.SetParamIndex(2);
  control.ApplyPlugValue(0.5);
  MouseMods fine;
  fine.control = true;
  control.HandleWheel(0, 0, fine, 3);
  EXPECT_NEAR(control.Value(), 0.503, 1e-12);
  fine = MouseMods{};
  fine.shift = true;
  control.HandleWheel(0, 0, fine, -1);
  EXPECT_NEAR(control.Value(), 0.502, 1e-12);
  control.HandleWheel(0, 0, MouseMods{}, -2);
  EXPECT_NEAR(control.Value(), 0.482, 1e-12);
  ASSERT_EQ(plug.reports.size(), 3u);
  EXPECT_NEAR(plug.reports.back().second, 0.482, 1e-12);

  control.HandleWheel(0, 0, MouseMods{}, 1000);
  EXPECT_EQ(control.Value(), 1.0);
  control.HandleWheel(0, 0, MouseMods{}, -1000);
  EXPECT_EQ(control.Value(), 0.0);

  control.SetClamp(0.25, 0.75);
  control.HandleWheel(0, 0, MouseMods{}, -1);
  EXPECT_EQ(control.Value(), 0.25);
  EXPECT_EQ(plug.reports.back().second, 0.25);
}

TEST_F(ControlTest, MarkDirtyClampsNanAndNotifiesOnlyBoundControls) {
  control.ApplyPlugValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(control.Value(), 0.0);
  control.HandleWheel(0, 0, MouseMods{}, 5);  // unbound: no plug-in call
  control.MarkDirty(true);
  EXPECT_TRUE(plug.reports.empty());

  control.SetClamp(0.2, 0.4);
  control.ApplyUserValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(control.Value(), 0.2);
  control.ApplyUserValue(std::numeric_limits<double>::infinity());
  EXPECT_EQ(control.Value(), 0.4);
}

TEST_F(ControlTest, ApplyUserValueNotifiesOnlyChanges) {
  control.SetParamIndex(0);
  control.ApplyPlugValue(0.25);
  PassesUntilClean(control);
  control.ApplyUserValue(0.25);
  EXPECT_FALSE(control.NeedsRedraw());
  EXPECT_TRUE(plug.reports.empty());

  control.ApplyUserValue(0.75);
  EXPECT_EQ(PassesUntilClean(control), 2);
  ASSERT_EQ(plug.reports.size(), 1u);
  EXPECT_EQ(plug.reports[0].second, 0.75);
  EXPECT_DOUBLE_EQ(plug.GetParameter(0)->Value(), 7.5);
}

TEST(ControlPrompt, RightClickOpensTheValueEditorOfTheBoundParameter) {
  std::vector<std::string> log;  // outlives the controls, which log their destruction
  RecordingPlug plug;
  auto owned = std::make_unique<RecordingGraphics>(plug);
  RecordingGraphics& graphics = *owned;
  auto* bound = new RecordingControl(plug, PixelRect{0, 0, 10, 10}, &log, "bound");
  auto* disabled = new RecordingControl(plug, PixelRect{0, 0, 10, 10}, &log, "disabled");
  auto* unbound = new RecordingControl(plug, PixelRect{0, 0, 10, 10}, &log, "unbound");
  auto* stray = new RecordingControl(plug, PixelRect{0, 0, 10, 10}, &log, "stray");
  bound->SetParamIndex(2);
  disabled->SetParamIndex(1);
  disabled->SetPromptDisabled(true);
  stray->SetParamIndex(7);
  for (IControl* c : {static_cast<IControl*>(bound), static_cast<IControl*>(disabled),
                      static_cast<IControl*>(unbound), static_cast<IControl*>(stray)}) {
    graphics.AddControl(std::unique_ptr<IControl>(c));
  }
  plug.AttachEditor(std::move(owned));

  MouseMods right;
  right.right = true;
  for (IControl* c : {static_cast<IControl*>(bound), static_cast<IControl*>(disabled),
                      static_cast<IControl*>(unbound), static_cast<IControl*>(stray)}) {
    PassesUntilClean(*c);
    c->HandleMouseDown(1, 1, right);
  }
  ASSERT_EQ(graphics.valueEditors.size(), 2u);
  EXPECT_EQ(graphics.valueEditors[0].first, bound);
  EXPECT_EQ(graphics.valueEditors[0].second, plug.GetParameter(2));
  EXPECT_EQ(graphics.valueEditors[1].first, stray);
  EXPECT_EQ(graphics.valueEditors[1].second, nullptr);  // no parameter 7
  EXPECT_FALSE(bound->NeedsRedraw());
  bound->MarkDirty(false);
  EXPECT_EQ(PassesUntilClean(*bound), 2);  // the prompt asked for one more pass
  EXPECT_FALSE(disabled->NeedsRedraw());
  EXPECT_FALSE(unbound->NeedsRedraw());

  // A left press opens nothing.
  bound->HandleMouseDown(1, 1, MouseMods{});
  EXPECT_EQ(graphics.valueEditors.size(), 2u);
}

}  // namespace
}  // namespace tarvel
