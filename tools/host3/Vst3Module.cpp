#include "tools/host3/Vst3Module.h"

namespace tarvel::vst3 {

std::shared_ptr<Vst3Module> Vst3Module::Open(const std::string& bundle, std::string& error) {
  std::shared_ptr<Vst3Module> module(new Vst3Module());
  module->handle_ = LoadModuleBinary(ModuleBinaryPath(bundle), error);
  if (!module->handle_) return nullptr;
  if (!CallModuleEntry(module->handle_)) {
    error = "the module's load call refused";
    return nullptr;
  }
  module->entered_ = true;
  auto getFactory = reinterpret_cast<GetFactoryProc>(module->Symbol("GetPluginFactory"));
  module->factory_ = getFactory ? getFactory() : nullptr;
  if (!module->factory_) {
    error = "it exports no GetPluginFactory, or that gave no factory";
    return nullptr;
  }
  return module;
}

Vst3Module::~Vst3Module() {
  if (factory_) factory_->release();
  if (entered_) CallModuleExit(handle_);
  if (handle_) UnloadModuleBinary(handle_);
}

void* Vst3Module::Symbol(const char* name) const { return ModuleSymbol(handle_, name); }

}  // namespace tarvel::vst3
