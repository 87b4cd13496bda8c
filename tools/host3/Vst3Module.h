#pragma once
// A VST3 bundle loaded the way a host loads it: the module binary found
// inside the bundle by path, its load call (ModuleEntry on Linux, InitDll on
// Windows), its factory; the unload call and the unloading when the last
// owner goes.

#include <memory>
#include <string>

#include "vst3/Vst3Abi.h"

namespace tarvel::vst3 {

class Vst3Module {
 public:
  // Loads bundle (".../Tarvel.vst3"). On failure returns null and sets error
  // to a one-line reason.
  static std::shared_ptr<Vst3Module> Open(const std::string& bundle, std::string& error);
  ~Vst3Module();
  Vst3Module(const Vst3Module&) = delete;
  Vst3Module& operator=(const Vst3Module&) = delete;

  IPluginFactory* Factory() const { return factory_; }
  void* Symbol(const char* name) const;

 private:
  Vst3Module() = default;

  void* handle_ = nullptr;
  bool entered_ = false;
  IPluginFactory* factory_ = nullptr;
};

// The platform's part: the binary's path inside a bundle, loading and
// unloading it, and its load and unload calls.
std::string ModuleBinaryPath(const std::string& bundle);
void* LoadModuleBinary(const std::string& path, std::string& error);
void UnloadModuleBinary(void* handle);
void* ModuleSymbol(void* handle, const char* name);
bool CallModuleEntry(void* handle);
void CallModuleExit(void* handle);

}  // namespace tarvel::vst3
