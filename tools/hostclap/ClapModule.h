#pragma once
// The host side of a CLAP module: loads a .clap file by path, checks its
// entry's version, initialises it and finds its plug-in factory; deinit and
// unload when the last user lets go. For the CLAP tests and benchmark.

#include <memory>
#include <string>

#include "clap/ClapAbi.h"

namespace tarvel::hostclap {

class ClapModule {
 public:
  // Null with error set when the file cannot be loaded, exports no
  // compatible clap_entry, refuses init or offers no plug-in factory.
  static std::shared_ptr<const ClapModule> Open(const std::string& path, std::string& error);
  ~ClapModule();
  ClapModule(const ClapModule&) = delete;
  ClapModule& operator=(const ClapModule&) = delete;

  const clap_plugin_entry_t& Entry() const { return *entry; }
  const clap_plugin_factory_t& Factory() const { return *factory; }

 private:
  ClapModule() = default;
  void* handle = nullptr;
  const clap_plugin_entry_t* entry = nullptr;
  const clap_plugin_factory_t* factory = nullptr;
  bool initialised = false;
};

// The platform's loader (ClapModule_posix.cpp / ClapModule_win32.cpp).
void* LoadClapBinary(const std::string& path, std::string& error);
void UnloadClapBinary(void* handle);
void* ClapSymbol(void* handle, const char* name);

}  // namespace tarvel::hostclap
