#pragma once
// The exported entry of the plug-in module. A host calls it once per
// instance it wants and talks to that instance only through the record it
// returns. TARVEL_EXPORT (from the CMake target tarvel_vst_entry) marks the
// symbol for export where the platform does that in the source.

#include "vst/VstAbi.h"

// Builds one instance and returns its record, or null when no instance could
// be made. Any thread; concurrent calls build their instances one after the
// other under the process-wide entry lock.
extern "C" TARVEL_EXPORT tarvel::AEffect* TARVEL_VSTCALL VSTPluginMain(tarvel::audioMasterCallback hostCallback);
