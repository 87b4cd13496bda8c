#pragma once
// Where the VST3 adapter meets the effect of its module: MakeVst3Effect builds
// one instance of the effect, whose requests to the host (the editor's
// parameter gestures and changes) come back through the given link.

#include <memory>

#include "plugin/IPlugBase.h"

namespace tarvel::vst3 {

// The host side as the effect's requests reach it. Called on the GUI thread
// (the editor) with or without the instance lock held; must not allocate.
class EffectHostLink {
 public:
  virtual void BeginEdit(int index) = 0;
  virtual void PerformEdit(int index, double normalized) = 0;
  virtual void EndEdit(int index) = 0;

 protected:
  ~EffectHostLink() = default;
};

// A new effect instance reporting to link (which must outlive it), or null
// when the process can hold no further instance. Host's main thread;
// allocates.
std::unique_ptr<IPlugBase> MakeVst3Effect(EffectHostLink& link);

}  // namespace tarvel::vst3
