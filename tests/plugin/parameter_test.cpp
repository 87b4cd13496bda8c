#include "plugin/Parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void InitGain(Parameter& p) { p.InitContinuous("80 Hz", 0.0, -60.0, 30.0, 0.01, "dB"); }

std::string Display(const Parameter& p, double v, bool isNormalized = false) {
  char text[32];
  p.FormatForDisplay(v, isNormalized, text, sizeof text);
  return text;
}

TEST(Parameter, PrecisionFollowsTheStep) {
  Parameter p;
  p.InitContinuous("a", 0, 0, 10, 0.01, "");
  EXPECT_EQ(p.Precision(), 2);
  p.InitContinuous("a", 0, 0, 10, 0.5, "");
  EXPECT_EQ(p.Precision(), 1);
  p.InitContinuous("a", 0, 0, 10, 1.0, "");
  EXPECT_EQ(p.Precision(), 0);
  EXPECT_EQ(Display(p, 2.7), "2");  // whole numbers, truncated
  EXPECT_EQ(Display(p, -2.7), "-2");
  p.InitContinuous("a", 0, 0, 10, 1.0 / 3.0, "");
  EXPECT_EQ(p.Precision(), 6);
}

TEST(Parameter, InitKeepsTypeAndRangeIsAtLeastOneStep) {
  Parameter p;
  EXPECT_EQ(p.Type(), Parameter::kTypeNone);
  p.InitContinuous("gain", 50.0, -60.0, -60.5, 1.0, "dB");
  EXPECT_EQ(p.Type(), Parameter::kTypeContinuous);
  EXPECT_EQ(p.Max(), -59.0);
  EXPECT_EQ(p.Value(), 50.0);  // a default outside the range stays until the first change
  EXPECT_STREQ(p.Name(), "gain");
  EXPECT_STREQ(p.Label(), "dB");

  p.InitContinuous("a name far longer than the thirty-one bytes a field holds", 0, 0, 1, 1, "");
  EXPECT_EQ(std::string(p.Name()).size(), 31u);
}

TEST(Parameter, NormalisedMapping) {
  Parameter p;
  InitGain(p);
  p.SetFromNormalized(1.0);
  EXPECT_EQ(p.Value(), 30.0);
  p.SetFromNormalized(0.0);
  EXPECT_EQ(p.Value(), -60.0);
  p.SetFromNormalized(0.5);
  EXPECT_EQ(p.Value(), -15.0);
  p.SetFromNormalized(0.123456);  // continuous: no step applied
  EXPECT_NEAR(p.Value(), -48.88896, 1e-9);
  EXPECT_NEAR(p.NormalizedValue(), 0.123456, 1e-12);

  EXPECT_EQ(p.NormalizeValue(45.0), 1.0);
  EXPECT_EQ(p.NormalizeValue(-100.0), 0.0);
  EXPECT_EQ(p.NormalizeValue(-15.0), 0.5);
}

TEST(Parameter, NonFiniteValuesNeverBecomeTheValue) {
  Parameter p;
  InitGain(p);
  p.SetFromNormalized(0.5);
  EXPECT_FALSE(p.SetFromNormalized(kNaN));  // ignored: the value stays
  EXPECT_EQ(p.Value(), -15.0);
  p.SetFromNormalized(kInf);
  EXPECT_EQ(p.Value(), 30.0);
  p.SetFromNormalized(-kInf);
  EXPECT_EQ(p.Value(), -60.0);
  p.SetFromNormalized(-0.5);  // a host value below 0 stays in the range
  EXPECT_EQ(p.Value(), -60.0);
  p.SetFromNormalized(7.0);
  EXPECT_EQ(p.Value(), 30.0);

  p.SetValueClamped(kNaN);  // typed text or stored state: NaN counts as 0
  EXPECT_EQ(p.Value(), 0.0);
  p.SetValueClamped(45.0);
  EXPECT_EQ(p.Value(), 30.0);
  p.SetValueClamped(-kInf);
  EXPECT_EQ(p.Value(), -60.0);
  p.SetValueClamped(12.5);
  EXPECT_EQ(p.Value(), 12.5);
  EXPECT_EQ(p.NormalizeValue(kNaN), 0.0);
}

