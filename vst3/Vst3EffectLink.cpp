#include "vst3/Vst3EffectLink.h"

#include "effect/PluginFactory.h"

namespace tarvel::vst3 {

std::unique_ptr<IPlugBase> MakeVst3Effect(EffectHostLink& link) { return MakePlugin(&link); }

}  // namespace tarvel::vst3
