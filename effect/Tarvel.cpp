#include "effect/Tarvel.h"

#include <algorithm>
#include <cmath>

#include "effect/IDrawControl.h"
#include "effect/InstanceRegistry.h"
#include "effect/PluginFactory.h"
#include "effect/TarvelParameters.h"

namespace tarvel {

namespace {

constexpr int PackedVersion() { return kVersionMajor << 16 | kVersionMinor << 8 | kVersionMicro; }

double LinearGain(double decibels) { return std::pow(10.0, decibels / 20.0); }

}  // namespace

Tarvel::Tarvel(IHostRequests& host, double sampleRate)
    : IPlugBase(&host, kBandCount, kChannelIO, 0, kEffectName, "", kVendorName, PackedVersion(), kUniqueId,
                kVendorId, 0, false, false, false) {
  LockGuard guard(instanceLock);
  SetSampleRate(sampleRate);

  InstanceRegistry& registry = InstanceRegistry::Instance();
  slotIndex = registry.Claim();
  slot = registry.Slot(slotIndex);
  if (!slot) return;

  int band = 0;
  for (const ParameterEntry& entry : kParameterTable) {
    if (entry.role == ParameterRole::kBypass) {
      OfferBypass(entry.name);
      continue;
    }
    GetParameter(band++)->InitContinuous(entry.name, entry.defaultValue, entry.minimum, entry.maximum, entry.step,
                                         entry.unit);
  }

  BuildEditor(*this, *slot, slotIndex);

  BandGains gains{};
  for (int i = 0; i < kBandCount; ++i) gains[i] = LinearGain(GetParameter(i)->Value());
  engine.ResetGains(gains);
  tap.SetSlot(slot);
  engine.AllocateEngine(SampleRate());
  SetLatency(engine.Latency());
}

Tarvel::~Tarvel() {
  // The record first; the engine is released with its member afterwards, the
  // editor with the base.
  if (slot) ReleaseEditorRecord(*slot);
  InstanceRegistry::Instance().Release(slotIndex);
}

void Tarvel::ResetProcessing() {
  LockGuard guard(instanceLock);
  if (engine.ResetProcessing(SampleRate())) SetLatency(engine.Latency());
}

void Tarvel::ParameterChanged(int index) {
  LockGuard guard(instanceLock);
  if (index < 0 || index >= kBandCount) return;
  engine.SetTargetGain(index, LinearGain(GetParameter(index)->Value()));
}

void Tarvel::ProcessBlock(double** inputs, double** outputs, int frames) {
  engine.ProcessBlock(inputs, outputs, frames);
  tap.Feed(engine, frames);
}

void Tarvel::StartAfresh() {
  LockGuard guard(instanceLock);
  engine.ClearHistory();
}

bool Tarvel::SupportsSampleRate(double rate) const { return IsSupportedSampleRate(rate); }

int Tarvel::TailSamples() const { return engine.Latency() + engine.KernelLength() / 2; }

int Tarvel::CrossfadeSamples() const { return std::max(engine.Hop(), 1); }

std::unique_ptr<IPlugBase> MakePlugin(IHostRequests& host, double sampleRate) {
  if (!IsSupportedSampleRate(sampleRate)) return nullptr;
  auto plug = std::make_unique<Tarvel>(host, sampleRate);
  // Every registry record is in use, or the engine refused the host's rate.
  if (!plug->Slot() || plug->Engine().Latency() == 0) return nullptr;
  return plug;
}

}  // namespace tarvel
