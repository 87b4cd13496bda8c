#pragma once
// The order of an LV2 instance's ports, written once for the adapter that
// connects them (IPlugLV2) and the Turtle that describes them (Lv2Turtle):
// the audio inputs, the audio outputs, one control input per parameter (its
// real value), the latency output and, where the plug-in offers a bypass,
// the lv2:enabled input (0 bypasses).

#include <cstdint>

#include "effect/TarvelParameters.h"

namespace tarvel {

struct Lv2PortLayout {
  std::uint32_t audioInputs;
  std::uint32_t audioOutputs;
  std::uint32_t controls;  // one per parameter
  bool enabled;            // an lv2:enabled port

  constexpr std::uint32_t FirstControl() const { return audioInputs + audioOutputs; }
  constexpr std::uint32_t Latency() const { return FirstControl() + controls; }
  constexpr std::uint32_t Enabled() const { return Latency() + 1; }
  constexpr std::uint32_t Count() const { return Latency() + (enabled ? 2 : 1); }
};

// Tarvel's ports, from its metadata: what its bundle's Turtle describes.
inline constexpr Lv2PortLayout kTarvelPorts{kMaxInputs, kMaxOutputs, kBandCount, true};

}  // namespace tarvel
