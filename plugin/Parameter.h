#pragma once
// One automatable value of the plug-in. The host and the editor speak
// normalised values in [0, 1]; the effect and stored state use real values
// between min and max. Parameter owns the mapping and the display rules.
//
// No NaN ever becomes the value: a NaN normalised value is ignored, a NaN real
// value (typed text, stored state) counts as 0, and infinities land on the
// ends of the range. Parameter has no lock; callers hold the instance lock.

#include <cstddef>

#include "plugin/GrowBuffer.h"
#include "plugin/CopyText.h"

namespace tarvel {

// What an entry of a plug-in's parameter table is for: a value the effect
// uses (a Parameter of IPlugBase), or the bypass, which the adapters
// implement (plugin/BypassPath) and map onto their format's own.
enum class ParameterRole { kValue, kBypass };

class Parameter {
 public:
  // Codes 1 (switch) and 3 (choice) with display texts are offered as a drop-down list by the editor.
  enum : int { kTypeNone = 0, kTypeSwitch = 1, kTypeChoice = 3, kTypeContinuous = 4 };
  static constexpr int kTextSize = 32;  // name, label and display texts, with terminator

  Parameter() = default;
  Parameter(const Parameter&) = delete;
  Parameter& operator=(const Parameter&) = delete;

  void InitContinuous(const char* name, double defaultValue, double min, double max, double step,
                      const char* label);

  // Sets the value from normalised x; a NaN x is ignored (returns false).
  bool SetFromNormalized(double x);
  // Sets the value in real units: NaN counts as 0, then limited to [min, max].
  void SetValueClamped(double real);

  double NormalizedValue() const { return NormalizeValue(value); }
  double NormalizeValue(double v) const;
  // The real value of normalised x, limited to [0, 1] first (not rounded to
  // the step): the mapping as hosts show it. NaN stays NaN.
  double RealFromNormalized(double x) const;

  // How typed text becomes a value: leniently, the number the text starts
  // with and 0 for text with none (the VST 2.4 reading hosts of that format
  // rely on); strictly, text that starts with no number is refused.
  enum class TypedText { kLenient, kStrict };
  // A display text's value, else the number the text starts with (negated
  // where the display negates); NaN reads as 0 when lenient. False, with
  // real unchanged, for null text or text refused by a strict reading.
  bool ValueForTypedText(const char* text, TypedText reading, double& real) const;

  // Writes the display text of v (normalised or real) into out, truncated to
  // outSize bytes with the terminator.
  void FormatForDisplay(double v, bool isNormalized, char* out, std::size_t outSize) const;

  // Display texts: fixed texts for given integer values; the first match wins.
  bool AddDisplayText(int value, const char* text);
  int DisplayTextCount() const { return displayTexts.Count(); }
  const char* DisplayTextFor(int value) const;
  bool ValueForDisplayText(const char* text, int& valueOut) const;

  int Type() const { return type; }
  double Value() const { return value; }
  double Min() const { return min; }
  double Max() const { return max; }
  double Step() const { return step; }
  double Shape() const { return shape; }
  int Precision() const { return precision; }
  const char* Name() const { return name; }
  const char* Label() const { return label; }
  bool NegateDisplay() const { return negateDisplay; }
  void SetNegateDisplay(bool negate) { negateDisplay = negate; }

 private:
  struct DisplayText {
    int value;
    char text[kTextSize];
  };

  double FromNormalized(double x) const;

  int type = kTypeNone;
  double value = 0.0;
  double min = 0.0;
  double max = 1.0;
  double step = 1.0;
  double shape = 1.0;
  int precision = 0;
  char name[kTextSize] = {};
  char label[kTextSize] = {};
  bool negateDisplay = false;
  ValueList<DisplayText> displayTexts;
};

}  // namespace tarvel
