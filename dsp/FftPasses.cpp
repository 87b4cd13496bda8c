// FFTPACK's real transform: rffti's factorisation and twiddles, and the
// drivers that run the passes (dsp/FftRadixPasses.h) in the factors' order.

#include "dsp/FftPasses.h"

#include <cmath>
#include <cstddef>

#include "dsp/FftRadixPasses.h"

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
  const Index nn = static_cast<Index>(n);
  const std::int32_t nf = factors[1];
  bool inData = true;
  Index l2 = nn;
  Index iw = nn - 1;  // the twiddle blocks add up to n - 1; walk them backwards
  for (std::int32_t k1 = nf - 1; k1 >= 0; --k1) {
    const Index ip = static_cast<Index>(factors[k1 + 2]);
    const Index l1 = l2 / ip;
    const Index ido = nn / l2;
    const Index idl1 = ido * l1;
    iw -= (ip - 1) * ido;
    const double* wa = twiddles + iw;
    double* from = inData ? data : scratch;
    double* to = inData ? scratch : data;
    switch (ip) {
      case 4:
        ForwardPass4(ido, l1, from, to, wa, wa + ido, wa + 2 * ido);
        inData = !inData;
        break;
      case 2:
        ForwardPass2(ido, l1, from, to, wa);
        inData = !inData;
        break;
      case 3:
        ForwardPass3(ido, l1, from, to, wa, wa + ido);
        inData = !inData;
        break;
      case 5:
        ForwardPass5(ido, l1, from, to, wa, wa + ido, wa + 2 * ido, wa + 3 * ido);
        inData = !inData;
        break;
      default:
        if (ido == 1) {
          ForwardPassGeneral(ido, ip, l1, idl1, to, from, wa);
          inData = !inData;
        } else {
          ForwardPassGeneral(ido, ip, l1, idl1, from, to, wa);
        }
        break;
    }
    l2 = l1;
  }
  if (!inData) {
    for (Index i = 0; i < nn; ++i) data[i] = scratch[i];
  }
}

void FftInversePasses(std::int32_t n, double* data, double* scratch, const double* twiddles,
                      const std::int32_t* factors) {
  const Index nn = static_cast<Index>(n);
  const std::int32_t nf = factors[1];
  bool inData = true;
  Index l1 = 1;
  Index iw = 0;
  for (std::int32_t k1 = 0; k1 < nf; ++k1) {
    const Index ip = static_cast<Index>(factors[k1 + 2]);
    const Index l2 = ip * l1;
    const Index ido = nn / l2;
    const Index idl1 = ido * l1;
    const double* wa = twiddles + iw;
    double* from = inData ? data : scratch;
    double* to = inData ? scratch : data;
    switch (ip) {
      case 4:
        InversePass4(ido, l1, from, to, wa, wa + ido, wa + 2 * ido);
        inData = !inData;
        break;
      case 2:
        InversePass2(ido, l1, from, to, wa);
        inData = !inData;
        break;
      case 3:
        InversePass3(ido, l1, from, to, wa, wa + ido);
        inData = !inData;
        break;
      case 5:
        InversePass5(ido, l1, from, to, wa, wa + ido, wa + 2 * ido, wa + 3 * ido);
        inData = !inData;
        break;
      default:
        InversePassGeneral(ido, ip, l1, idl1, from, to, wa);
        if (ido == 1) inData = !inData;
        break;
    }
    l1 = l2;
    iw += (ip - 1) * ido;
  }
  if (!inData) {
    for (Index i = 0; i < nn; ++i) data[i] = scratch[i];
  }
}

}  // namespace tarvel
