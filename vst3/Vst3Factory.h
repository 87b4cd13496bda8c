#pragma once
// The module's one factory: one audio effect class, "Tarvel" ("Fx|EQ"), made
// as a single component (IPlugVST3). A process-wide object that lives as long
// as the module; its reference count is kept for the host's sake only.

#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

// The class id; it never changes (hosts store it in their sessions).
inline constexpr Uid kTarvelClassId = MakeUid(0x0E43C6BD, 0x4DFC45DF, 0x83F84CA1, 0x3AF1848E);

// The factory, with a reference added for the caller.
IPluginFactory* ModuleFactory();

}  // namespace tarvel::vst3
