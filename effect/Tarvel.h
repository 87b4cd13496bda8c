#pragma once
// Tarvel, the five-band linear-phase graphic equaliser as the host sees it:
// five gain parameters in decibels (effect/TarvelParameters.h), a
// record of the process-wide InstanceRegistry, the convolution engine that
// filters the stereo pair, and the editor that pictures its output
// (effect/IDrawControl.h). Each parameter change becomes a linear target
// gain that the engine takes over, crossfaded, at its next block.
//
// Threads and locks as in IPlugBase: every operation below runs under the
// instance lock; ProcessBlock on the audio thread allocates nothing after its
// first call; ResetProcessing may reallocate the engine (dispatcher thread).

#include <cstdint>

#include "effect/ConvolutionEngine.h"
#include "effect/DisplayTap.h"
#include "effect/InstanceSlot.h"
#include "plugin/IPlugBase.h"

namespace tarvel {

// Compiled once for every format: the adapter that owns an instance drives
// it through IPlugBase and answers its requests (IHostRequests).
class Tarvel final : public IPlugBase {
 public:
  // Claims the lowest free registry record, initialises the five gains, builds
  // the editor and allocates the engine at sampleRate (the adapter's choice:
  // the core's initial rate, or the host's where the format gives it), which
  // sets the latency. With every record taken the instance holds none (Slot()
  // is null), and at a rate the engine refuses it has no engine (latency 0):
  // MakePlugin then refuses it. Entry lock held.
  Tarvel(IHostRequests& host, double sampleRate);
  // Frees the text label, the record (its display summary stays with it) and
  // the engine; the base deletes the editor.
  ~Tarvel() override;

  // Re-designs the engine when the host's rate differs from the design rate
  // and reports the new latency; an unchanged rate keeps all audio state.
  void ResetProcessing() override;
  // Gains 0 to 4: targetGain = 10^(dB / 20). Other indexes change nothing.
  void ParameterChanged(int index) override;
  // Filters two channels through the engine and leaves the editor's summary.
  void ProcessBlock(double** inputs, double** outputs, int frames) override;
  // Forgets the audio so far; the gains set until the next frames hold from
  // them, with no crossfade.
  void StartAfresh() override;
  // After the last input the output rings for the latency plus the kernel's
  // second half; a gain change is crossfaded over one engine block.
  int TailSamples() const override;
  // The rates of the metadata's policy (effect/TarvelParameters.h).
  bool SupportsSampleRate(double rate) const override;
  int CrossfadeSamples() const override;

  std::int32_t SlotIndex() const { return slotIndex; }
  InstanceSlot* Slot() const { return slot; }
  const ConvolutionEngine& Engine() const { return engine; }

 private:
  std::int32_t slotIndex = -1;
  InstanceSlot* slot = nullptr;
  ConvolutionEngine engine;
  DisplayTap tap;  // the editor's summary of what the engine emits next
};

}  // namespace tarvel
