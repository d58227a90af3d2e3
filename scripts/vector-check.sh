#!/usr/bin/env bash
# Checks that in each given module only the group kernels use VEX- or
# EVEX-coded (AVX, AVX-512) instructions: the module runs that code only after
# asking the processor, so such an instruction anywhere else would stop older
# processors.
#   scripts/vector-check.sh MODULE...     prints one line per module, fails on any finding
# Kernel functions are those instantiated for a register type of a group
# kernel (plugin/WideKernel.h over LaneQuad or LaneOcto) and the operations
# of those types: their names mention the type. 512-bit registers may appear
# only in those of LaneOcto.
# In a DLL, no vector move may require alignment either: Windows keeps the
# stack aligned to 16 bytes only, so the assembler turns them into unaligned
# ones.
status=0
for module in "$@"; do
  case $module in
    *.dll) dump=$(i686-w64-mingw32-objdump -d --no-show-raw-insn -C "$module" 2>/dev/null \
             || x86_64-w64-mingw32-objdump -d --no-show-raw-insn -C "$module") ;;
    *) dump=$(objdump -d --no-show-raw-insn -C "$module") ;;
  esac
  # Functions holding an instruction whose mnemonic starts with "v" (every
  # VEX- and EVEX-coded one does; no older one does apart from verr/verw),
  # and those touching a 512-bit register.
  found=$(echo "$dump" | awk -F'\t' '
    /^[0-9a-f]+ <.*>:$/ { fn = $0; next }
    NF >= 2 { split($2, w, " "); if (w[1] ~ /^v/ && w[1] !~ /^ver[rw]$/) print fn }' | sort -u)
  wide=$(echo "$dump" | awk -F'\t' '
    /^[0-9a-f]+ <.*>:$/ { fn = $0; next }
    NF >= 2 && $2 ~ /%zmm/ { print fn }' | sort -u)
  outside=$(echo "$found" | grep -v -E 'LaneQuad|LaneOcto' | grep -v '^$')
  wideOutside=$(echo "$wide" | grep -v 'LaneOcto' | grep -v '^$')
  quads=$(echo "$found" | grep -c 'LaneQuad')
  octets=$(echo "$found" | grep -c 'LaneOcto')
  aligned=0
  case $module in
    *.dll) aligned=$(echo "$dump" | grep -c -E $'\tvmov(ap[sd]|dqa)') ;;
  esac
  if [ -n "$outside" ]; then
    echo "$(basename "$module"): vector instructions outside the group kernels:"
    echo "$outside" | head -n 20
    status=1
  elif [ -n "$wideOutside" ]; then
    echo "$(basename "$module"): 512-bit registers outside the eight-lane kernel:"
    echo "$wideOutside" | head -n 20
    status=1
  elif [ "$aligned" -ne 0 ]; then
    echo "$(basename "$module"): $aligned vector moves that require alignment"
    status=1
  elif [ "$quads" -eq 0 ] || [ "$octets" -eq 0 ]; then
    echo "$(basename "$module"): a group kernel is missing ($quads four-lane, $octets eight-lane functions)"
    status=1
  else
    echo "$(basename "$module"): vector instructions only in the group kernels ($quads four-lane, $octets eight-lane functions)"
  fi
done
exit $status
