#include "vst3/Vst3EffectLink.h"

#include "vst/PluginFactory.h"

namespace tarvel::vst3 {

namespace {

// The effect speaks to its host through the VST 2.4 callback; the requests
// that matter to a VST3 host are forwarded to the link kept in the record's
// host field. Everything else is answered as by a host without them.
VstIntPtr TARVEL_VSTCALL ForwardRequest(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                        void*, float opt) {
  auto* link = effect ? static_cast<EffectHostLink*>(effect->user) : nullptr;
  if (!link) return 0;
  switch (opcode) {
    case audioMasterBeginEdit:
      link->BeginEdit(index);
      return 1;
    case audioMasterAutomate:
      link->PerformEdit(index, opt);
      return 1;
    case audioMasterEndEdit:
      link->EndEdit(index);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

std::unique_ptr<IPlugBase> MakeVst3Effect(EffectHostLink& link) {
  std::unique_ptr<IPlugVST> plug = MakePlugin(&ForwardRequest);
  if (!plug) return nullptr;
  plug->Effect()->user = &link;
  return plug;
}

}  // namespace tarvel::vst3
