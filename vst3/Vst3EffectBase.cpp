#include "vst3/Vst3EffectBase.h"

namespace tarvel::vst3 {

Vst3EffectBase::Vst3EffectBase(EffectHostLink* newLink, int parameterCount, const char* channelIOText,
                               int presetCount, const char* effectName, const char* productName,
                               const char* vendorName, int vendorVersion, int uniqueId, int vendorId, int latency,
                               bool usesMidi, bool usesChunks, bool isInstrument)
    : IPlugBase(parameterCount, channelIOText, presetCount, effectName, productName, vendorName, vendorVersion,
                uniqueId, vendorId, latency, usesMidi, usesChunks, isInstrument),
      link(newLink) {
  SetInputConnections(0, InputChannelCount(), true);
  SetOutputConnections(0, OutputChannelCount(), true);
  SetBlockSize(1024);
}

void Vst3EffectBase::BeginParameterGesture(int index) {
  if (link) link->BeginEdit(index);
}

void Vst3EffectBase::ReportParameterToHost(int index, double normalized) {
  if (link) link->PerformEdit(index, normalized);
}

void Vst3EffectBase::EndParameterGesture(int index) {
  if (link) link->EndEdit(index);
}

}  // namespace tarvel::vst3
