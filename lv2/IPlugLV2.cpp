#include "lv2/IPlugLV2.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarvel {

std::unique_ptr<IPlugLV2> IPlugLV2::Create(const PlugFactory& make) {
  std::unique_ptr<IPlugLV2> adapter(new IPlugLV2());
  if (!adapter->Build(make, kBlockSize)) return nullptr;
  const IPlugBase& plug = adapter->Plug();
  adapter->ports = {static_cast<std::uint32_t>(plug.InputChannelCount()),
                    static_cast<std::uint32_t>(plug.OutputChannelCount()),
                    static_cast<std::uint32_t>(plug.ParameterCount()), plug.BypassName() != nullptr};
  adapter->audioInputs.assign(static_cast<std::size_t>(plug.InputChannelCount()), nullptr);
  adapter->audioOutputs.assign(static_cast<std::size_t>(plug.OutputChannelCount()), nullptr);
  adapter->controlInputs.assign(static_cast<std::size_t>(plug.ParameterCount()), nullptr);
  adapter->SizeBypass(kBlockSize);
  return adapter;
}

std::uint32_t IPlugLV2::PortCount() const { return ports.Count(); }

int IPlugLV2::ParameterForPort(std::uint32_t port) const {
  return port >= ports.FirstControl() && port < ports.Latency() ? static_cast<int>(port - ports.FirstControl()) : -1;
}

void IPlugLV2::ConnectPort(std::uint32_t port, void* data) {
  auto* samples = static_cast<float*>(data);
  if (port < ports.audioInputs)
    audioInputs[port] = samples;
  else if (port < ports.FirstControl())
    audioOutputs[port - ports.audioInputs] = samples;
  else if (port < ports.Latency())
    controlInputs[port - ports.FirstControl()] = samples;
  else if (port == ports.Latency())
    latencyOutput = samples;
  else if (ports.enabled && port == ports.Enabled())
    enabledInput = samples;
}

void IPlugLV2::Activate() {
  LockGuard guard(plug->InstanceLock());
  SetActive(true);
  RestartBypass();
  started = false;  // the next run starts afresh
}

void IPlugLV2::Deactivate() { SetActive(false); }

void IPlugLV2::Run(std::uint32_t frames) {
  LockGuard guard(plug->InstanceLock());
  for (int i = 0; i < plug->ParameterCount(); ++i) {
    const float* port = controlInputs[static_cast<std::size_t>(i)];
    if (!port || std::isnan(*port)) continue;
    Parameter* parameter = plug->GetParameter(i);
    const double value = std::clamp(static_cast<double>(*port), parameter->Min(), parameter->Max());
    if (value == parameter->Value()) continue;
    parameter->SetValueClamped(value);
    plug->ParameterChanged(i);
  }
  if (!started) plug->StartAfresh();
  started = true;
  if (latencyOutput) *latencyOutput = static_cast<float>(plug->Latency());
  if (enabledInput && !std::isnan(*enabledInput)) SetBypass(*enabledInput < 0.5f);

  const int total = static_cast<int>(std::min<std::uint32_t>(frames, INT_MAX));
  ProcessWithBypass(audioInputs.data(), audioOutputs.data(), total);
}

void IPlugLV2::SetUiWriter(LV2UI_Write_Function write, LV2UI_Controller controller) {
  uiWrite = write;
  uiController = controller;
}

void IPlugLV2::ReportParameterToHost(int index, double) {
  // The base has set the parameter already; the port takes its real value.
  const Parameter* parameter = plug ? plug->GetParameter(index) : nullptr;
  if (!uiWrite || !parameter) return;
  const auto value = static_cast<float>(parameter->Value());
  uiWrite(uiController, ports.FirstControl() + static_cast<std::uint32_t>(index), sizeof value, 0, &value);
}

}  // namespace tarvel
