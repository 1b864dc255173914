#!/usr/bin/env bash
# Kills renders and appends at random moments with SIGKILL and counts what is
# left behind: outputs that are neither the older file nor a whole new one,
# and temporary files. Renders of both programs write one note over and over
# in one folder; appends grow one song in another. After the kills the
# script waits past the margin that protects writers on other machines and
# writes one more note and one more append, which remove what the dead
# processes left.
#
#   scripts/kill-test.sh BIN_DIR [KILLS] [notes|appends]
#
# KILLS defaults to 1000; "notes" or "appends" kills only those (both take
# turns by default). BIN_DIR holds kestrand and kestrandjob. Prints the figures; exits with 1 when
# an output was cut off or leftovers remain at the end.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: $0 BIN_DIR [KILLS]" >&2; exit 2; }
bin=$(cd "$1" && pwd) || exit 2
kills=${2:-1000}
only=${3:-}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/notes" "$work/song"
for folder in notes song; do cp "$repo/voice/a.wav" "$repo/voice/a_wav.frq" "$work/$folder/"; done
cd "$work" || exit 2

# A whole WAV: the header's sizes match the file's length.
whole() {
  local size riff data
  size=$(stat -c %s "$1") || return 1
  [ "$size" -ge 44 ] && [ "$(head -c 4 "$1")" = RIFF ] || return 1
  read -r riff < <(od -An -tu4 -j4 -N4 "$1")
  read -r data < <(od -An -tu4 -j40 -N4 "$1")
  [ "$((riff + 8))" -eq "$size" ] && [ "$((data + 44))" -eq "$size" ]
}
# Temporary files of this program, and those of its earlier versions (the output's name plus ".tmp" and a number).
leftovers() { find notes song -maxdepth 1 \( -name '.kestrand-*' -o -name '*.tmp[0-9]*' \) | wc -l; }
note() { "$bin/kestrand" a.wav out.wav A4 100 n 0 300 50 0 100 0 '!120' AA; }
job() { "$bin/kestrandjob" a.wav out.wav 300 A4 100; }
append() { "$bin/kestrandjob" -fi=a.wav -fo=note.wav -l=300 -t=C4 -overlap=20 -ft=song.wav; }

head -c 3000 /dev/zero >notes/out.wav
(cd song && append >/dev/null 2>&1)
broken=0
landed=0
start=$SECONDS
for i in $(seq 1 "$kills"); do
  kind=$((i % 3))
  [ "$only" = notes ] && kind=$((i % 2))
  [ "$only" = appends ] && kind=2
  case $kind in
    0) (cd notes && exec "$bin/kestrand" a.wav out.wav A4 100 n 0 300 50 0 100 0 '!120' AA >/dev/null 2>&1) & ;;
    1) (cd notes && exec "$bin/kestrandjob" a.wav out.wav 300 A4 100 >/dev/null 2>&1) & ;;
    2) (cd song && exec "$bin/kestrandjob" -fi=a.wav -fo=note.wav -l=300 -t=C4 -overlap=20 -ft=song.wav >/dev/null 2>&1) & ;;
  esac
  pid=$!
  # Most renders here end within 15 ms; the kill comes at any moment of that.
  sleep "0.$(printf '%03d' $((RANDOM % 16)))"
  kill -9 "$pid" 2>/dev/null && landed=$((landed + 1))
  wait "$pid" 2>/dev/null
  if [ "$kind" -eq 2 ]; then
    whole song/song.wav || { broken=$((broken + 1)); echo "kill $i: the song is cut off"; }
  else
    cmp -s notes/out.wav <(head -c 3000 /dev/zero) || whole notes/out.wav ||
      { broken=$((broken + 1)); echo "kill $i: the note is cut off"; }
  fi
done
after=$(leftovers)
echo "notes: $(find notes -maxdepth 1 -name ".kestrand-*" | wc -l), song: $(find song -maxdepth 1 -name ".kestrand-*" | wc -l) (sizes: $(find notes song -maxdepth 1 -name ".kestrand-*" -printf "%s " | head -c 300))"
echo "$kills kills in $((SECONDS - start)) s ($landed while the program ran), $broken cut-off outputs, $after temporary files left"
sleep 31
(cd notes && note >/dev/null 2>&1)
(cd song && append >/dev/null 2>&1)
final=$(leftovers)
echo "after 31 s and one more note and append: $final temporary files left"
[ "$broken" -eq 0 ] && [ "$final" -eq 0 ]
