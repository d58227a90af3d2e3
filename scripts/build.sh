#!/usr/bin/env bash
# Shared build steps for scripts/run and scripts/test: the MinGW copies of
# libpng and GoogleTest (built once into build/cache), and the native and
# Win32 CMake builds.

ZELBOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZELBOR_BUILD=${ZELBOR_BUILD:-$ZELBOR_ROOT/build}
ZELBOR_CACHE=$ZELBOR_BUILD/cache
ZELBOR_MINGW_PREFIX=$ZELBOR_CACHE/mingw
ZELBOR_JOBS=${ZELBOR_JOBS:-$(nproc)}
MINGW_ZLIB=/usr/i686-w64-mingw32/lib/libz.a

# Where the 64-bit MinGW copies of libpng and GoogleTest go.
ZELBOR_MINGW64_PREFIX=$ZELBOR_CACHE/mingw64
MINGW64_ZLIB=/usr/x86_64-w64-mingw32/lib/libz.a

# libpng for MinGW, from Debian's libpng1.6 source package. A private
# sources list keeps the system's apt configuration untouched. The source is
# fetched once; each architecture builds it into its own prefix.
#   zelbor_build_mingw_libpng [TOOLCHAIN PREFIX ZLIB TRIPLET BUILD-DIR CFLAGS]
# (defaults: the 32-bit build).
zelbor_build_mingw_libpng() {
  local toolchain=${1:-$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake}
  local prefix=${2:-$ZELBOR_MINGW_PREFIX} zlib=${3:-$MINGW_ZLIB}
  local triplet=${4:-i686-w64-mingw32} build=${5:-$ZELBOR_CACHE/libpng-build}
  local cflags=${6:--msse2 -mfpmath=sse}
  [ -f "$prefix/lib/libpng16.a" ] && return 0
  echo "== building libpng for MinGW ($triplet)"
  local src="$ZELBOR_CACHE/src" dir
  dir=$(find "$src" -maxdepth 1 -type d -name 'libpng1.6-*' 2>/dev/null | head -n 1)
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
    apt-get "${opts[@]}" update -qq
    rm -rf "$src"/libpng1.6-*
    (cd "$src" && apt-get "${opts[@]}" source --download-only libpng1.6 -qq \
       && dpkg-source -x --no-check libpng1.6_*.dsc >/dev/null)
    dir=$(find "$src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
  fi
  [ -n "$dir" ] || { echo "libpng source not found" >&2; return 1; }
  cmake -S "$dir" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$zlib" -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DCMAKE_C_FLAGS="$cflags" >/dev/null
  cmake --build "$build" -j "$ZELBOR_JOBS" >/dev/null
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

zelbor_build_win32() {
  local dir=$1; shift
  zelbor_build_mingw_libpng && zelbor_build_mingw_gtest || return 1
  zelbor_configure_build "$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake" \
    -DZELBOR_MINGW_PREFIX="$ZELBOR_MINGW_PREFIX" -DCMAKE_PREFIX_PATH="$ZELBOR_MINGW_PREFIX" \
    -DZLIB_LIBRARY="$MINGW_ZLIB" -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include \
    -DPNG_PNG_INCLUDE_DIR="$ZELBOR_MINGW_PREFIX/include" \
    -DPNG_LIBRARY="$ZELBOR_MINGW_PREFIX/lib/libpng16.a" \
    -DCMAKE_BUILD_TYPE=Release -DZELBOR_TOOLS=OFF "$@"
}

# zelbor_build_win64 DIR [cmake options...]: the 64-bit Windows build, in
# Release, with its own MinGW libpng and GoogleTest in build/cache/mingw64.
zelbor_build_win64() {
  local dir=$1; shift
  local toolchain=$ZELBOR_ROOT/cmake/Toolchain-mingw64.cmake
  zelbor_build_mingw_libpng "$toolchain" "$ZELBOR_MINGW64_PREFIX" "$MINGW64_ZLIB" \
    x86_64-w64-mingw32 "$ZELBOR_CACHE/libpng64-build" "" \
    && zelbor_build_mingw_gtest "$toolchain" "$ZELBOR_MINGW64_PREFIX" \
         "$ZELBOR_CACHE/gtest64-build" || return 1
  zelbor_configure_build "$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DZELBOR_MINGW_PREFIX="$ZELBOR_MINGW64_PREFIX" -DCMAKE_PREFIX_PATH="$ZELBOR_MINGW64_PREFIX" \
    -DZLIB_LIBRARY="$MINGW64_ZLIB" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    -DPNG_PNG_INCLUDE_DIR="$ZELBOR_MINGW64_PREFIX/include" \
    -DPNG_LIBRARY="$ZELBOR_MINGW64_PREFIX/lib/libpng16.a" \
    -DCMAKE_BUILD_TYPE=Release -DZELBOR_TOOLS=OFF "$@"
}

# zelbor_gtest_counts LOG: prints "PASSED FAILED" from a GoogleTest log.
zelbor_gtest_counts() {
  local p f
  p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  echo "${p:-0} ${f:-0}"
}
