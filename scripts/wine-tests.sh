#!/usr/bin/env bash
# Runs every Windows test executable listed by the build under Wine, in a
# throw-away prefix, and prints "wine: N passed, N failed" as its last line.
#   scripts/wine-tests.sh LIST          32-bit executables, 32-bit prefix
#   scripts/wine-tests.sh LIST win64    64-bit executables, 64-bit prefix (wine64)
set -u
list=$1
arch=${2:-win32}
source "$(dirname "$0")/build.sh"
zelbor_wine_start "$arch"
trap zelbor_wine_end EXIT
# Editor text is drawn in "Arial"; Liberation Sans (fonts-liberation) has its
# metrics, so text lands where the layout expects it.
"$ZELBOR_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f \
  >/dev/null 2>&1
# run_exe EXE LOG: runs one test program in its own folder, output to LOG.
run_exe() {
  (cd "$(dirname "$1")" && timeout 1200 "$ZELBOR_WINE" "$1" --gtest_color=no) > "$2" 2>&1
}
passed=0 failed=0
while read -r exe; do
  [ -n "$exe" ] || continue
  name=$(basename "$exe")
  log=$(mktemp)
  run_exe "$exe" "$log"
  rc=$?
  # A program that ran prints at least GoogleTest's opening line, even when it
  # crashes (Wine flushes its output on the way down). One that failed and
  # printed nothing at all never started: Wine's loader now and then cannot
  # set up a process. That is run once more, and said.
  if [ "$rc" -ne 0 ] && [ ! -s "$log" ]; then
    echo "wine: $name printed nothing and exited with $rc; running it once more"
    run_exe "$exe" "$log"
    rc=$?
  fi
  read -r p f < <(zelbor_gtest_counts "$log")
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
    f=1
    echo "wine: $name exited with $rc"
    tail -n 30 "$log"
  elif [ "$f" -gt 0 ]; then
    grep -E '^\[  FAILED  \]|Failure|error:' "$log" | head -n 60
  fi
  echo "wine: $name: $p passed, $f failed"
  passed=$((passed + p)) failed=$((failed + f))
  rm -f "$log"
done < "$list"
echo "wine: $passed passed, $failed failed"
