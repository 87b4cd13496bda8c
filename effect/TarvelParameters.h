#pragma once
// What every format says about Tarvel: its names and version, and the table
// of its five parameters, the band gains in decibels in band order. Each
// adapter and each format's metadata (a plug-in description file) reads it from
// here, so nothing is restated per format.

#include <array>
#include <iterator>

#include "effect/KernelDesign.h"
#include "plugin/Parameter.h"

namespace tarvel {

inline constexpr const char* kEffectName = "Tarvel";
inline constexpr const char* kVendorName = "Corvane";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionMicro = 0;

inline constexpr double kMinGainDb = -60.0;
inline constexpr double kMaxGainDb = 30.0;
inline constexpr double kDefaultGainDb = 0.0;
inline constexpr double kGainStepDb = 0.01;
inline constexpr const char* kGainUnit = "dB";

// One entry per parameter, in the order hosts see them: the five band gains
// in band order, then the bypass (offered where a format has one).
struct ParameterSpec {
  ParameterRole role;
  const char* name;    // as the host shows it
  const char* symbol;  // for formats that need one (letters, digits and '_'); never change
  double minimum;
  double maximum;
  double defaultValue;
  double step;
  const char* unit;
};

inline constexpr ParameterSpec kParameterTable[] = {
    {ParameterRole::kValue, "80 Hz", "gain_80hz", kMinGainDb, kMaxGainDb, kDefaultGainDb, kGainStepDb, kGainUnit},
    {ParameterRole::kValue, "250 Hz", "gain_250hz", kMinGainDb, kMaxGainDb, kDefaultGainDb, kGainStepDb, kGainUnit},
    {ParameterRole::kValue, "800 Hz", "gain_800hz", kMinGainDb, kMaxGainDb, kDefaultGainDb, kGainStepDb, kGainUnit},
    {ParameterRole::kValue, "2.5 kHz", "gain_2500hz", kMinGainDb, kMaxGainDb, kDefaultGainDb, kGainStepDb, kGainUnit},
    {ParameterRole::kValue, "8 kHz", "gain_8khz", kMinGainDb, kMaxGainDb, kDefaultGainDb, kGainStepDb, kGainUnit},
    {ParameterRole::kBypass, "Bypass", "bypass", 0.0, 1.0, 0.0, 1.0, ""},
};

// The band gains' names and symbols, from the table.
inline constexpr std::array<const char*, kBandCount> kBandNames = [] {
  std::array<const char*, kBandCount> names{};
  for (int i = 0; i < kBandCount; ++i) names[i] = kParameterTable[i].name;
  return names;
}();
inline constexpr std::array<const char*, kBandCount> kBandSymbols = [] {
  std::array<const char*, kBandCount> symbols{};
  for (int i = 0; i < kBandCount; ++i) symbols[i] = kParameterTable[i].symbol;
  return symbols;
}();
static_assert(std::size(kParameterTable) == kBandCount + 1 && kParameterTable[kBandCount].role == ParameterRole::kBypass);

}  // namespace tarvel
