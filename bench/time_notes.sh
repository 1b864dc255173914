#!/usr/bin/env bash
# Whole-process time per note: runs the program on a scratch copy of the
# bundled voice (its frequency list made once beforehand) and prints the
# median wall time of repeated runs for the usual note shapes, with the load
# average before and after (other work on the machine shows in the figures;
# compare runs taken at a low load).
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
"$program" a.wav warm.wav A4 100 "" 0 550 60 0 100 0 >/dev/null 2>&1

# Median of `runs` runs in milliseconds; the clock is read by the shell
# itself (no extra process inside the measured time).
median_ms() {  # command...
    local times=()
    for ((i = 0; i < runs; i++)); do
        local start=${EPOCHREALTIME/[.,]/}
        "$@" >/dev/null 2>&1
        local end=${EPOCHREALTIME/[.,]/}
        times+=($((end - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f ms", a[int((NR+1)/2)]/1000}'
}

echo "processors: $(nproc)   load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "no arguments (start-up): $(median_ms "$program")"
echo "550 ms note:             $(median_ms "$program" a.wav out.wav A4 100 "" 0 550 60 0 100 0)"
echo "1000 ms note:            $(median_ms "$program" a.wav out.wav A4 100 "" 0 1000 60 0 100 0)"
echo "1000 ms note, N:         $(median_ms "$program" a.wav out.wav A4 100 "N" 0 1000 60 0 100 0)"
echo "1000 ms at 96 kHz:       $(OUTPUT_SAMPLES_PER_SEC=96000 median_ms "$program" a.wav out.wav A4 100 "" 0 1000 60 0 100 0)"
echo "5000 ms note:            $(median_ms "$program" a.wav out.wav A4 100 "" 0 5000 60 0 100 0)"
echo "1000 ms note, bend:      $(median_ms "$program" a.wav out.wav C4 100 "" 0 1000 0 0 100 0 120 AA)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
