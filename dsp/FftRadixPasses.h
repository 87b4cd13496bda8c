// FFTPACK's real transform: the radf*/radb* radix passes (the drivers are in
// FftPasses.cpp). Each pass keeps the published index names (ido, l1, ip, ...) and
// reads like its butterfly; the small accessor lambdas stand for the Fortran
// 3-D arrays, shifted to 0-based indices, so the published I - 1, I, IC - 1,
// IC become i - 1, i, ic - 1, ic with i from 2.
//
// A pass's two arrays never overlap, hence __restrict. Internal to the dsp
// library (FftPasses.cpp).

#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "dsp/RealFft.h"

namespace tarvel {
namespace {

using Index = std::size_t;

constexpr double kTwoPi = 6.283185307179586;

// The pass writes its input as the forward radix-2 stage of a length
// 2 * ido * l1 transform: CC(ido, l1, 2) to CH(ido, 2, l1).
void ForwardPass2(Index ido, Index l1, const double* __restrict cc, double* __restrict ch,
                  const double* wa1) {
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + l1 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + 2 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    CH(0, 0, k) = CC(0, k, 0) + CC(0, k, 1);
    CH(ido - 1, 1, k) = CC(0, k, 0) - CC(0, k, 1);
  }
  if (ido < 2) return;
  if (ido > 2) {
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        const Index ic = ido - i;
        const double tr2 = wa1[i - 2] * CC(i - 1, k, 1) + wa1[i - 1] * CC(i, k, 1);
        const double ti2 = wa1[i - 2] * CC(i, k, 1) - wa1[i - 1] * CC(i - 1, k, 1);
        CH(i, 0, k) = CC(i, k, 0) + ti2;
        CH(ic, 1, k) = ti2 - CC(i, k, 0);
        CH(i - 1, 0, k) = CC(i - 1, k, 0) + tr2;
        CH(ic - 1, 1, k) = CC(i - 1, k, 0) - tr2;
      }
    }
    if (ido % 2 == 1) return;
  }
  for (Index k = 0; k < l1; ++k) {
    CH(0, 1, k) = -CC(ido - 1, k, 1);
    CH(ido - 1, 0, k) = CC(ido - 1, k, 0);
  }
}

void ForwardPass3(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2) {
  constexpr double taur = -0.5;
  constexpr double taui = 0.86602540378443864676;  // sqrt(3) / 2
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + l1 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + 3 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double cr2 = CC(0, k, 1) + CC(0, k, 2);
    CH(0, 0, k) = CC(0, k, 0) + cr2;
    CH(0, 2, k) = taui * (CC(0, k, 2) - CC(0, k, 1));
    CH(ido - 1, 1, k) = CC(0, k, 0) + taur * cr2;
  }
  if (ido == 1) return;
  for (Index k = 0; k < l1; ++k) {
    for (Index i = 2; i < ido; i += 2) {
      const Index ic = ido - i;
      const double dr2 = wa1[i - 2] * CC(i - 1, k, 1) + wa1[i - 1] * CC(i, k, 1);
      const double di2 = wa1[i - 2] * CC(i, k, 1) - wa1[i - 1] * CC(i - 1, k, 1);
      const double dr3 = wa2[i - 2] * CC(i - 1, k, 2) + wa2[i - 1] * CC(i, k, 2);
      const double di3 = wa2[i - 2] * CC(i, k, 2) - wa2[i - 1] * CC(i - 1, k, 2);
      const double cr2 = dr2 + dr3;
      const double ci2 = di2 + di3;
      CH(i - 1, 0, k) = CC(i - 1, k, 0) + cr2;
      CH(i, 0, k) = CC(i, k, 0) + ci2;
      const double tr2 = CC(i - 1, k, 0) + taur * cr2;
      const double ti2 = CC(i, k, 0) + taur * ci2;
      const double tr3 = taui * (di2 - di3);
      const double ti3 = taui * (dr3 - dr2);
      CH(i - 1, 2, k) = tr2 + tr3;
      CH(ic - 1, 1, k) = tr2 - tr3;
      CH(i, 2, k) = ti2 + ti3;
      CH(ic, 1, k) = ti3 - ti2;
    }
  }
}

