#!/usr/bin/env bash
# Shared build steps for scripts/run, scripts/test and scripts/bench: the
# MinGW copies of libpng, GoogleTest and Google Benchmark (built once into
# build/cache), the native and Windows CMake builds, and the Wine prefix the
# Windows programs run in.

ZELBOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZELBOR_BUILD=${ZELBOR_BUILD:-$ZELBOR_ROOT/build}
ZELBOR_CACHE=$ZELBOR_BUILD/cache
ZELBOR_MINGW_PREFIX=$ZELBOR_CACHE/mingw
ZELBOR_JOBS=${ZELBOR_JOBS:-$(nproc)}
MINGW_ZLIB=/usr/i686-w64-mingw32/lib/libz.a

# Where the 64-bit MinGW copies of libpng and GoogleTest go.
ZELBOR_MINGW64_PREFIX=$ZELBOR_CACHE/mingw64
MINGW64_ZLIB=/usr/x86_64-w64-mingw32/lib/libz.a

# zelbor_fetch_debian_source PACKAGE: prints the folder of Debian's source
# package PACKAGE, unpacked under build/cache/src. A private sources list
# keeps the system's apt configuration untouched. The source is fetched and
# unpacked once; a folder without its CMakeLists.txt is fetched again.
zelbor_fetch_debian_source() {
  local pkg=$1 src="$ZELBOR_CACHE/src" dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" 2>/dev/null | head -n 1)
  if [ -z "$dir" ] || [ ! -f "$dir/CMakeLists.txt" ]; then
    local apt="$ZELBOR_CACHE/apt"
    mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$src"
    local suite
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    cat > "$apt/sources.list" <<EOT
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main
EOT
    local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=-"
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::Archives=$apt/archives"
                -o "APT::Sandbox::User=root")
    apt-get "${opts[@]}" update -qq >&2
    rm -rf "${src:?}/$pkg"-*
    (cd "$src" && apt-get "${opts[@]}" source --download-only "$pkg" -qq \
       && dpkg-source -x --no-check "$pkg"_*.dsc) >/dev/null
    dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  fi
  [ -n "$dir" ] || { echo "$pkg source not found" >&2; return 1; }
  echo "$dir"
}

# libpng for MinGW, from Debian's libpng1.6 source package, built into each
# architecture's prefix.
#   zelbor_build_mingw_libpng [TOOLCHAIN PREFIX ZLIB TRIPLET BUILD-DIR CFLAGS]
# (defaults: the 32-bit build).
zelbor_build_mingw_libpng() {
  local toolchain=${1:-$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake}
  local prefix=${2:-$ZELBOR_MINGW_PREFIX} zlib=${3:-$MINGW_ZLIB}
  local triplet=${4:-i686-w64-mingw32} build=${5:-$ZELBOR_CACHE/libpng-build}
  local cflags=${6:--msse2 -mfpmath=sse}
  [ -f "$prefix/lib/libpng16.a" ] && return 0
  echo "== building libpng for MinGW ($triplet)"
  local dir
  dir=$(zelbor_fetch_debian_source libpng1.6) || return 1
  cmake -S "$dir" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DCMAKE_C_FLAGS="$cflags" >/dev/null
  cmake --build "$build" -j "$ZELBOR_JOBS" >/dev/null
  cmake --install "$build" >/dev/null
}

# Google Benchmark for MinGW, from Debian's benchmark source package (Debian
# ships it only as a native library), static, into the same prefixes.
#   zelbor_build_mingw_benchmark [TOOLCHAIN PREFIX BUILD-DIR] (defaults: 32-bit)
zelbor_build_mingw_benchmark() {
  local toolchain=${1:-$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake}
  local prefix=${2:-$ZELBOR_MINGW_PREFIX} build=${3:-$ZELBOR_CACHE/benchmark-build}
  [ -f "$prefix/lib/libbenchmark.a" ] && return 0
  echo "== building Google Benchmark for MinGW ($(basename "$toolchain" .cmake))"
  local dir flags=""
  dir=$(zelbor_fetch_debian_source benchmark) || return 1
  case $toolchain in *mingw32*) flags="-msse2 -mfpmath=sse" ;; esac
  # Debian's patches take the version from GIT_VERSION instead of the Git
  # tags; the folder is named after the upstream version. MinGW's libstdc++
  # has std::regex and a steady clock: stating so skips the probes that a
  # cross build can only compile, not run.
  cmake -S "$dir" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DGIT_VERSION="${dir##*/benchmark-}" -DHAVE_STD_REGEX=1 -DHAVE_STEADY_CLOCK=1 \
    -DBUILD_SHARED_LIBS=OFF -DBENCHMARK_ENABLE_TESTING=OFF \
    -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF \
    -DCMAKE_CXX_FLAGS="$flags" >/dev/null || return 1
  cmake --build "$build" -j "$ZELBOR_JOBS" >/dev/null || return 1
  cmake --install "$build" >/dev/null
}

