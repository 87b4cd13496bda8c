#pragma once
// The identities of Tarvel's LV2 edition. They are how hosts find the
// plug-in in saved sessions: never change them.

#include "effect/TarvelParameters.h"

namespace tarvel {

inline constexpr const char* kLv2PluginUri = "urn:corvane:tarvel";
inline constexpr const char* kLv2UiUri = "urn:corvane:tarvel#ui";
inline constexpr const char* kLv2InputGroupUri = "urn:corvane:tarvel#in";
inline constexpr const char* kLv2OutputGroupUri = "urn:corvane:tarvel#out";
// LV2 reads an odd minor version, and 0, as an experimental plug-in that hosts
// hide by default. A release maps the project's major.minor to an even minor
// version that grows with it (1.0 -> 200, 1.1 -> 202, 2.0 -> 400) and keeps
// its micro version.
inline constexpr int kLv2MinorVersion = 2 * (100 * kVersionMajor + kVersionMinor);
static_assert(kVersionMinor < 100 && kLv2MinorVersion >= 2 && kLv2MinorVersion % 2 == 0);

// The module's file name inside the bundle tarvel.lv2.
inline constexpr const char* kLv2BinaryName = "tarvel.so";

}  // namespace tarvel
