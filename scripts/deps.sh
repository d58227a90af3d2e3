#!/usr/bin/env bash
# Installs what the build and tests need on Debian 12, skipping whatever is
# already present. Sourced by scripts/run and scripts/test.

zelbor_missing_packages() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
  echo "${missing[@]}"
}

zelbor_install_deps() {
  local want=(cmake g++ make pkg-config libpng-dev zlib1g-dev googletest libgtest-dev
              libbenchmark-dev libsndfile1-dev g++-mingw-w64-i686 libz-mingw-w64-dev
              g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth dpkg-dev locales zip unzip
              libfreetype-dev libfontconfig-dev fonts-liberation libx11-dev libxext-dev libxtst-dev
              clang-format clang libclang-rt-14-dev python3)
  local missing
  missing=$(zelbor_missing_packages "${want[@]}")
  [ -z "$missing" ] && { zelbor_comma_locale; return 0; }
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages: $missing (run as root to install them)" >&2
    return 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror caught mid-sync serves an index of the wrong size; without the
  # 32-bit index the two architectures' versions no longer match and the
  # Wine packages cannot be installed. Ask again a few times before going on.
  local attempt
  for attempt in 1 2 3 4; do
    apt-get update -qq && break
    [ "$attempt" = 4 ] || { echo "apt-get update failed; asking again in $((attempt * 30)) s" >&2; sleep $((attempt * 30)); }
  done
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing || return 1
  zelbor_comma_locale
}

# A locale whose decimal separator is a comma, so the tests can show that
# files are written and read with "." whatever the process locale.
zelbor_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  [ "$(id -u)" = 0 ] || return 0
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
}