# GoogleTest for MinGW from the sources Debian ships in /usr/src/googletest.
#   zelbor_build_mingw_gtest [TOOLCHAIN PREFIX BUILD-DIR] (defaults: 32-bit)
zelbor_build_mingw_gtest() {
  local toolchain=${1:-$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake}
  local prefix=${2:-$ZELBOR_MINGW_PREFIX} build=${3:-$ZELBOR_CACHE/gtest-build}
  [ -f "$prefix/lib/libgtest.a" ] && return 0
  echo "== building GoogleTest for MinGW ($(basename "$toolchain" .cmake))"
  cmake -S /usr/src/googletest -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF \
    -DCMAKE_CXX_FLAGS="-msse2 -mfpmath=sse" >/dev/null
  cmake --build "$build" -j "$ZELBOR_JOBS" >/dev/null
  cmake --install "$build" >/dev/null
}

# zelbor_configure_build DIR [cmake options...]: configures once, then
# builds incrementally; shows warnings and errors, not the progress lines.
zelbor_configure_build() {
  local dir=$1; shift
  mkdir -p "$dir"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$ZELBOR_ROOT" -B "$dir" "$@" > "$dir/configure.log" 2>&1 \
      || { cat "$dir/configure.log"; return 1; }
  fi
  local rc=0
  # ZELBOR_TARGET, when set, limits the build to that target.
  cmake --build "$dir" -j "$ZELBOR_JOBS" ${ZELBOR_TARGET:+--target "$ZELBOR_TARGET"} \
    > "$dir/build.log" 2>&1 || rc=$?
  grep -E -A3 'warning:|error:|Error ' "$dir/build.log" | head -n 200
  return $rc
}

zelbor_build_native() {
  local dir=$1; shift
  zelbor_configure_build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

# zelbor_build_windows 32|64 DIR [cmake options...]: a Windows build, in
# Release, with that architecture's MinGW libpng and GoogleTest from
# build/cache (mingw/ for 32-bit, mingw64/ for 64-bit).
zelbor_build_windows() {
  local bits=$1 dir=$2; shift 2
  local toolchain=$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake prefix=$ZELBOR_MINGW_PREFIX
  local zlib=$MINGW_ZLIB triplet=i686-w64-mingw32
  if [ "$bits" = 64 ]; then
    toolchain=$ZELBOR_ROOT/cmake/Toolchain-mingw64.cmake prefix=$ZELBOR_MINGW64_PREFIX
    zlib=$MINGW64_ZLIB triplet=x86_64-w64-mingw32
    zelbor_build_mingw_libpng "$toolchain" "$prefix" "$zlib" "$triplet" \
      "$ZELBOR_CACHE/libpng64-build" "" \
      && zelbor_build_mingw_gtest "$toolchain" "$prefix" "$ZELBOR_CACHE/gtest64-build" || return 1
  else
    zelbor_build_mingw_libpng && zelbor_build_mingw_gtest || return 1
  fi
  zelbor_configure_build "$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZELBOR_MINGW_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DPNG_PNG_INCLUDE_DIR="$prefix/include" -DPNG_LIBRARY="$prefix/lib/libpng16.a" \
    -DCMAKE_BUILD_TYPE=Release -DZELBOR_TOOLS=OFF "$@"
}

# zelbor_build_win32 DIR / zelbor_build_win64 DIR [cmake options...].
zelbor_build_win32() { zelbor_build_windows 32 "$@"; }
zelbor_build_win64() { zelbor_build_windows 64 "$@"; }

# zelbor_wine_start [win32|win64]: a throw-away Wine prefix of that
# architecture (default win32), booted, and the environment that the tests
# and benchmarks run Windows programs in: no debug output, no .NET or HTML
# engine, no debugger. Programs run as "$ZELBOR_WINE" PROGRAM.EXE; the caller
# ends the prefix with zelbor_wine_end (for instance from an EXIT trap).
zelbor_wine_start() {
  export WINEARCH=${1:-win32} WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/zelbor-wine.XXXXXX)
  if [ "$WINEARCH" = win64 ]; then
    # Debian's "wine" prefers the 32-bit loader; a 64-bit prefix and 64-bit
    # programs need the 64-bit one.
    export WINELOADER=/usr/lib/wine/wine64
    ZELBOR_WINE=$WINELOADER
    "$WINELOADER" wineboot.exe -i >/dev/null 2>&1
  else
    unset WINELOADER
    ZELBOR_WINE=wine
    wineboot -i >/dev/null 2>&1
  fi
}

# zelbor_wine_end: stops the prefix's server and removes the prefix.
zelbor_wine_end() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
  unset WINEPREFIX
}

# zelbor_gtest_counts LOG: prints "PASSED FAILED" from a GoogleTest log.
zelbor_gtest_counts() {
  local p f
  p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  echo "${p:-0} ${f:-0}"
}