void ForwardPass4(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2, const double* wa3) {
  constexpr double hsqt2 = 0.70710678118654752440;  // 1 / sqrt(2)
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + l1 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + 4 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double tr1 = CC(0, k, 1) + CC(0, k, 3);
    const double tr2 = CC(0, k, 0) + CC(0, k, 2);
    CH(0, 0, k) = tr1 + tr2;
    CH(ido - 1, 3, k) = tr2 - tr1;
    CH(ido - 1, 1, k) = CC(0, k, 0) - CC(0, k, 2);
    CH(0, 2, k) = CC(0, k, 3) - CC(0, k, 1);
  }
  if (ido < 2) return;
  if (ido > 2) {
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        const Index ic = ido - i;
        const double cr2 = wa1[i - 2] * CC(i - 1, k, 1) + wa1[i - 1] * CC(i, k, 1);
        const double ci2 = wa1[i - 2] * CC(i, k, 1) - wa1[i - 1] * CC(i - 1, k, 1);
        const double cr3 = wa2[i - 2] * CC(i - 1, k, 2) + wa2[i - 1] * CC(i, k, 2);
        const double ci3 = wa2[i - 2] * CC(i, k, 2) - wa2[i - 1] * CC(i - 1, k, 2);
        const double cr4 = wa3[i - 2] * CC(i - 1, k, 3) + wa3[i - 1] * CC(i, k, 3);
        const double ci4 = wa3[i - 2] * CC(i, k, 3) - wa3[i - 1] * CC(i - 1, k, 3);
        const double tr1 = cr2 + cr4;
        const double tr4 = cr4 - cr2;
        const double ti1 = ci2 + ci4;
        const double ti4 = ci2 - ci4;
        const double ti2 = CC(i, k, 0) + ci3;
        const double ti3 = CC(i, k, 0) - ci3;
        const double tr2 = CC(i - 1, k, 0) + cr3;
        const double tr3 = CC(i - 1, k, 0) - cr3;
        CH(i - 1, 0, k) = tr1 + tr2;
        CH(ic - 1, 3, k) = tr2 - tr1;
        CH(i, 0, k) = ti1 + ti2;
        CH(ic, 3, k) = ti1 - ti2;
        CH(i - 1, 2, k) = ti4 + tr3;
        CH(ic - 1, 1, k) = tr3 - ti4;
        CH(i, 2, k) = tr4 + ti3;
        CH(ic, 1, k) = tr4 - ti3;
      }
    }
    if (ido % 2 == 1) return;
  }
  for (Index k = 0; k < l1; ++k) {
    const double ti1 = -hsqt2 * (CC(ido - 1, k, 1) + CC(ido - 1, k, 3));
    const double tr1 = hsqt2 * (CC(ido - 1, k, 1) - CC(ido - 1, k, 3));
    CH(ido - 1, 0, k) = tr1 + CC(ido - 1, k, 0);
    CH(ido - 1, 2, k) = CC(ido - 1, k, 0) - tr1;
    CH(0, 1, k) = ti1 - CC(ido - 1, k, 2);
    CH(0, 3, k) = ti1 + CC(ido - 1, k, 2);
  }
}

// cos(2 pi / 5), sin(2 pi / 5), cos(4 pi / 5), sin(4 pi / 5).
constexpr double tr11 = 0.30901699437494745;
constexpr double ti11 = 0.9510565162951535;
constexpr double tr12 = -0.8090169943749475;
constexpr double ti12 = 0.5877852522924731;

