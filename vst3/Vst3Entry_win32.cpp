// Windows hosts call InitDll after loading the module and ExitDll before
// unloading it. The module keeps no state that needs either (its handle is
// recorded at load), so both agree.

#include "vst3/Vst3Entry.h"

extern "C" {
TARVEL_EXPORT bool InitDll() { return true; }
TARVEL_EXPORT bool ExitDll() { return true; }
}
