#pragma once
// Windows: that a cycle of opening and closing leaves nothing behind. The
// cycle runs 20 times to settle, then 500 times, after which the process's
// private memory has grown by less than 1 MiB and its GDI and USER objects
// are as many as before.

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

namespace tarvel::test {

template <typename Cycle>
void ExpectFlatResources(const Cycle& cycle) {
  const auto usage = [] {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
  };
  for (int i = 0; i < 20; ++i) cycle();
  const SIZE_T before = usage();
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int i = 0; i < 500; ++i) cycle();
  EXPECT_LT(usage(), before + 1024 * 1024);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
}

}  // namespace tarvel::test