void ForwardPass5(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2, const double* wa3, const double* wa4) {
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + l1 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + 5 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double cr2 = CC(0, k, 4) + CC(0, k, 1);
    const double ci5 = CC(0, k, 4) - CC(0, k, 1);
    const double cr3 = CC(0, k, 3) + CC(0, k, 2);
    const double ci4 = CC(0, k, 3) - CC(0, k, 2);
    CH(0, 0, k) = CC(0, k, 0) + cr2 + cr3;
    CH(ido - 1, 1, k) = CC(0, k, 0) + tr11 * cr2 + tr12 * cr3;
    CH(0, 2, k) = ti11 * ci5 + ti12 * ci4;
    CH(ido - 1, 3, k) = CC(0, k, 0) + tr12 * cr2 + tr11 * cr3;
    CH(0, 4, k) = ti12 * ci5 - ti11 * ci4;
  }
  if (ido == 1) return;
  for (Index k = 0; k < l1; ++k) {
    for (Index i = 2; i < ido; i += 2) {
      const Index ic = ido - i;
      const double dr2 = wa1[i - 2] * CC(i - 1, k, 1) + wa1[i - 1] * CC(i, k, 1);
      const double di2 = wa1[i - 2] * CC(i, k, 1) - wa1[i - 1] * CC(i - 1, k, 1);
      const double dr3 = wa2[i - 2] * CC(i - 1, k, 2) + wa2[i - 1] * CC(i, k, 2);
      const double di3 = wa2[i - 2] * CC(i, k, 2) - wa2[i - 1] * CC(i - 1, k, 2);
      const double dr4 = wa3[i - 2] * CC(i - 1, k, 3) + wa3[i - 1] * CC(i, k, 3);
      const double di4 = wa3[i - 2] * CC(i, k, 3) - wa3[i - 1] * CC(i - 1, k, 3);
      const double dr5 = wa4[i - 2] * CC(i - 1, k, 4) + wa4[i - 1] * CC(i, k, 4);
      const double di5 = wa4[i - 2] * CC(i, k, 4) - wa4[i - 1] * CC(i - 1, k, 4);
      const double cr2 = dr2 + dr5;
      const double ci5 = dr5 - dr2;
      const double cr5 = di2 - di5;
      const double ci2 = di2 + di5;
      const double cr3 = dr3 + dr4;
      const double ci4 = dr4 - dr3;
      const double cr4 = di3 - di4;
      const double ci3 = di3 + di4;
      CH(i - 1, 0, k) = CC(i - 1, k, 0) + cr2 + cr3;
      CH(i, 0, k) = CC(i, k, 0) + ci2 + ci3;
      const double tr2 = CC(i - 1, k, 0) + tr11 * cr2 + tr12 * cr3;
      const double ti2 = CC(i, k, 0) + tr11 * ci2 + tr12 * ci3;
      const double tr3 = CC(i - 1, k, 0) + tr12 * cr2 + tr11 * cr3;
      const double ti3 = CC(i, k, 0) + tr12 * ci2 + tr11 * ci3;
      const double tr5 = ti11 * cr5 + ti12 * cr4;
      const double ti5 = ti11 * ci5 + ti12 * ci4;
      const double tr4 = ti12 * cr5 - ti11 * cr4;
      const double ti4 = ti12 * ci5 - ti11 * ci4;
      CH(i - 1, 2, k) = tr2 + tr5;
      CH(ic - 1, 1, k) = tr2 - tr5;
      CH(i, 2, k) = ti2 + ti5;
      CH(ic, 1, k) = ti5 - ti2;
      CH(i - 1, 4, k) = tr3 + tr4;
      CH(ic - 1, 3, k) = tr3 - tr4;
      CH(i, 4, k) = ti3 + ti4;
      CH(ic, 3, k) = ti4 - ti3;
    }
  }
}

