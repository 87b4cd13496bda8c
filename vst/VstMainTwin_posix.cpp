// Older hosts look for the entry under the name "main". C++ reserves that
// name for a program's own entry, so the twin has another name in the source
// and gets the symbol "main" from an assembler label; it jumps straight to
// VSTPluginMain. On Windows the module definition file exports the same
// address under both names instead.

#include "vst/VstEntry.h"

extern "C" TARVEL_EXPORT tarvel::AEffect* TARVEL_VSTCALL VSTPluginMainTwin(
    tarvel::audioMasterCallback hostCallback) __asm__("main");

extern "C" tarvel::AEffect* TARVEL_VSTCALL VSTPluginMainTwin(tarvel::audioMasterCallback hostCallback) {
  return VSTPluginMain(hostCallback);
}