TEST(Parameter, DisplayTexts) {
  Parameter p;
  InitGain(p);
  EXPECT_EQ(Display(p, -60.0), "-60.00");
  EXPECT_EQ(Display(p, 2.5), "2.50");
  EXPECT_EQ(Display(p, 30.0), "30.00");
  EXPECT_EQ(Display(p, 0.0), "0");
  EXPECT_EQ(Display(p, -0.0), "0");
  EXPECT_EQ(Display(p, 0.5, true), "-15.00");  // normalised, mapped without rounding
  EXPECT_EQ(Display(p, 1.5, true), "75.00");   // and without limiting
  p.SetNegateDisplay(true);
  EXPECT_EQ(Display(p, -12.0), "12.00");
  EXPECT_EQ(Display(p, 0.0), "0");

  char small[4];
  p.FormatForDisplay(-60.0, false, small, sizeof small);  // cut to the buffer, terminated
  EXPECT_STREQ(small, "60.");
}

TEST(Parameter, HugeValuesFormatWithoutOverflow) {
  Parameter p;
  p.InitContinuous("a", 0, 0, 10, 1.0, "");
  EXPECT_EQ(Display(p, 1e12), "1000000000000");
  EXPECT_EQ(Display(p, -3e9), "-3000000000");
  EXPECT_EQ(Display(p, 2147483647.9), "2147483647");
}

TEST(Parameter, FixedTextsForIntegerValues) {
  Parameter p;
  p.InitContinuous("mode", 0, 0, 3, 1.0, "");
  EXPECT_EQ(p.DisplayTextCount(), 0);
  ASSERT_TRUE(p.AddDisplayText(1, "one"));
  ASSERT_TRUE(p.AddDisplayText(2, ""));
  ASSERT_TRUE(p.AddDisplayText(2, "two"));
  ASSERT_TRUE(p.AddDisplayText(1, "uno"));
  EXPECT_EQ(p.DisplayTextCount(), 4);

  EXPECT_EQ(Display(p, 1.9), "one");  // truncated to 1; first match wins
  EXPECT_EQ(Display(p, 2.0), "2");    // an empty text ends the search
  EXPECT_EQ(Display(p, 3.0), "3");
  EXPECT_STREQ(p.DisplayTextFor(1), "one");
  EXPECT_STREQ(p.DisplayTextFor(9), "");

  int v = -1;
  EXPECT_TRUE(p.ValueForDisplayText("uno", v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(p.ValueForDisplayText("two", v));
  EXPECT_EQ(v, 2);
  EXPECT_FALSE(p.ValueForDisplayText("One", v));  // exact, case-sensitive
  EXPECT_FALSE(p.ValueForDisplayText(nullptr, v));
}

TEST(Parameter, SteppedParameterRoundsToTheStep) {
  Parameter p;  // type 0 until initialised: stepped
  p.SetFromNormalized(0.74);
  EXPECT_EQ(p.Value(), 1.0);
  p.SetFromNormalized(0.5);  // an exact half moves up
  EXPECT_EQ(p.Value(), 1.0);
  p.SetFromNormalized(0.49);
  EXPECT_EQ(p.Value(), 0.0);
}

TEST(Parameter, TypedTextLenientForVst2StrictForTheOthers) {
  Parameter p;
  p.InitContinuous("gain", 0.0, -60.0, 30.0, 0.01, "dB");
  p.AddDisplayText(-60, "off");
  const struct {
    const char* text;
    bool strictTakes;
    double value;  // as both readings take it (lenient: 0 where strict refuses)
  } cases[] = {{"-7.25 dB", true, -7.25}, {"off", true, -60.0}, {"abc", false, 0.0}, {"nan", false, 0.0}, {"", false, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double lenient = 99.0, strict = 99.0;
    EXPECT_TRUE(p.ValueForTypedText(c.text, Parameter::TypedText::kLenient, lenient));
    EXPECT_EQ(lenient, c.value);
    EXPECT_EQ(p.ValueForTypedText(c.text, Parameter::TypedText::kStrict, strict), c.strictTakes);
    EXPECT_EQ(strict, c.strictTakes ? c.value : 99.0);
  }
  double untouched = 99.0;
  EXPECT_FALSE(p.ValueForTypedText(nullptr, Parameter::TypedText::kLenient, untouched));
  EXPECT_EQ(untouched, 99.0);
}

}  // namespace
}  // namespace tarvel