// Any odd factor ip. cc is seen as CC(ido, ip, l1), C1(ido, l1, ip) and
// C2(idl1, ip), ch as CH(ido, l1, ip) and CH2(idl1, ip). With ido > 1 the input
// is in cc, ch is working space and the result lands back in cc; with ido = 1
// the input is in ch and the result lands in cc.
void ForwardPassGeneral(Index ido, Index ip, Index l1, Index idl1, double* __restrict cc,
                        double* __restrict ch, const double* wa) {
  auto CC = [=](Index a, Index b, Index c) -> double& { return cc[a + ido * (b + ip * c)]; };
  auto C1 = [=](Index a, Index b, Index c) -> double& { return cc[a + ido * (b + l1 * c)]; };
  auto C2 = [=](Index a, Index b) -> double& { return cc[a + idl1 * b]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };
  auto CH2 = [=](Index a, Index b) -> double& { return ch[a + idl1 * b]; };

  const double arg = kTwoPi / static_cast<double>(ip);
  const double dcp = std::cos(arg);
  const double dsp = std::sin(arg);
  const Index ipph = (ip + 1) / 2;

  if (ido > 1) {
    for (Index ik = 0; ik < idl1; ++ik) CH2(ik, 0) = C2(ik, 0);
    for (Index j = 1; j < ip; ++j) {
      for (Index k = 0; k < l1; ++k) CH(0, k, j) = C1(0, k, j);
    }
    for (Index j = 1, is = 0; j < ip; ++j, is += ido) {
      for (Index k = 0; k < l1; ++k) {
        for (Index i = 2; i < ido; i += 2) {
          CH(i - 1, k, j) = wa[is + i - 2] * C1(i - 1, k, j) + wa[is + i - 1] * C1(i, k, j);
          CH(i, k, j) = wa[is + i - 2] * C1(i, k, j) - wa[is + i - 1] * C1(i - 1, k, j);
        }
      }
    }
    for (Index j = 1; j < ipph; ++j) {
      const Index jc = ip - j;
      for (Index k = 0; k < l1; ++k) {
        for (Index i = 2; i < ido; i += 2) {
          C1(i - 1, k, j) = CH(i - 1, k, j) + CH(i - 1, k, jc);
          C1(i - 1, k, jc) = CH(i, k, j) - CH(i, k, jc);
          C1(i, k, j) = CH(i, k, j) + CH(i, k, jc);
          C1(i, k, jc) = CH(i - 1, k, jc) - CH(i - 1, k, j);
        }
      }
    }
  } else {
    for (Index ik = 0; ik < idl1; ++ik) C2(ik, 0) = CH2(ik, 0);
  }
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      C1(0, k, j) = CH(0, k, j) + CH(0, k, jc);
      C1(0, k, jc) = CH(0, k, jc) - CH(0, k, j);
    }
  }

  double ar1 = 1.0;
  double ai1 = 0.0;
  for (Index l = 1; l < ipph; ++l) {
    const Index lc = ip - l;
    const double ar1h = dcp * ar1 - dsp * ai1;
    ai1 = dcp * ai1 + dsp * ar1;
    ar1 = ar1h;
    for (Index ik = 0; ik < idl1; ++ik) {
      CH2(ik, l) = C2(ik, 0) + ar1 * C2(ik, 1);
      CH2(ik, lc) = ai1 * C2(ik, ip - 1);
    }
    const double dc2 = ar1;
    const double ds2 = ai1;
    double ar2 = ar1;
    double ai2 = ai1;
    for (Index j = 2; j < ipph; ++j) {
      const Index jc = ip - j;
      const double ar2h = dc2 * ar2 - ds2 * ai2;
      ai2 = dc2 * ai2 + ds2 * ar2;
      ar2 = ar2h;
      for (Index ik = 0; ik < idl1; ++ik) {
        CH2(ik, l) += ar2 * C2(ik, j);
        CH2(ik, lc) += ai2 * C2(ik, jc);
      }
    }
  }
  for (Index j = 1; j < ipph; ++j) {
    for (Index ik = 0; ik < idl1; ++ik) CH2(ik, 0) += C2(ik, j);
  }

  for (Index k = 0; k < l1; ++k) {
    for (Index i = 0; i < ido; ++i) CC(i, 0, k) = CH(i, k, 0);
  }
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      CC(ido - 1, 2 * j - 1, k) = CH(0, k, j);
      CC(0, 2 * j, k) = CH(0, k, jc);
    }
  }
  if (ido == 1) return;
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        const Index ic = ido - i;
        CC(i - 1, 2 * j, k) = CH(i - 1, k, j) + CH(i - 1, k, jc);
        CC(ic - 1, 2 * j - 1, k) = CH(i - 1, k, j) - CH(i - 1, k, jc);
        CC(i, 2 * j, k) = CH(i, k, j) + CH(i, k, jc);
        CC(ic, 2 * j - 1, k) = CH(i, k, jc) - CH(i, k, j);
      }
    }
  }
}

