#pragma once
// The module's exported functions. TARVEL_EXPORT marks them for export (the
// version script or module definition file keeps only these).

#include "vst3/Vst3Abi.h"

extern "C" {
TARVEL_EXPORT tarvel::vst3::IPluginFactory* GetPluginFactory();
}
