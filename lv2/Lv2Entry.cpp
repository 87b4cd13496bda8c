// The LV2 module's plug-in entry: one descriptor whose callbacks resolve the
// instance from the host's handle and delegate to IPlugLV2.

#include <cstdint>
#include <memory>

#include <lv2/core/lv2.h>

#include "effect/PluginFactory.h"
#include "lv2/IPlugLV2.h"
#include "lv2/Lv2Uris.h"
#include "plugin/AdapterCore.h"

namespace tarvel {
namespace {

IPlugLV2* InstanceOf(LV2_Handle handle) { return static_cast<IPlugLV2*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const*) {
  // Null for a rate the engine cannot serve, or with every instance record
  // taken; the host owns the instance until cleanup.
  return GuardedBuild([sampleRate] {
    return IPlugLV2::Create([sampleRate](IHostRequests& host) { return MakePlugin(host, sampleRate); }).release();
  });
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) {
  if (IPlugLV2* plug = InstanceOf(handle)) plug->ConnectPort(port, data);
}

void Activate(LV2_Handle handle) {
  if (IPlugLV2* plug = InstanceOf(handle)) plug->Activate();
}

void Run(LV2_Handle handle, std::uint32_t frames) {
  if (IPlugLV2* plug = InstanceOf(handle)) plug->Run(frames);
}

void Deactivate(LV2_Handle handle) {
  if (IPlugLV2* plug = InstanceOf(handle)) plug->Deactivate();
}

void Cleanup(LV2_Handle handle) { delete InstanceOf(handle); }

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kLv2PluginUri, &Instantiate, &ConnectPort, &Activate,
                                    &Run,          &Deactivate,  &Cleanup,     &ExtensionData};

}  // namespace
}  // namespace tarvel

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
  return index == 0 ? &tarvel::kDescriptor : nullptr;
}
