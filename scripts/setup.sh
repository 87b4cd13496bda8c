#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build and test both
# targets. Idempotent: work already done is skipped on a second run.
set -euo pipefail

DEPS_PREFIX=${TARVEL_DEPS_PREFIX:-/opt/tarvel-deps}
MINGW_PREFIX="$DEPS_PREFIX/mingw64"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config dpkg-dev file
  libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libfftw3-dev
  clang-14 libclang-rt-14-dev llvm-14
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  libz-mingw-w64-dev nasm
  wine64 wine xvfb x11-apps imagemagick
  libfreetype-dev fonts-dejavu-core
  libsndfile1-dev gnuplot-nox
  ardour lsp-plugins-vst
  lv2-dev liblilv-dev lilv-utils jalv lsp-plugins-lv2 jackd2 libjack-jackd2-dev
  libcli11-dev help2man lintian zip
  libx11-dev libxext-dev x11-utils
  audacity qtractor nsis sordi xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Source entries, derived from the machine's own list so that no registry
# host is named here.
SRC_LIST=/etc/apt/sources.list.d/tarvel-deb-src.sources
need_update=0
if [ ! -f "$SRC_LIST" ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$SRC_LIST" >/dev/null
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# Static MinGW builds of libjpeg (v6.2 interface) and libpng from Debian's sources.
TOOLCHAIN="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"
# The newest revision of a source package is sometimes missing from the
# registry; fall back to the earlier revisions it lists.
fetch_source() {  # name, dir
  local pkg=$1 dir=$2 v
  (cd "$dir" && apt-get source -q "$pkg" >/dev/null 2>&1) && return 0
  for v in $(apt-cache showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -rV | uniq); do
    rm -rf "${dir:?}"/*
    (cd "$dir" && apt-get source -q "$pkg=$v" >/dev/null 2>&1) && return 0
  done
  echo "setup: could not download the sources of $pkg" >&2
  return 1
}
build_src() {  # name, stamp, cmake args...
  local pkg=$1 stamp=$2; shift 2
  [ -f "$MINGW_PREFIX/$stamp" ] && return 0
  local work; work=$(mktemp -d)
  fetch_source "$pkg" "$work"
  local src; src=$(find "$work" -maxdepth 1 -mindepth 1 -type d | head -n1)
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$MINGW_PREFIX" "$@" >/dev/null
  cmake --build "$work/build" >/dev/null
  $SUDO cmake --install "$work/build" >/dev/null
  $SUDO touch "$MINGW_PREFIX/$stamp"
  rm -rf "$work"
  echo "setup: built $pkg for MinGW into $MINGW_PREFIX"
}
$SUDO mkdir -p "$MINGW_PREFIX"
build_src libjpeg-turbo .libjpeg-done -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF -DWITH_TURBOJPEG=OFF
build_src libpng1.6 .libpng-done -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_USE_STATIC_LIBS=ON \
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
# libsndfile without external codecs: WAV and AIFF (FLAC would need four more
# cross-built libraries).
build_src libsndfile .libsndfile-done -DBUILD_SHARED_LIBS=OFF -DENABLE_EXTERNAL_LIBS=OFF \
  -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
  -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=ON -DINSTALL_PKGCONFIG_MODULE=OFF -Wno-deprecated

# FFTW for the engine, from Debian's sources: a private static copy for each
# target (position-independent for the Linux module, which hides its symbols),
# with every SIMD set, chosen at run time. No threads library: the engine
# serialises the planner itself.
FFTW_NATIVE_PREFIX="$DEPS_PREFIX/fftw3"
build_fftw() {  # prefix, configure args...
  local prefix=$1; shift
  [ -f "$prefix/.fftw3-done" ] && return 0
  local work; work=$(mktemp -d)
  fetch_source fftw3 "$work"
  local src; src=$(find "$work" -maxdepth 1 -mindepth 1 -type d | head -n1)
  (cd "$src" && ./configure -q --prefix="$prefix" --enable-static --disable-shared \
    --enable-sse2 --enable-avx --enable-avx2 --enable-avx512 --disable-fortran --disable-doc \
    --disable-threads --disable-openmp "$@" >/dev/null && make -s -j2 >/dev/null 2>&1)
  $SUDO mkdir -p "$prefix"
  $SUDO make -s -C "$src" install >/dev/null
  $SUDO touch "$prefix/.fftw3-done"
  rm -rf "$work"
  echo "setup: built fftw3 into $prefix"
}
build_fftw "$FFTW_NATIVE_PREFIX" --with-pic
build_fftw "$MINGW_PREFIX" --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix \
  "CFLAGS=-O2 -Wa,-muse-unaligned-vector-move" --with-our-malloc

# A Wine prefix of our own for the Windows tests.
source "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver -w || true
  echo "setup: created Wine prefix $WINEPREFIX"
fi
echo "setup: done"
