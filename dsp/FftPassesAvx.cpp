// The two-channel drivers once more, built with AVX enabled (see
// dsp/CMakeLists.txt). Nothing in this file may run before FftHasAvx() said
// yes, so it holds these two entry points only.

#include "dsp/FftPassTemplates.h"
#include "dsp/FftPasses.h"

namespace tarvel {

void FftForwardLanesAvx(std::int32_t n, FftLanes* data, FftLanes* scratch, const double* twiddles,
                        const std::int32_t* factors) {
  RunForwardPasses(n, data, scratch, twiddles, factors);
}

void FftInverseLanesAvx(std::int32_t n, FftLanes* data, FftLanes* scratch, const double* twiddles,
                        const std::int32_t* factors) {
  RunInversePasses(n, data, scratch, twiddles, factors);
}

}  // namespace tarvel
