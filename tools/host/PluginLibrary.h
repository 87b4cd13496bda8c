#pragma once
// A plug-in file loaded into the process the way a host loads it: the
// dynamic library and its exported entry. Unloaded when the last owner goes.

#include <memory>
#include <string>

#include "vst/VstAbi.h"

namespace tarvel {

class PluginLibrary {
 public:
  // Loads the file at path (UTF-8). On failure returns null and sets error to
  // a one-line reason.
  static std::shared_ptr<PluginLibrary> Open(const std::string& path, std::string& error);

  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // An exported symbol, or null.
  void* Symbol(const char* name) const;
  // VSTPluginMain, else the older twin main; null when neither is exported.
  VstPluginMainProc Entry() const;
  const std::string& Path() const { return path_; }

 private:
  PluginLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  void* handle_;
  std::string path_;
};

}  // namespace tarvel
