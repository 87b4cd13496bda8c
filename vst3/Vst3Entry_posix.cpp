// Linux hosts call ModuleEntry after loading the module and ModuleExit before
// unloading it. The module keeps no state that needs either, so both agree.

#include "vst3/Vst3Entry.h"

extern "C" {
TARVEL_EXPORT bool ModuleEntry(void*) { return true; }
TARVEL_EXPORT bool ModuleExit() { return true; }
}
