#include "vst3/Vst3View.h"

namespace tarvel::vst3 {

const char* NativeViewType() { return kPlatformTypeHWND; }

// The Win32 window layer ticks from its own window timer.
bool TicksFromHostTimer() { return false; }

}  // namespace tarvel::vst3
