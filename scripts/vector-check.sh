#!/usr/bin/env bash
# Checks that in each given module only the lane kernels use VEX-coded
# (AVX) instructions: the module runs that code only after asking the
# processor, so an AVX instruction anywhere else would stop older processors.
#   scripts/vector-check.sh MODULE...     prints one line per module, fails on any finding
# Kernel functions: those defined in plugin/DelayKernelAvx2.cpp (every one of
# them is compiled for AVX2), read from the file itself, and the operations of
# the register types that only it includes (plugin/LaneQuad.h).
# In a DLL, no AVX move may require alignment either: Windows keeps the stack
# aligned to 16 bytes only, so the assembler turns them into unaligned ones.
source="$(dirname "$0")/../plugin/DelayKernelAvx2.cpp"
functions=$(grep -E '^AVX2_(FUNCTION|INLINE) ' "$source" \
  | sed -E 's/^AVX2_(FUNCTION|INLINE) [^(]*[ *&]([A-Za-z_][A-Za-z0-9_]*)\(.*/\2/' | sort -u | paste -sd'|')
structs=$(grep -oE '^struct [A-Za-z_][A-Za-z0-9_]*' "$source" | cut -d' ' -f2 | sort -u | paste -sd'|')
lanes=LaneQuad
# A kernel function by its own name, a member of a kernel struct, or one that
# takes or gives a register type.
kernel="(<|::| )($functions)(\(|<| \[)|($structs)::|$lanes"
status=0
for module in "$@"; do
  case $module in
    *.dll) dump=$(i686-w64-mingw32-objdump -d --no-show-raw-insn -C "$module" 2>/dev/null \
             || x86_64-w64-mingw32-objdump -d --no-show-raw-insn -C "$module") ;;
    *) dump=$(objdump -d --no-show-raw-insn -C "$module") ;;
  esac
  # Functions holding an instruction whose mnemonic starts with "v" (every
  # VEX-coded one does; no older one does apart from verr/verw).
  found=$(echo "$dump" | awk -F'\t' '
    /^[0-9a-f]+ <.*>:$/ { fn = $0; next }
    NF >= 2 { split($2, w, " "); if (w[1] ~ /^v/ && w[1] !~ /^ver[rw]$/) print fn }' | sort -u)
  outside=$(echo "$found" | grep -v -E "$kernel" | grep -v '^$')
  inside=$(echo "$found" | grep -c -E "$kernel")
  aligned=0
  case $module in
    *.dll) aligned=$(echo "$dump" | grep -c -E $'\tvmov(ap[sd]|dqa)') ;;
  esac
  if [ -n "$outside" ]; then
    echo "$(basename "$module"): AVX instructions outside the lane kernel:"
    echo "$outside" | head -n 20
    status=1
  elif [ "$aligned" -ne 0 ]; then
    echo "$(basename "$module"): $aligned AVX moves that require 32-byte alignment"
    status=1
  elif [ "$inside" -eq 0 ]; then
    echo "$(basename "$module"): no four-lane kernel found"
    status=1
  else
    echo "$(basename "$module"): AVX instructions only in the lane kernel ($inside functions)"
  fi
done
exit $status
