#!/usr/bin/env bash
# Renders a kestrandfrq report in a real browser (headless Chromium) to a PNG,
# so that the page can be checked by eye. Installs Debian's chromium (and
# python3, which makes the example samples) when they are missing.
#   scripts/report-screenshot.sh REPORT.html [OUT.png] [WIDTH] [HEIGHT]
# Without a report it makes one: a folder of the bundled syllables plus a few
# samples whose lists the report should flag, analysed by build/kestrandfrq.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

report="${1:-}"
png="${2:-out/report.png}"
width="${3:-1280}"
height="${4:-1600}"

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
missing=()
for p in chromium fonts-dejavu-core python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -z "$report" ]; then
  [ -x build/kestrandfrq ] || scripts/build.sh
  voice="$work/voice"
  mkdir -p "$voice"
  cp voice/*.wav "$voice/"
  # Samples that should be flagged: an octave up (its average is far from the
  # others'), a breath of noise (no pitch at all), a vowel interrupted by noise
  # (a loud stretch without pitch), and a file that is no WAV (failed).
  python3 - "$voice" <<'PY'
import math, random, struct, sys, wave
folder = sys.argv[1]
def write(name, samples, rate=44100):
    with wave.open(f"{folder}/{name}", "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s)))) for s in samples))
def tone(hz, n, amp=9000):
    return [amp * (math.sin(2 * math.pi * hz * i / 44100) + 0.5 * math.sin(4 * math.pi * hz * i / 44100)) for i in range(n)]
random.seed(7)
# The bundled syllables are sung near G4 (392 Hz).
write("octave_up.wav", tone(784.0, 26000))
write("breath.wav", [random.gauss(0, 3000) for _ in range(22050)])
write("noisy_vowel.wav", tone(392.0, 9000) + [random.gauss(0, 9000) for _ in range(9000)] + tone(392.0, 9000))
# A vowel whose pitch halves for a moment: an octave jump in its list.
jump = []
phase = 0.0
for i in range(26000):
    hz = 196.0 if 11000 <= i < 15000 else 392.0
    phase += 2 * math.pi * hz / 44100
    jump.append(9000 * (math.sin(phase) + 0.3 * math.sin(2 * phase)))
write("octave_jump.wav", jump)
open(f"{folder}/broken.wav", "wb").write(b"RIFF\x04\x00\x00\x00JUNK")
PY
  report="$work/report.html"
  build/kestrandfrq --report "$report" "$voice" || true
fi

mkdir -p "$(dirname "$png")"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size="$width,$height" \
  --screenshot="$(realpath -m "$png")" "file://$(realpath "$report")" >/dev/null 2>&1 || true
[ -s "$png" ] || { echo "FAIL: chromium wrote no screenshot"; exit 1; }
echo "$png"