// Backward radix-2 stage: CC(ido, 2, l1) to CH(ido, l1, 2).
void InversePass2(Index ido, Index l1, const double* __restrict cc, double* __restrict ch,
                  const double* wa1) {
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + 2 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    CH(0, k, 0) = CC(0, 0, k) + CC(ido - 1, 1, k);
    CH(0, k, 1) = CC(0, 0, k) - CC(ido - 1, 1, k);
  }
  if (ido < 2) return;
  if (ido > 2) {
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        const Index ic = ido - i;
        CH(i - 1, k, 0) = CC(i - 1, 0, k) + CC(ic - 1, 1, k);
        const double tr2 = CC(i - 1, 0, k) - CC(ic - 1, 1, k);
        CH(i, k, 0) = CC(i, 0, k) - CC(ic, 1, k);
        const double ti2 = CC(i, 0, k) + CC(ic, 1, k);
        CH(i - 1, k, 1) = wa1[i - 2] * tr2 - wa1[i - 1] * ti2;
        CH(i, k, 1) = wa1[i - 2] * ti2 + wa1[i - 1] * tr2;
      }
    }
    if (ido % 2 == 1) return;
  }
  for (Index k = 0; k < l1; ++k) {
    CH(ido - 1, k, 0) = CC(ido - 1, 0, k) + CC(ido - 1, 0, k);
    CH(ido - 1, k, 1) = -(CC(0, 1, k) + CC(0, 1, k));
  }
}

void InversePass3(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2) {
  constexpr double taur = -0.5;
  constexpr double taui = 0.86602540378443864676;  // sqrt(3) / 2
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + 3 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double tr2 = CC(ido - 1, 1, k) + CC(ido - 1, 1, k);
    const double cr2 = CC(0, 0, k) + taur * tr2;
    CH(0, k, 0) = CC(0, 0, k) + tr2;
    const double ci3 = taui * (CC(0, 2, k) + CC(0, 2, k));
    CH(0, k, 1) = cr2 - ci3;
    CH(0, k, 2) = cr2 + ci3;
  }
  if (ido == 1) return;
  for (Index k = 0; k < l1; ++k) {
    for (Index i = 2; i < ido; i += 2) {
      const Index ic = ido - i;
      const double tr2 = CC(i - 1, 2, k) + CC(ic - 1, 1, k);
      const double cr2 = CC(i - 1, 0, k) + taur * tr2;
      CH(i - 1, k, 0) = CC(i - 1, 0, k) + tr2;
      const double ti2 = CC(i, 2, k) - CC(ic, 1, k);
      const double ci2 = CC(i, 0, k) + taur * ti2;
      CH(i, k, 0) = CC(i, 0, k) + ti2;
      const double cr3 = taui * (CC(i - 1, 2, k) - CC(ic - 1, 1, k));
      const double ci3 = taui * (CC(i, 2, k) + CC(ic, 1, k));
      const double dr2 = cr2 - ci3;
      const double dr3 = cr2 + ci3;
      const double di2 = ci2 + cr3;
      const double di3 = ci2 - cr3;
      CH(i - 1, k, 1) = wa1[i - 2] * dr2 - wa1[i - 1] * di2;
      CH(i, k, 1) = wa1[i - 2] * di2 + wa1[i - 1] * dr2;
      CH(i - 1, k, 2) = wa2[i - 2] * dr3 - wa2[i - 1] * di3;
      CH(i, k, 2) = wa2[i - 2] * di3 + wa2[i - 1] * dr3;
    }
  }
}

