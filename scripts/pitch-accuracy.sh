#!/usr/bin/env bash
# Frame-by-frame accuracy of the pitch analysis on low voices.
#
#   scripts/pitch-accuracy.sh [PROGRAM] [speech] [tones] [voices]
#
# PROGRAM is the kestrand program to measure (default build/kestrand). The
# parts (default: all three):
#   speech  low male speech made by festival (kal and ked diphone voices) and
#           espeak-ng at two low pitches, compared with praat's pitch track
#   tones   sines and sawtooth waves at every whole Hz 65..400 at 44.1 kHz and
#           every 5 Hz at 48 and 96 kHz, compared with their frequency
#   voices  synthetic glottal-pulse voices 70..160 Hz with vibrato, jitter,
#           shimmer and a strong second harmonic, compared with their contour
# Prints, per source and in total: the share of voiced frames within 50 cents
# of the reference, the halved and doubled frames, and the share of frames
# the reference calls voiced that the analysis leaves without a pitch.
# Installs the Debian packages it needs when they are missing (as root, or
# with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

program=build/kestrand
if [ $# -gt 0 ] && [ -x "$1" ] && [ -f "$1" ]; then program=$1; shift; fi
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(speech tones voices)
[ -x "$program" ] || { echo "no program at $program: build first (scripts/build.sh)" >&2; exit 1; }

packages=(python3 python3-numpy sox festival festvox-kallpc16k festvox-kdlpc16k espeak-ng praat)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing: ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for part in "${parts[@]}"; do
  echo "== $part"
  /usr/bin/python3 scripts/pitch_accuracy.py "$part" "$work/$part" "$program"
done
