// The module's entry, its plug-in factory and the factory's one descriptor.
// init may be called again before deinit (hosts open the module once per
// use); the module keeps nothing that needs either, so they only count.

#include <cstring>
#include <string>

#include "clap/ClapDescriptor.h"
#include "clap/ClapIds.h"
#include "clap/IPlugCLAP.h"
#include "plugin/AdapterCore.h"

namespace tarvel::clap {

namespace {

int initCount = 0;  // under the entry lock

// "major.minor.micro".
const std::string& VersionText() {
  static const std::string text =
      std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." + std::to_string(kVersionMicro);
  return text;
}

std::uint32_t FactoryCount(const clap_plugin_factory_t*) { return 1; }

const clap_plugin_descriptor_t* FactoryDescriptor(const clap_plugin_factory_t*, std::uint32_t index) {
  return index == 0 ? &Descriptor() : nullptr;
}

const clap_plugin_t* FactoryCreate(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
  if (!host || !id || std::strcmp(id, kClapPluginId) != 0 || !ClapVersionIsCompatible(host->clap_version))
    return nullptr;
  // Under the entry lock, and nothing may unwind into the host: an instance
  // that could not be built is no instance. The host owns it until destroy.
  IPlugCLAP* instance = GuardedBuild([host] { return IPlugCLAP::Create(host).release(); });
  return instance ? instance->ClapPlugin() : nullptr;
}

const clap_plugin_factory_t kFactory = {&FactoryCount, &FactoryDescriptor, &FactoryCreate};

bool EntryInit(const char*) {
  LockGuard guard(EntryLock());
  ++initCount;
  return true;
}

void EntryDeinit() {
  LockGuard guard(EntryLock());
  if (initCount > 0) --initCount;
}

const void* EntryGetFactory(const char* id) {
  return id && std::strcmp(id, kClapPluginFactoryId) == 0 ? &kFactory : nullptr;
}

}  // namespace

const clap_plugin_descriptor_t& Descriptor() {
  static const clap_plugin_descriptor_t descriptor = {
      kClapVersion, kClapPluginId, kEffectName, kVendorName, "", "", "", VersionText().c_str(),
      kClapDescription, kClapFeatures};
  return descriptor;
}

}  // namespace tarvel::clap

extern "C" TARVEL_CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
    kClapVersion, &tarvel::clap::EntryInit, &tarvel::clap::EntryDeinit, &tarvel::clap::EntryGetFactory};