void InversePass4(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2, const double* wa3) {
  constexpr double sqrt2 = 1.41421356237309504880;
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + 4 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double tr1 = CC(0, 0, k) - CC(ido - 1, 3, k);
    const double tr2 = CC(0, 0, k) + CC(ido - 1, 3, k);
    const double tr3 = CC(ido - 1, 1, k) + CC(ido - 1, 1, k);
    const double tr4 = CC(0, 2, k) + CC(0, 2, k);
    CH(0, k, 0) = tr2 + tr3;
    CH(0, k, 1) = tr1 - tr4;
    CH(0, k, 2) = tr2 - tr3;
    CH(0, k, 3) = tr1 + tr4;
  }
  if (ido < 2) return;
  if (ido > 2) {
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        const Index ic = ido - i;
        const double ti1 = CC(i, 0, k) + CC(ic, 3, k);
        const double ti2 = CC(i, 0, k) - CC(ic, 3, k);
        const double ti3 = CC(i, 2, k) - CC(ic, 1, k);
        const double tr4 = CC(i, 2, k) + CC(ic, 1, k);
        const double tr1 = CC(i - 1, 0, k) - CC(ic - 1, 3, k);
        const double tr2 = CC(i - 1, 0, k) + CC(ic - 1, 3, k);
        const double ti4 = CC(i - 1, 2, k) - CC(ic - 1, 1, k);
        const double tr3 = CC(i - 1, 2, k) + CC(ic - 1, 1, k);
        CH(i - 1, k, 0) = tr2 + tr3;
        const double cr3 = tr2 - tr3;
        CH(i, k, 0) = ti2 + ti3;
        const double ci3 = ti2 - ti3;
        const double cr2 = tr1 - tr4;
        const double cr4 = tr1 + tr4;
        const double ci2 = ti1 + ti4;
        const double ci4 = ti1 - ti4;
        CH(i - 1, k, 1) = wa1[i - 2] * cr2 - wa1[i - 1] * ci2;
        CH(i, k, 1) = wa1[i - 2] * ci2 + wa1[i - 1] * cr2;
        CH(i - 1, k, 2) = wa2[i - 2] * cr3 - wa2[i - 1] * ci3;
        CH(i, k, 2) = wa2[i - 2] * ci3 + wa2[i - 1] * cr3;
        CH(i - 1, k, 3) = wa3[i - 2] * cr4 - wa3[i - 1] * ci4;
        CH(i, k, 3) = wa3[i - 2] * ci4 + wa3[i - 1] * cr4;
      }
    }
    if (ido % 2 == 1) return;
  }
  for (Index k = 0; k < l1; ++k) {
    const double ti1 = CC(0, 1, k) + CC(0, 3, k);
    const double ti2 = CC(0, 3, k) - CC(0, 1, k);
    const double tr1 = CC(ido - 1, 0, k) - CC(ido - 1, 2, k);
    const double tr2 = CC(ido - 1, 0, k) + CC(ido - 1, 2, k);
    CH(ido - 1, k, 0) = tr2 + tr2;
    CH(ido - 1, k, 1) = sqrt2 * (tr1 - ti1);
    CH(ido - 1, k, 2) = ti2 + ti2;
    CH(ido - 1, k, 3) = -sqrt2 * (tr1 + ti1);
  }
}

