// Any bytes as the state stream of the VST3 edition's setState: never a crash
// or a sanitizer report; a refused stream changes nothing; every parameter
// stays finite and in [0, 1] as the controller reports it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Vst3UnderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvel::vst3;
  IComponent& component = fuzz::Component();
  MemoryStream before;
  if (component.getState(&before) != kResultOk) std::abort();
  MemoryStream input(std::vector<std::uint8_t>(data, data + size));
  const tresult result = component.setState(&input);
  if (result != kResultOk && result != kResultFalse) std::abort();
  MemoryStream after;
  if (component.getState(&after) != kResultOk) std::abort();
  if (result == kResultFalse && after.Bytes() != before.Bytes()) std::abort();
  fuzz::CheckParameters();
  return 0;
}
