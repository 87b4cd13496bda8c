#pragma once
// The one place where the adapter meets the effect of its module: the entry
// asks the effect for a new instance through MakePlugin and hands the host
// the instance's AEffect record.

#include <memory>

#include "vst/IPlugVST.h"

namespace tarvel {

// Builds one instance of the module's effect for the host's callback, or
// answers null when the process can hold no further instance. Called only by
// the entry, on the host's thread, inside the entry lock; allocates.
std::unique_ptr<IPlugVST> MakePlugin(audioMasterCallback hostCallback);

}  // namespace tarvel
