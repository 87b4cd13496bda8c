#include "plugin/Parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvel {

namespace {

// Truncates towards zero, saturating at the int range (NaN gives 0), so no
// host-supplied value can make the conversion undefined.
int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

}  // namespace

void Parameter::InitContinuous(const char* newName, double defaultValue, double newMin, double newMax,
                               double newStep, const char* newLabel) {
  if (type == kTypeNone) type = kTypeContinuous;
  CopyText(name, sizeof name, newName);
  CopyText(label, sizeof label, newLabel);
  min = newMin;
  value = defaultValue;
  max = newMax >= newMin + newStep ? newMax : newMin + newStep;
  step = newStep;
  // The smallest number of decimals (up to 6) that shows a whole step.
  precision = 0;
  for (double s = step; s != std::floor(s) && precision < 6; s *= 10.0) ++precision;
}

double Parameter::FromNormalized(double x) const { return std::pow(x, shape) * (max - min) + min; }

bool Parameter::SetFromNormalized(double x) {
  double v = FromNormalized(x);
  if (std::isnan(v)) return false;
  if (type != kTypeContinuous) v = std::floor(v / step + 0.5) * step;
  // Limited at both ends: a host value outside [0, 1] must not leave the range.
  if (v >= max) v = max;
  if (v < min) v = min;
  value = v;
  return true;
}

void Parameter::SetValueClamped(double real) {
  if (std::isnan(real)) real = 0.0;
  value = std::clamp(real, min, max);
}

double Parameter::NormalizeValue(double v) const {
  if (std::isnan(v) || !(max > min)) return 0.0;
  v = std::clamp(v, min, max);
  return std::pow((v - min) / (max - min), 1.0 / shape);
}

double Parameter::RealFromNormalized(double x) const { return FromNormalized(std::clamp(x, 0.0, 1.0)); }

bool Parameter::ValueForTypedText(const char* text, TypedText reading, double& real) const {
  if (!text) return false;
  int listed = 0;
  if (displayTexts.Count() && ValueForDisplayText(text, listed)) {
    real = listed;
    return true;
  }
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (reading == TypedText::kStrict && (end == text || std::isnan(v))) return false;
  if (negateDisplay) v = -v;
  real = std::isnan(v) ? 0.0 : v;  // "nan" is text, not a number
  return true;
}

void Parameter::FormatForDisplay(double v, bool isNormalized, char* out, std::size_t outSize) const {
  if (!out || outSize == 0) return;
  if (isNormalized) v = FromNormalized(v);
  if (displayTexts.Count()) {
    const int key = TruncToInt(v);
    for (int i = 0; i < displayTexts.Count(); ++i) {
      const DisplayText* entry = displayTexts.Get(i);
      if (entry->value != key) continue;
      if (entry->text[0]) {
        CopyText(out, outSize, entry->text);
        return;
      }
      break;  // an empty text hides later entries of the same value
    }
  }
  if (negateDisplay) v = -v;
  if (v == 0.0)
    CopyText(out, outSize, "0");
  else if (precision > 0)
    std::snprintf(out, outSize, "%.*f", precision, v);
  else if (std::fabs(v) < 2147483648.0)
    std::snprintf(out, outSize, "%d", TruncToInt(v));
  else
    std::snprintf(out, outSize, "%.0f", std::trunc(v));
}

bool Parameter::AddDisplayText(int textValue, const char* text) {
  DisplayText entry{textValue, {}};
  CopyText(entry.text, sizeof entry.text, text);
  return displayTexts.Append(entry);
}

const char* Parameter::DisplayTextFor(int textValue) const {
  for (int i = 0; i < displayTexts.Count(); ++i) {
    const DisplayText* entry = displayTexts.Get(i);
    if (entry->value == textValue) return entry->text;
  }
  return "";
}

bool Parameter::ValueForDisplayText(const char* text, int& valueOut) const {
  if (!text) return false;
  for (int i = 0; i < displayTexts.Count(); ++i) {
    const DisplayText* entry = displayTexts.Get(i);
    if (std::strcmp(entry->text, text) == 0) {
      valueOut = entry->value;
      return true;
    }
  }
  return false;
}

}  // namespace tarvel
