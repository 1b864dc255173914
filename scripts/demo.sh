#!/usr/bin/env bash
# Installs what is missing, builds kestrand and renders a few notes from the
# bundled voice sample voice/a.wav into out/*.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
mkdir -p out
install -m 644 voice/a.wav out/a.wav
k=build/kestrand
$k | head -n 1 || true   # the banner (the program exits with 1 without arguments)
# sample output pitch velocity flags offset length consonant cut-off volume modulation tempo pitch-bend
$k out/a.wav out/a_C4.wav C4 100 "" 0 600 60 0 100 0
$k out/a.wav out/a_E4.wav E4 100 "" 0 600 60 0 100 0
# G4 with a vibrato: the pitch bend swings +-50 cents at about 5.5 Hz (tempo 120, steps of 1/96 beat)
vibrato=$(awk 'BEGIN { for (k = 0; k <= 192; k++) printf "%d ", 50 * sin(2 * 3.14159265 * 5.5 * k * 0.625 / 120) }' |
  build/kestrandpitch encode std 0)
$k out/a.wav out/a_G4_vibrato.wav G4 100 "" 0 1000 60 0 100 0 '!120' "$vibrato"
# E4 with breath and a lower formant (gender) shift
$k out/a.wav out/a_E4_breathy.wav E4 100 "B80g-10" 0 800 60 0 100 0
ls -l out/*.wav
echo "Rendered notes are in $(pwd)/out/"
