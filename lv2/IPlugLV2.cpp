#include "lv2/IPlugLV2.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarvel {

IPlugLV2::IPlugLV2(const Lv2Host& host, int parameterCount, const char* channelIOText, int presetCount,
                   const char* newEffectName, const char* newProductName, const char* newVendorName,
                   int newVendorVersion, int newUniqueId, int newVendorId, int newLatency, bool newUsesMidi,
                   bool newUsesChunks, bool newIsInstrument)
    : IPlugBase(parameterCount, channelIOText, presetCount, newEffectName, newProductName, newVendorName,
                newVendorVersion, newUniqueId, newVendorId, newLatency, newUsesMidi, newUsesChunks,
                newIsInstrument),
      audioInputs(static_cast<std::size_t>(InputChannelCount()), nullptr),
      audioOutputs(static_cast<std::size_t>(OutputChannelCount()), nullptr),
      controlInputs(static_cast<std::size_t>(ParameterCount()), nullptr) {
  // The rate is fixed for the instance's life; the effect designs for it in
  // its own constructor.
  SetSampleRate(host.sampleRate);
  SetInputConnections(0, InputChannelCount(), true);
  SetOutputConnections(0, OutputChannelCount(), true);
  SetBlockSize(kBlockSize);
}

std::uint32_t IPlugLV2::FirstControlPort() const {
  return static_cast<std::uint32_t>(audioInputs.size() + audioOutputs.size());
}

std::uint32_t IPlugLV2::LatencyPort() const {
  return FirstControlPort() + static_cast<std::uint32_t>(controlInputs.size());
}

std::uint32_t IPlugLV2::PortCount() const { return LatencyPort() + 1; }

int IPlugLV2::ParameterForPort(std::uint32_t port) const {
  return port >= FirstControlPort() && port < LatencyPort() ? static_cast<int>(port - FirstControlPort()) : -1;
}

void IPlugLV2::ConnectPort(std::uint32_t port, void* data) {
  auto* samples = static_cast<float*>(data);
  if (port < audioInputs.size()) {
    audioInputs[port] = samples;
    return;
  }
  port -= static_cast<std::uint32_t>(audioInputs.size());
  if (port < audioOutputs.size()) {
    audioOutputs[port] = samples;
    return;
  }
  port -= static_cast<std::uint32_t>(audioOutputs.size());
  if (port < controlInputs.size()) {
    controlInputs[port] = samples;
    return;
  }
  if (port == controlInputs.size()) latencyOutput = samples;
}

void IPlugLV2::Activate() {
  LockGuard guard(instanceLock);
  ActivationChanged(true);
  started = false;
}

void IPlugLV2::Deactivate() {
  LockGuard guard(instanceLock);
  ActivationChanged(false);
  ResetProcessing();
}

void IPlugLV2::Run(std::uint32_t frames) {
  LockGuard guard(instanceLock);
  for (int i = 0; i < ParameterCount(); ++i) {
    const float* port = controlInputs[static_cast<std::size_t>(i)];
    if (!port || std::isnan(*port)) continue;
    Parameter* parameter = GetParameter(i);
    const double value = std::clamp(static_cast<double>(*port), parameter->Min(), parameter->Max());
    if (value == parameter->Value()) continue;
    parameter->SetValueClamped(value);
    ParameterChanged(i);
  }
  if (!started) StartAfresh();
  started = true;
  if (latencyOutput) *latencyOutput = static_cast<float>(Latency());

  ConnectInputsFloat(0, InputChannelCount(), audioInputs.data());
  ConnectOutputsFloat(0, OutputChannelCount(), audioOutputs.data());
  ProcessToFloat(static_cast<int>(std::min<std::uint32_t>(frames, INT_MAX)));
}

void IPlugLV2::SetUiWriter(LV2UI_Write_Function write, LV2UI_Controller controller) {
  uiWrite = write;
  uiController = controller;
}

void IPlugLV2::BeginParameterGesture(int) {}

void IPlugLV2::ReportParameterToHost(int index, double) {
  // The base has set the parameter already; the port takes its real value.
  const Parameter* parameter = GetParameter(index);
  if (!uiWrite || !parameter) return;
  const auto value = static_cast<float>(parameter->Value());
  uiWrite(uiController, FirstControlPort() + static_cast<std::uint32_t>(index), sizeof value, 0, &value);
}

void IPlugLV2::EndParameterGesture(int) {}
void IPlugLV2::RequestHostDisplayUpdate() {}
int IPlugLV2::HostSamplePosition() { return 0; }
double IPlugLV2::HostTempo() { return 0.0; }

void IPlugLV2::HostTimeSignature(int& numerator, int& denominator) {
  numerator = 0;
  denominator = 0;
}

void IPlugLV2::EditorResized(int, int) {}
void IPlugLV2::HostSpecificSetup() {}
bool IPlugLV2::SendMidi(const MidiMessage&) { return false; }
bool IPlugLV2::SendMidiList(const ValueList<MidiMessage>&) { return false; }

}  // namespace tarvel
