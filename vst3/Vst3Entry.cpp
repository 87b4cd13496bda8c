#include "vst3/Vst3Entry.h"

#include "vst3/Vst3Factory.h"

extern "C" tarvel::vst3::IPluginFactory* GetPluginFactory() { return tarvel::vst3::ModuleFactory(); }
