#include "vst/VstEntry.h"

#include <algorithm>

#include "plugin/RecursiveLock.h"
#include "effect/PluginFactory.h"

namespace tarvel {
namespace {

// Serialises whole constructions across threads. Created on first use (the
// language makes that initialisation thread-safe) and destroyed at exit.
RecursiveLock& EntryLock() {
  static RecursiveLock lock;
  return lock;
}

}  // namespace
}  // namespace tarvel

extern "C" tarvel::AEffect* TARVEL_VSTCALL VSTPluginMain(tarvel::audioMasterCallback hostCallback) {
  using namespace tarvel;
  LockGuard guard(EntryLock());
  try {
    std::unique_ptr<IPlugVST> plug = MakePlugin(hostCallback);
    if (!plug) return nullptr;
    plug->AddDefaultPreset();
    AEffect* effect = plug->Effect();
    effect->numPrograms = std::max(effect->numPrograms, 1);
    plug.release();  // from here on the host owns it, until effClose
    return effect;
  } catch (...) {
    // No exception may unwind into the host: an instance that could not be
    // built is no instance.
    return nullptr;
  }
}
