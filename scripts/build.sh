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

# libpng for MinGW, from Debian's libpng1.6 source package. A private
# sources list keeps the system's apt configuration untouched.
zelbor_build_mingw_libpng() {
  [ -f "$ZELBOR_MINGW_PREFIX/lib/libpng16.a" ] && return 0
  echo "== building libpng for MinGW"
  local apt="$ZELBOR_CACHE/apt" src="$ZELBOR_CACHE/src"
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
  local dir
  dir=$(find "$src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
  [ -n "$dir" ] || { echo "libpng source not found" >&2; return 1; }
  cmake -S "$dir" -B "$ZELBOR_CACHE/libpng-build" \
    -DCMAKE_TOOLCHAIN_FILE="$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$ZELBOR_MINGW_PREFIX" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY="$MINGW_ZLIB" -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include \
    -DCMAKE_C_FLAGS="-msse2 -mfpmath=sse" >/dev/null
  cmake --build "$ZELBOR_CACHE/libpng-build" -j "$ZELBOR_JOBS" >/dev/null
  cmake --install "$ZELBOR_CACHE/libpng-build" >/dev/null
}

# GoogleTest for MinGW from the sources Debian ships in /usr/src/googletest.
zelbor_build_mingw_gtest() {
  [ -f "$ZELBOR_MINGW_PREFIX/lib/libgtest.a" ] && return 0
  echo "== building GoogleTest for MinGW"
  cmake -S /usr/src/googletest -B "$ZELBOR_CACHE/gtest-build" \
    -DCMAKE_TOOLCHAIN_FILE="$ZELBOR_ROOT/cmake/Toolchain-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$ZELBOR_MINGW_PREFIX" \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF \
    -DCMAKE_CXX_FLAGS="-msse2 -mfpmath=sse" >/dev/null
  cmake --build "$ZELBOR_CACHE/gtest-build" -j "$ZELBOR_JOBS" >/dev/null
  cmake --install "$ZELBOR_CACHE/gtest-build" >/dev/null
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
  cmake --build "$dir" -j "$ZELBOR_JOBS" > "$dir/build.log" 2>&1 || rc=$?
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

# zelbor_gtest_counts LOG: prints "PASSED FAILED" from a GoogleTest log.
zelbor_gtest_counts() {
  local p f
  p=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  f=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$1" | grep -o -E '[0-9]+' | head -n 1)
  echo "${p:-0} ${f:-0}"
}
