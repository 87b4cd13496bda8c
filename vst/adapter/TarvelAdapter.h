#pragma once
// The adapter the effect of the VST 2.4 module derives from. Each format's
// adapter room has a header of this name in a folder of its own on its
// adapter library's include path; the effect is compiled once per module
// against it (tarvel_add_effect in effect/CMakeLists.txt). It names the
// adapter class, which derives from IPlugBase and is constructed from the
// host argument followed by IPlugBase's own arguments, and that argument's
// type, which is what the entry hands to MakePlugin.

#include "vst/IPlugVST.h"

namespace tarvel {

using TarvelAdapterBase = IPlugVST;
using TarvelHostArgument = audioMasterCallback;

}  // namespace tarvel
