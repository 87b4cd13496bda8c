#pragma once
// A built plug-in file as a test program loads it: once per program, through
// the test host's Module::Open(path, error); a refusal fails the test (and
// every later call answers null).

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarvel::test {

template <typename Module>
std::shared_ptr<const Module> OpenOnce(const char* path) {
  static const std::shared_ptr<const Module> module = [path] {
    std::string error;
    std::shared_ptr<const Module> opened = Module::Open(path, error);
    if (!opened) ADD_FAILURE() << path << ": " << error;
    return opened;
  }();
  return module;
}

}  // namespace tarvel::test
