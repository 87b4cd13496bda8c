#pragma once
// The adapter the effect of the LV2 module derives from (see
// vst/adapter/TarvelAdapter.h for what every adapter room's header of this
// name declares).

#include "lv2/IPlugLV2.h"

namespace tarvel {

using TarvelAdapterBase = IPlugLV2;
using TarvelHostArgument = const Lv2Host&;

}  // namespace tarvel
