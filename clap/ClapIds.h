#pragma once
// The identities of Tarvel's CLAP edition. Hosts keep the plug-in id and the
// parameter ids in their sessions: never change them.

#include "effect/TarvelParameters.h"

namespace tarvel::clap {

inline constexpr const char* kClapPluginId = "com.corvane.tarvel";
inline constexpr const char* kClapDescription = "Five-band linear-phase graphic equaliser";
inline constexpr const char* const kClapFeatures[] = {"audio-effect", "equalizer", "stereo", nullptr};
// The bands take the ids 0 to 4 (their index in the parameter table); the
// bypass an id far from them, which no further band will take.
inline constexpr std::uint32_t kClapBypassId = 0x42797020;  // "Byp "

}  // namespace tarvel::clap
