#pragma once
// The identities of Tarvel's LV2 edition. They are how hosts find the
// plug-in in saved sessions: never change them.

namespace tarvel {

inline constexpr const char* kLv2PluginUri = "urn:corvane:tarvel";
inline constexpr const char* kLv2UiUri = "urn:corvane:tarvel#ui";
inline constexpr const char* kLv2InputGroupUri = "urn:corvane:tarvel#in";
inline constexpr const char* kLv2OutputGroupUri = "urn:corvane:tarvel#out";
// The module's file name inside the bundle tarvel.lv2.
inline constexpr const char* kLv2BinaryName = "tarvel.so";

}  // namespace tarvel
