// FFTPACK's real transform: rffti's factorisation and twiddles, and the
// drivers (the passes are in FftPassTemplates.h).

#include "dsp/FftPasses.h"

#include <cmath>
#include <cstddef>

#include "dsp/FftPassTemplates.h"

namespace tarvel {

void FftInit(std::int32_t n, double* twiddles, std::int32_t* factors) {
  constexpr std::int32_t kFirstTrials[] = {4, 2, 3, 5};
  std::int32_t nl = n;
  std::int32_t nf = 0;
  std::int32_t ntry = 0;
  for (int j = 0; nl > 1; ++j) {
    ntry = j < 4 ? kFirstTrials[j] : ntry + 2;
    while (nl % ntry == 0) {
      ++nf;
      factors[nf + 1] = ntry;
      nl /= ntry;
      // A lone 2 always leads the list; the twiddle layout follows the list.
      if (ntry == 2 && nf != 1) {
        for (std::int32_t i = nf; i >= 2; --i) factors[i + 1] = factors[i];
        factors[2] = 2;
      }
    }
  }
  factors[0] = n;
  factors[1] = nf;

  const double argh = kTwoPi / static_cast<double>(n);
  Index is = 0;
  Index l1 = 1;
  for (std::int32_t k1 = 0; k1 + 1 < nf; ++k1) {
    const Index ip = static_cast<Index>(factors[k1 + 2]);
    const Index l2 = l1 * ip;
    const Index ido = static_cast<Index>(n) / l2;
    for (Index j = 1; j < ip; ++j) {
      const double argld = static_cast<double>(j * l1) * argh;
      Index i = is;
      double fi = 0.0;
      for (Index ii = 2; ii < ido; ii += 2) {
        fi += 1.0;
        const double arg = fi * argld;
        twiddles[i] = std::cos(arg);
        twiddles[i + 1] = std::sin(arg);
        i += 2;
      }
      is += ido;
    }
    l1 = l2;
  }
}

void FftForwardPasses(std::int32_t n, double* data, double* scratch, const double* twiddles,
                      const std::int32_t* factors) {
  RunForwardPasses(n, data, scratch, twiddles, factors);
}

void FftInversePasses(std::int32_t n, double* data, double* scratch, const double* twiddles,
                      const std::int32_t* factors) {
  RunInversePasses(n, data, scratch, twiddles, factors);
}

}  // namespace tarvel
