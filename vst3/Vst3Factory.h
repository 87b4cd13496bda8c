#pragma once
// The module's one factory: one audio effect class, the effect's name with
// the sub-categories of the build (vst3/CMakeLists.txt: "Fx|EQ"), made as a
// single component (IPlugVST3). A process-wide object that lives as long as
// the module; its reference count is kept for the host's sake only.

#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

// A class id written as moduleinfo.json writes it: 32 hexadecimal digits,
// the four 32-bit words in order.
consteval Uid UidFromHex(const char (&text)[33]) {
  uint32 words[4] = {};
  for (int i = 0; i < 32; ++i) {
    const char c = text[i];
    const uint32 digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
    words[i / 8] = words[i / 8] << 4 | digit;
  }
  return MakeUid(words[0], words[1], words[2], words[3]);
}

// The class id, from the build's metadata; it never changes (hosts store it
// in their sessions).
inline constexpr Uid kTarvelClassId = UidFromHex(TARVEL_VST3_CLASS_ID);

// The factory, with a reference added for the caller.
IPluginFactory* ModuleFactory();

}  // namespace tarvel::vst3
