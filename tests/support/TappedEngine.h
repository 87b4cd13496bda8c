#pragma once
// The engine at 44.1 kHz with the display tap on an instance record of its
// own, fed after every call the way Tarvel feeds it.

#include <cstdint>

#include "effect/ConvolutionEngine.h"
#include "effect/DisplayTap.h"
#include "effect/InstanceSlot.h"

namespace tarvel::test {

struct TappedEngine {
  TappedEngine() {
    allocated = engine.AllocateEngine(44100.0);
    tap.SetSlot(&slot);
  }
  void Process(const double* const* in, double* const* out, std::int32_t frames) {
    engine.ProcessBlock(in, out, frames);
    tap.Feed(engine, frames);
  }

  InstanceSlot slot;
  ConvolutionEngine engine;
  DisplayTap tap;
  bool allocated = false;
};

}  // namespace tarvel::test
