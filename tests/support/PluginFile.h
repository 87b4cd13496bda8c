#pragma once
// The built plug-in file (TARVEL_PLUGIN_FILE, from the build), loaded once per
// test program through its exported entry the way a host loads it, and
// instances of it driven through the test host.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/OpenOnce.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PluginLibrary.h"

namespace tarvel::test {

inline std::shared_ptr<const PluginLibrary> PluginFile() { return OpenOnce<PluginLibrary>(TARVEL_PLUGIN_FILE); }

// A new instance, opened unless open is false; fails the test when the file
// or the entry refuses.
inline std::unique_ptr<PluginInstance> NewInstance(HostConfig config = {}, bool open = true) {
  const auto library = PluginFile();
  if (!library) return nullptr;
  std::string error;
  auto instance = PluginInstance::Create(library, std::move(config), error, open);
  if (!instance) ADD_FAILURE() << error;
  return instance;
}

}  // namespace tarvel::test
