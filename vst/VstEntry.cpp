#include "vst/VstEntry.h"

#include <algorithm>

#include "effect/PluginFactory.h"
#include "plugin/AdapterCore.h"
#include "vst/IPlugVST.h"

extern "C" tarvel::AEffect* TARVEL_VSTCALL VSTPluginMain(tarvel::audioMasterCallback hostCallback) {
  using namespace tarvel;
  return GuardedBuild([hostCallback]() -> AEffect* {
    // The instance starts at the core's initial rate; the host sets its own.
    std::unique_ptr<IPlugVST> adapter = IPlugVST::Create(
        hostCallback, [](IHostRequests& host) { return MakePlugin(host, IPlugBase::kInitialSampleRate); });
    if (!adapter) return nullptr;
    adapter->Plug().AddDefaultPreset();
    AEffect* effect = adapter->Effect();
    effect->numPrograms = std::max(effect->numPrograms, 1);
    adapter.release();  // from here on the host owns it, until effClose
    return effect;
  });
}
