#!/usr/bin/env bash
# The program's own timing of a 1000 ms note (the "This process took" line:
# the synthesis from its buffers to its last frame), median of repeated runs,
# for the flags S1 (one thread), default and N (no frames). A program ending
# in .exe runs under wine. Runs on a scratch copy of the bundled voice with
# its list present.
# Usage: bench/internal_times.sh PROGRAM [runs]
set -euo pipefail
program=$(readlink -f "${1:?path to kestrand or kestrand.exe}")
runs=${2:-21}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/voice/a.wav" "$here/voice/a_wav.frq" "$work/"
chmod u+w "$work"/*
cd "$work"
run=("$program")
if [[ "$program" == *.exe ]]; then
  export WINEDEBUG=-all
  run=(wine "$program")
fi
"${run[@]}" a.wav warm.wav A4 100 "" 0 1000 60 0 100 0 >/dev/null 2>&1 || true

median_ms() {  # flags
  for ((i = 0; i < runs; i++)); do
    "${run[@]}" a.wav out.wav A4 100 "$1" 0 1000 60 0 100 0 2>/dev/null | tr -d '\r' |
      sed -n 's/^This process took \([0-9.]*\) msec.*/\1/p'
  done | sort -n | awk '{a[NR]=$1} END {printf "%.2f ms", a[int((NR+1)/2)]}'
}

printf '%-40s S1 %s  default %s  N %s  (load %s)\n' "$(basename "$(dirname "$program")")/$(basename "$program")" \
  "$(median_ms S1)" "$(median_ms "")" "$(median_ms N)" "$(cut -d' ' -f1 /proc/loadavg)"
