#pragma once
// What every format says about Tarvel, in one place: its names, version and
// identities, its channels, the sample rates it is designed for, and the
// table of its parameters (the five band gains in decibels in band order,
// then the bypass). Each adapter, each format's metadata and tarvel-render
// read it from here, so nothing is restated per format. The name, vendor
// and version come from the build (CMakeLists.txt), which also writes them
// into the metadata files it makes.

#include <array>
#include <iterator>

#include "effect/KernelDesign.h"
#include "plugin/Parameter.h"

namespace tarvel {

inline constexpr const char* kEffectName = TARVEL_EFFECT_NAME;
inline constexpr const char* kVendorName = TARVEL_VENDOR_NAME;
inline constexpr int kVersionMajor = TARVEL_VERSION_MAJOR;
inline constexpr int kVersionMinor = TARVEL_VERSION_MINOR;
inline constexpr int kVersionMicro = TARVEL_VERSION_MICRO;

// Four-character codes: the plug-in's own identity and its vendor's, as
// hosts that identify plug-ins by number store them. Never change.
constexpr int FourCharCode(const char (&code)[5]) {
  return static_cast<int>(static_cast<unsigned>(static_cast<unsigned char>(code[0])) << 24 |
                          static_cast<unsigned>(static_cast<unsigned char>(code[1])) << 16 |
                          static_cast<unsigned>(static_cast<unsigned char>(code[2])) << 8 |
                          static_cast<unsigned>(static_cast<unsigned char>(code[3])));
}
inline constexpr int kUniqueId = FourCharCode("Iplg");
inline constexpr int kVendorId = FourCharCode("Kvtm");

// One input to two outputs, or two to two: the stereo pair is always
// processed, a mono input feeding both sides.
inline constexpr const char* kChannelIO = "1-2 2-2";
inline constexpr int kMaxInputs = 2;
inline constexpr int kMaxOutputs = 2;

// The sample rates Tarvel is designed for: from 16 kHz, where every band
// lies below the Nyquist frequency (the 8 kHz band needs 16 kHz), up to 384
// kHz, the highest rate hosts offer (the kernels grow with the rate).
inline constexpr double kMinSampleRate = 16000.0;
inline constexpr double kMaxSampleRate = 384000.0;
constexpr bool IsSupportedSampleRate(double rate) { return rate >= kMinSampleRate && rate <= kMaxSampleRate; }

inline constexpr double kMinGainDb = -60.0;
inline constexpr double kMaxGainDb = 30.0;
inline constexpr double kDefaultGainDb = 0.0;
inline constexpr double kGainStepDb = 0.01;
inline constexpr const char* kGainUnit = "dB";

// One entry per parameter, in the order hosts see them: the five band gains
// in band order, then the bypass (offered where a format has one).
struct ParameterEntry {
  ParameterRole role;
  const char* name;    // as the host shows it
  const char* symbol;  // for formats that need one (letters, digits and '_'); never change
  double minimum;
  double maximum;
  double defaultValue;
  double step;
  const char* unit;
};

inline constexpr ParameterEntry kParameterTable[] = {
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

// The bands' centre frequencies in hertz, half a decade apart from 80 Hz (the
// names round them).
inline constexpr std::array<double, kBandCount> kBandCentresHz = {80.0, 252.98221281347034, 800.0, 2529.8221281347035,
                                                                  8000.0};

}  // namespace tarvel
