// Any text (UTF-16, from the bytes after the first, which picks one of the
// five gains' ids, the bypass's or 5, which is none) through the VST3 edition's
// getParamValueByString: never a crash; an accepted text gives a value in
// [0, 1] that displays again; nothing changes either way.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Vst3UnderFuzz.h"
#include "vst3/IPlugVST3.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvel::vst3;
  if (size == 0) return 0;
  IEditController& controller = fuzz::Controller();
  const ParamID ids[] = {0, 1, 2, 3, 4, IPlugVST3::kBypassId, 5};
  const ParamID id = ids[data[0] % 7];
  std::vector<TChar> text;
  for (std::size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<TChar>(data[i] | data[i + 1] << 8));
  text.push_back(0);
  const ParamValue before = controller.getParamNormalized(id);
  ParamValue value = -1.0;
  const tresult result = controller.getParamValueByString(id, text.data(), value);
  if (result == kResultOk) {
    if (!(value >= 0.0 && value <= 1.0)) std::abort();
    String128 shown{};
    if (controller.getParamStringByValue(id, value, shown) != kResultOk) std::abort();
  } else if (value != -1.0) {
    std::abort();  // a refused text writes nothing
  }
  if (controller.getParamNormalized(id) != before) std::abort();
  fuzz::CheckParameters();
  return 0;
}
