#!/usr/bin/env bash
# Installs what is missing, builds kestrand and renders a few notes from the
# bundled voice sample voice/a.wav into out/*.wav, then sings a short melody
# over the bundled syllables into out/melody.wav with kestrandjob.
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

# A melody of twelve notes, built note by note into one growing file: each
# note is mixed onto the song's end with a 40 ms overlap (legato), and the
# long note before the last gets a scoop up into its pitch (a pitch bend).
rm -f out/melody.wav
scoop=$(awk 'BEGIN { for (k = 0; k <= 48; k++) printf "%d ", (k < 24 ? -150 * (24 - k) / 24 : 0) }' |
  build/kestrandpitch encode std 0)
# syllable tone length(ms) consonant(ms, kept unstretched) pitch-bend
melody=(
  "la C4 360 0" "la D4 360 0" "ma E4 360 0" "la C4 360 0"
  "i E4 360 0" "ka F4 360 0" "su G4 720 150" "a E4 360 0"
  "ma F4 360 0" "la D4 360 0" "a G4 720 0 $scoop" "la C4 900 0"
)
for note in "${melody[@]}"; do
  read -r syllable tone length consonant bend <<<"$note"
  build/kestrandjob -af examples/melody_note.txt -voicefile="voice/$syllable.wav" -tone="$tone" \
    -length="$length" -voicefixed1="$consonant" ${bend:+-pitchbend="00,$bend"} >/dev/null
done
rm -f out/melody_note.wav

ls -l out/*.wav
echo "Rendered notes are in $(pwd)/out/; out/melody.wav sings a short phrase."
