// Any bytes as a program chunk (first byte odd) or a bank chunk (even)
// through effSetChunk, then the chunk read back through effGetChunk: never a
// crash or a sanitizer report, every parameter finite and in range.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "PluginUnderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvel;
  if (size == 0) return 0;
  AEffect* effect = fuzz::Effect();
  const VstInt32 index = data[0] & 1;  // 0: bank, 1: program
  // A copy of exactly the chunk's bytes, so that any read past them is seen.
  std::vector<std::uint8_t> chunk(data + 1, data + size);
  const VstIntPtr loaded = effect->dispatcher(effect, effSetChunk, index, static_cast<VstIntPtr>(chunk.size()),
                                              chunk.data(), 0.0f);
  if (loaded != 0 && loaded != 1) std::abort();
  fuzz::CheckParameters();

  void* saved = nullptr;
  const VstIntPtr savedSize = effect->dispatcher(effect, effGetChunk, index, 0, &saved, 0.0f);
  if (savedSize <= 0 || !saved) std::abort();  // the state can always be saved
  return 0;
}
