#include "vst3/Vst3View.h"

namespace tarvel::vst3 {

const char* NativeViewType() { return kPlatformTypeX11EmbedWindowID; }

// The X11 window layer paints and reads its connection only when ticked.
bool TicksFromHostTimer() { return true; }

}  // namespace tarvel::vst3