void InversePass5(Index ido, Index l1, const double* __restrict cc, double* __restrict ch, const double* wa1,
                  const double* wa2, const double* wa3, const double* wa4) {
  auto CC = [=](Index a, Index b, Index c) { return cc[a + ido * (b + 5 * c)]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };

  for (Index k = 0; k < l1; ++k) {
    const double ti5 = CC(0, 2, k) + CC(0, 2, k);
    const double ti4 = CC(0, 4, k) + CC(0, 4, k);
    const double tr2 = CC(ido - 1, 1, k) + CC(ido - 1, 1, k);
    const double tr3 = CC(ido - 1, 3, k) + CC(ido - 1, 3, k);
    CH(0, k, 0) = CC(0, 0, k) + tr2 + tr3;
    const double cr2 = CC(0, 0, k) + tr11 * tr2 + tr12 * tr3;
    const double cr3 = CC(0, 0, k) + tr12 * tr2 + tr11 * tr3;
    const double ci5 = ti11 * ti5 + ti12 * ti4;
    const double ci4 = ti12 * ti5 - ti11 * ti4;
    CH(0, k, 1) = cr2 - ci5;
    CH(0, k, 2) = cr3 - ci4;
    CH(0, k, 3) = cr3 + ci4;
    CH(0, k, 4) = cr2 + ci5;
  }
  if (ido == 1) return;
  for (Index k = 0; k < l1; ++k) {
    for (Index i = 2; i < ido; i += 2) {
      const Index ic = ido - i;
      const double ti5 = CC(i, 2, k) + CC(ic, 1, k);
      const double ti2 = CC(i, 2, k) - CC(ic, 1, k);
      const double ti4 = CC(i, 4, k) + CC(ic, 3, k);
      const double ti3 = CC(i, 4, k) - CC(ic, 3, k);
      const double tr5 = CC(i - 1, 2, k) - CC(ic - 1, 1, k);
      const double tr2 = CC(i - 1, 2, k) + CC(ic - 1, 1, k);
      const double tr4 = CC(i - 1, 4, k) - CC(ic - 1, 3, k);
      const double tr3 = CC(i - 1, 4, k) + CC(ic - 1, 3, k);
      CH(i - 1, k, 0) = CC(i - 1, 0, k) + tr2 + tr3;
      CH(i, k, 0) = CC(i, 0, k) + ti2 + ti3;
      const double cr2 = CC(i - 1, 0, k) + tr11 * tr2 + tr12 * tr3;
      const double ci2 = CC(i, 0, k) + tr11 * ti2 + tr12 * ti3;
      const double cr3 = CC(i - 1, 0, k) + tr12 * tr2 + tr11 * tr3;
      const double ci3 = CC(i, 0, k) + tr12 * ti2 + tr11 * ti3;
      const double cr5 = ti11 * tr5 + ti12 * tr4;
      const double ci5 = ti11 * ti5 + ti12 * ti4;
      const double cr4 = ti12 * tr5 - ti11 * tr4;
      const double ci4 = ti12 * ti5 - ti11 * ti4;
      const double dr3 = cr3 - ci4;
      const double dr4 = cr3 + ci4;
      const double di3 = ci3 + cr4;
      const double di4 = ci3 - cr4;
      const double dr5 = cr2 + ci5;
      const double dr2 = cr2 - ci5;
      const double di5 = ci2 - cr5;
      const double di2 = ci2 + cr5;
      CH(i - 1, k, 1) = wa1[i - 2] * dr2 - wa1[i - 1] * di2;
      CH(i, k, 1) = wa1[i - 2] * di2 + wa1[i - 1] * dr2;
      CH(i - 1, k, 2) = wa2[i - 2] * dr3 - wa2[i - 1] * di3;
      CH(i, k, 2) = wa2[i - 2] * di3 + wa2[i - 1] * dr3;
      CH(i - 1, k, 3) = wa3[i - 2] * dr4 - wa3[i - 1] * di4;
      CH(i, k, 3) = wa3[i - 2] * di4 + wa3[i - 1] * dr4;
      CH(i - 1, k, 4) = wa4[i - 2] * dr5 - wa4[i - 1] * di5;
      CH(i, k, 4) = wa4[i - 2] * di5 + wa4[i - 1] * dr5;
    }
  }
}

