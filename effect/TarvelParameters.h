#pragma once
// What every format says about Tarvel: its names and version, and the table
// of its five parameters, the band gains in decibels in band order. Each
// adapter and each format's metadata (a plug-in description file) reads it from
// here, so nothing is restated per format.

#include <array>

#include "effect/KernelDesign.h"

namespace tarvel {

inline constexpr const char* kEffectName = "Tarvel";
inline constexpr const char* kVendorName = "Corvane";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionMicro = 0;

// Display names, as the host shows them.
inline constexpr std::array<const char*, kBandCount> kBandNames = {"80 Hz", "250 Hz", "800 Hz", "2.5 kHz", "8 kHz"};
// Identifiers for formats that need one (letters, digits and '_'); never change.
inline constexpr std::array<const char*, kBandCount> kBandSymbols = {"gain_80hz", "gain_250hz", "gain_800hz",
                                                                     "gain_2500hz", "gain_8khz"};
inline constexpr double kMinGainDb = -60.0;
inline constexpr double kMaxGainDb = 30.0;
inline constexpr double kDefaultGainDb = 0.0;
inline constexpr double kGainStepDb = 0.01;
inline constexpr const char* kGainUnit = "dB";

}  // namespace tarvel
