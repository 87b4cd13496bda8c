// The module handle and resources as seen from inside a library: the handle
// names the library (recorded by its load notification on Windows), and the
// font strips are found in the library itself.

#include <gtest/gtest.h>

#include <cstddef>

#include "LoadedLibrary.h"
#include "plugin/ModuleHandle.h"

namespace tarvel {
namespace {

TEST(ModuleHandle, NamesTheLibraryThatHoldsTheCode) {
  test::LoadedLibrary probe(TARVEL_PROBE_LIBRARY);
  ASSERT_TRUE(probe.Loaded()) << TARVEL_PROBE_LIBRARY;
  const auto handleOf = reinterpret_cast<void* (*)()>(probe.Symbol("ProbeModuleHandle"));
  const auto stripSize = reinterpret_cast<std::size_t (*)()>(probe.Symbol("ProbeFontStripSize"));
  ASSERT_TRUE(handleOf && stripSize);

  void* const library = handleOf();
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(library, probe.Base());
  EXPECT_NE(library, ModuleHandle());  // this program's own
  EXPECT_GT(stripSize(), 8u);
}

}  // namespace
}  // namespace tarvel
