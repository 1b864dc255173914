#!/usr/bin/env bash
# Whole-process time per note: runs the program on a scratch copy of the
# bundled voice (its frequency list made once beforehand) and prints the
# median wall time of repeated runs for the usual note shapes.
# Usage: bench/time_notes.sh path/to/kestrand [runs]
set -euo pipefail
program=$(readlink -f "${1:?path to the kestrand program}")
runs=${2:-41}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/voice/a.wav" "$work/a.wav"
chmod u+w "$work/a.wav"
cd "$work"
"$program" a.wav warm.wav C4 100 "" 0 550 0 0 100 0 120 AA >/dev/null 2>&1

median_ms() {  # command...
    local times=()
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f ms", a[int((NR+1)/2)]/1000}'
}

echo "processors: $(nproc)"
echo "550 ms note:        $(median_ms "$program" a.wav out.wav C4 100 "" 0 550 0 0 100 0 120 AA)"
echo "1000 ms note:       $(median_ms "$program" a.wav out.wav C4 100 "" 0 1000 0 0 100 0 120 AA)"
echo "1000 ms note, N:    $(median_ms "$program" a.wav out.wav C4 100 "N" 0 1000 0 0 100 0 120 AA)"
echo "1000 ms at 96 kHz:  $(OUTPUT_SAMPLES_PER_SEC=96000 median_ms "$program" a.wav out.wav C4 100 "" 0 1000 0 0 100 0 120 AA)"
echo "5000 ms note:       $(median_ms "$program" a.wav out.wav C4 100 "" 0 5000 0 0 100 0 120 AA)"
