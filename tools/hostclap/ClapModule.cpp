#include "tools/hostclap/ClapModule.h"

namespace tarvel::hostclap {

std::shared_ptr<const ClapModule> ClapModule::Open(const std::string& path, std::string& error) {
  std::shared_ptr<ClapModule> module(new ClapModule());
  module->handle = LoadClapBinary(path, error);
  if (!module->handle) return nullptr;
  module->entry = static_cast<const clap_plugin_entry_t*>(ClapSymbol(module->handle, "clap_entry"));
  if (!module->entry) {
    error = path + ": no clap_entry";
    return nullptr;
  }
  if (!ClapVersionIsCompatible(module->entry->clap_version)) {
    error = path + ": an incompatible CLAP version";
    return nullptr;
  }
  if (!module->entry->init || !module->entry->init(path.c_str())) {
    error = path + ": init refused";
    return nullptr;
  }
  module->initialised = true;
  module->factory = static_cast<const clap_plugin_factory_t*>(module->entry->get_factory(kClapPluginFactoryId));
  if (!module->factory) {
    error = path + ": no plug-in factory";
    return nullptr;
  }
  return module;
}

ClapModule::~ClapModule() {
  if (initialised) entry->deinit();
  if (handle) UnloadClapBinary(handle);
}

}  // namespace tarvel::hostclap
