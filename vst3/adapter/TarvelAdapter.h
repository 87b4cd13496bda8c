#pragma once
// The adapter the effect of the VST3 module derives from (see
// vst/adapter/TarvelAdapter.h for the convention): the core with VST3 answers
// to the host requests, made for the instance that links it to its host.

#include "vst3/Vst3EffectBase.h"

namespace tarvel {

using TarvelAdapterBase = vst3::Vst3EffectBase;
using TarvelHostArgument = vst3::EffectHostLink*;

}  // namespace tarvel
