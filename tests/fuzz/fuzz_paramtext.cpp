// Any text typed into a parameter (effString2Parameter), any normalised value
// set by the host, and the display texts read back: never a crash or a
// sanitizer report, every parameter finite and in range, and every display
// text ending inside the 8 bytes a host provides for it.
//
// Input: byte 0 picks the parameter (-1 to 5, so also outside the list),
// bytes 1-4 are a float for setParameter, the rest is the text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PluginUnderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvel;
  if (size < 5) return 0;
  AEffect* effect = fuzz::Effect();
  const VstInt32 index = static_cast<VstInt32>(data[0] % 7) - 1;
  float normalized;
  std::memcpy(&normalized, data + 1, sizeof normalized);
  const std::string text(reinterpret_cast<const char*>(data + 5), size - 5);  // cut at any zero byte

  effect->setParameter(effect, index, normalized);
  fuzz::CheckParameters();
  effect->dispatcher(effect, effString2Parameter, index, 0, const_cast<char*>(text.c_str()), 0.0f);
  fuzz::CheckParameters();

  for (VstInt32 opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel}) {
    char buffer[64];
    std::memset(buffer, 0x7E, sizeof buffer);
    effect->dispatcher(effect, opcode, index, 0, buffer, 0.0f);
    const void* end = std::memchr(buffer, 0, 8);
    const bool untouched = std::all_of(buffer + 8, buffer + sizeof buffer, [](char c) { return c == 0x7E; });
    const bool wrote = buffer[0] != 0x7E;
    if (wrote && (!end || !untouched)) std::abort();
  }
  return 0;
}
