#include "tools/host/PluginLibrary.h"

namespace tarvel {

VstPluginMainProc PluginLibrary::Entry() const {
  void* entry = Symbol("VSTPluginMain");
  if (entry == nullptr) entry = Symbol("main");
  return reinterpret_cast<VstPluginMainProc>(entry);
}

}  // namespace tarvel