// Any odd factor ip; same views as ForwardPassGeneral. The input is in cc;
// with ido > 1 the result lands back in cc, with ido = 1 it stays in ch.
void InversePassGeneral(Index ido, Index ip, Index l1, Index idl1, double* __restrict cc,
                        double* __restrict ch, const double* wa) {
  auto CC = [=](Index a, Index b, Index c) -> double& { return cc[a + ido * (b + ip * c)]; };
  auto C1 = [=](Index a, Index b, Index c) -> double& { return cc[a + ido * (b + l1 * c)]; };
  auto C2 = [=](Index a, Index b) -> double& { return cc[a + idl1 * b]; };
  auto CH = [=](Index a, Index b, Index c) -> double& { return ch[a + ido * (b + l1 * c)]; };
  auto CH2 = [=](Index a, Index b) -> double& { return ch[a + idl1 * b]; };

  const double arg = kTwoPi / static_cast<double>(ip);
  const double dcp = std::cos(arg);
  const double dsp = std::sin(arg);
  const Index ipph = (ip + 1) / 2;

  for (Index k = 0; k < l1; ++k) {
    for (Index i = 0; i < ido; ++i) CH(i, k, 0) = CC(i, 0, k);
  }
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      CH(0, k, j) = CC(ido - 1, 2 * j - 1, k) + CC(ido - 1, 2 * j - 1, k);
      CH(0, k, jc) = CC(0, 2 * j, k) + CC(0, 2 * j, k);
    }
  }
  if (ido != 1) {
    for (Index j = 1; j < ipph; ++j) {
      const Index jc = ip - j;
      for (Index k = 0; k < l1; ++k) {
        for (Index i = 2; i < ido; i += 2) {
          const Index ic = ido - i;
          CH(i - 1, k, j) = CC(i - 1, 2 * j, k) + CC(ic - 1, 2 * j - 1, k);
          CH(i - 1, k, jc) = CC(i - 1, 2 * j, k) - CC(ic - 1, 2 * j - 1, k);
          CH(i, k, j) = CC(i, 2 * j, k) - CC(ic, 2 * j - 1, k);
          CH(i, k, jc) = CC(i, 2 * j, k) + CC(ic, 2 * j - 1, k);
        }
      }
    }
  }

  double ar1 = 1.0;
  double ai1 = 0.0;
  for (Index l = 1; l < ipph; ++l) {
    const Index lc = ip - l;
    const double ar1h = dcp * ar1 - dsp * ai1;
    ai1 = dcp * ai1 + dsp * ar1;
    ar1 = ar1h;
    for (Index ik = 0; ik < idl1; ++ik) {
      C2(ik, l) = CH2(ik, 0) + ar1 * CH2(ik, 1);
      C2(ik, lc) = ai1 * CH2(ik, ip - 1);
    }
    const double dc2 = ar1;
    const double ds2 = ai1;
    double ar2 = ar1;
    double ai2 = ai1;
    for (Index j = 2; j < ipph; ++j) {
      const Index jc = ip - j;
      const double ar2h = dc2 * ar2 - ds2 * ai2;
      ai2 = dc2 * ai2 + ds2 * ar2;
      ar2 = ar2h;
      for (Index ik = 0; ik < idl1; ++ik) {
        C2(ik, l) += ar2 * CH2(ik, j);
        C2(ik, lc) += ai2 * CH2(ik, jc);
      }
    }
  }
  for (Index j = 1; j < ipph; ++j) {
    for (Index ik = 0; ik < idl1; ++ik) CH2(ik, 0) += CH2(ik, j);
  }
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      CH(0, k, j) = C1(0, k, j) - C1(0, k, jc);
      CH(0, k, jc) = C1(0, k, j) + C1(0, k, jc);
    }
  }
  if (ido == 1) return;
  for (Index j = 1; j < ipph; ++j) {
    const Index jc = ip - j;
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        CH(i - 1, k, j) = C1(i - 1, k, j) - C1(i, k, jc);
        CH(i - 1, k, jc) = C1(i - 1, k, j) + C1(i, k, jc);
        CH(i, k, j) = C1(i, k, j) + C1(i - 1, k, jc);
        CH(i, k, jc) = C1(i, k, j) - C1(i - 1, k, jc);
      }
    }
  }

  for (Index ik = 0; ik < idl1; ++ik) C2(ik, 0) = CH2(ik, 0);
  for (Index j = 1; j < ip; ++j) {
    for (Index k = 0; k < l1; ++k) C1(0, k, j) = CH(0, k, j);
  }
  for (Index j = 1, is = 0; j < ip; ++j, is += ido) {
    for (Index k = 0; k < l1; ++k) {
      for (Index i = 2; i < ido; i += 2) {
        C1(i - 1, k, j) = wa[is + i - 2] * CH(i - 1, k, j) - wa[is + i - 1] * CH(i, k, j);
        C1(i, k, j) = wa[is + i - 2] * CH(i, k, j) + wa[is + i - 1] * CH(i - 1, k, j);
      }
    }
  }
}

}  // namespace
}  // namespace tarvel
