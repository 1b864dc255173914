#!/usr/bin/env bash
# Renders a fixed set of cases with two builds of the programs and compares,
# byte for byte, everything a user can observe: every file a case writes
# (notes, frequency lists, appended songs), what it prints on standard output
# and standard error, and the exit status of every program it starts. Only
# the number on the timing line ("This process took ... msec") may differ.
#
#   scripts/compare-renders.sh OLD_BIN_DIR NEW_BIN_DIR
#
# Each directory holds kestrand, kestrandjob and kestrandpitch. Prints one
# line per case and a summary; exits with 1 when any case differs, with 2 on
# wrong usage. Set COMPARE_KEEP=DIR to keep the scratch folders, console
# output and exit statuses of differing cases in DIR for a closer look.

# The case table below holds shell snippets in single quotes that are expanded
# only when a case runs, and the curves it names are used only from there.
# shellcheck disable=SC2016,SC2034
set -uo pipefail

usage() {
  echo "usage: $0 OLD_BIN_DIR NEW_BIN_DIR" >&2
  echo "  each directory holds kestrand, kestrandjob and kestrandpitch" >&2
  exit 2
}
[ $# -eq 2 ] || usage

programs=(kestrand kestrandjob kestrandpitch)
bin_dir() {  # DIR: the absolute path of a directory that holds the three programs
  local dir p
  dir=$(cd "$1" 2>/dev/null && pwd) || { echo "compare-renders: no directory $1" >&2; exit 2; }
  for p in "${programs[@]}"; do
    [ -x "$dir/$p" ] || { echo "compare-renders: $dir/$p is missing or not executable" >&2; exit 2; }
  done
  printf '%s\n' "$dir"
}
old_dir=$(bin_dir "$1") || exit 2
new_dir=$(bin_dir "$2") || exit 2
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
voice=$repo/voice

# The decoders and sox come from Debian packages; install the missing ones.
need_tools() {
  local missing=() tool
  for tool in sox:sox flac:flac oggdec:vorbis-tools; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "compare-renders: installing ${missing[*]}" >&2
  if ! DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get update -qq ||
    ! DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2; then
    echo "compare-renders: could not install ${missing[*]}" >&2
    exit 2
  fi
}
need_tools

# Nothing from the caller's environment may steer the programs: every case
# sets what it needs. A fixed locale keeps the console texts and number
# formats the same on every machine.
unset OUTPUT_SAMPLES_PER_SEC OUTPUT_BITS_PER_SAMPLE loadmodule \
  flacpath lamepath oggdecpath faadpath nerodecpath webgetpath
export LC_ALL=C.UTF-8

root=$(mktemp -d "${TMPDIR:-/tmp}/compare-renders.XXXXXX") || exit 2
trap 'rm -rf "$root"' EXIT
trap 'exit 130' INT TERM
inputs=$root/inputs   # derived samples, wrappers and job files, made once
work=$root/case       # every case runs here, so paths printed are the same for both builds
bin=$root/bin         # a link to the build under test, so argv[0] is the same too
exec 3>&2             # the script's own standard error, for mistakes in the case table

# ---------------------------------------------------------------------------
# Inputs shared by the cases. Each case copies the ones it uses into its own
# folder with `use`, so nothing one case writes beside a sample is seen by
# another case or by the other build.

prepare_inputs() (
  set -e
  mkdir -p "$inputs"
  cd "$inputs"
  v=$voice
  # Other depths and formats of the bundled voice (-D: no dither, -R: repeatable).
  sox -R -D "$v/a.wav" -b 8 -e unsigned-integer a8.wav
  sox -R -D "$v/a.wav" -b 24 -e signed-integer a24.wav
  sox -R -D "$v/ka.wav" -b 32 -e signed-integer ka32.wav
  sox -R -D "$v/la.wav" -b 32 -e floating-point la-float.wav
  sox -R -D "$v/su.wav" -b 64 -e floating-point su-double.wav
  sox -R -D "$v/ma.wav" -b 16 ma.aiff
  sox -R -D -M "$v/i.wav" "$v/la.wav" stereo.wav          # two different syllables, one per channel
  sox -R -D "$v/su.wav" -r 22050 su22k.wav                 # another analysis frame size
  flac --silent --force -o la.flac "$v/la.wav"
  # Damaged samples: not RIFF at all, cut inside the header, cut inside the sound,
  # and a header claiming 12 bits per sample.
  printf 'this is not a sound file, only some text to fill the header space\n' > garbage.wav
  head -c 30 "$v/a.wav" > header-cut.wav
  head -c 10000 "$v/a.wav" > sound-cut.wav
  cp "$v/a.wav" bits12.wav && printf '\x0c' | dd of=bits12.wav bs=1 seek=34 conv=notrunc status=none
  # Decoders the programs start: the wrapper the README shows for oggdec, the
  # same kind for flac, a command that writes a WAV stream, a "downloader".
  cat > oggdec-stdout <<'EOF'
#!/bin/sh
# oggdec-stdout: decode the Ogg file $2 to standard output
exec oggdec -Q -o - "$2"
EOF
  cat > flac-decode <<'EOF'
#!/bin/sh
# flac-decode: flac without its banner and progress
exec flac --silent "$@"
EOF
  cat > dec.exe <<'EOF'
#!/bin/sh
# dec.exe FILE: a decoder command whose standard output is a WAV stream
exec cat "$1"
EOF
  cat > webget <<'EOF'
#!/bin/sh
# webget FILE.uri: "downloads" the recording whose (local) name is the first line
exec cat "$(head -n 1 "$1")"
EOF
  chmod +x oggdec-stdout flac-decode dec.exe webget
  printf 'la.wav' > remote.uri
  # Parameter files for kestrandjob: comments, a quoted value, CR-LF lines.
  cat > job.txt <<'EOF'
# A note of the bundled voice; lines without an equals sign are skipped.
voicefile=ka.wav
outfile="job note.wav"
tone=D#4
length=350
fileoffset=15
velocity=120
gender=-8
breathy=60
flags=P90S2
pitchbend=00,AA#20#AKAUAeAoAo#10#AeAUAK
EOF
  printf 'voicefile=su.wav\r\noutfile=stdin-note.wav\r\ntone=349.23\r\nlength=280\r\nmodulation=50\r\nreverse=1\r\n' > job-stdin.txt
)

# Pitch curves (cents, or gain steps for the intensity), one value per 1/96 beat:
# runs of equal values for the "#n#" repeats, ramps, a vibrato, big jumps.
VIBRATO=$(awk 'BEGIN {
  for (k = 0; k < 24; k++) printf "0 ";
  for (k = 1; k <= 10; k++) printf "%d ", -100 + 10 * k;
  for (k = 0; k < 80; k++) printf "%d ", 40 * sin(2 * 3.14159265 * 5.5 * k * 0.625 / 120);
  for (k = 0; k < 30; k++) printf "-25 " }')
SWELL=$(awk 'BEGIN { for (k = 0; k < 20; k++) printf "0 ";
  for (k = 1; k <= 15; k++) printf "%d ", -10 * k; for (k = 0; k < 60; k++) printf "-150 " }')
# For the codec program: small and large steps, runs, values beyond what the
# texts keep (warnings), fractions that round.
CURVE="0 0 0 0 0 5 10 20 30 40 40 40 40 30 -20 -100 -100 -100 2500 -2500 7 7 7 7 7 7 7 7 7 7 -1.5 2.5 0.4 -3000 12"
# A long curve: a run of 2200 equal values (longer than one run code holds), then a slow wave.
LONG=$(awk 'BEGIN { for (k = 0; k < 2200; k++) printf "3 ";
  for (k = 0; k < 800; k++) printf "%d ", 300 * sin(k / 40) }')

# ---------------------------------------------------------------------------
# Helpers the case table uses. They run inside the case folder.

run() {  # PROGRAM ARGS...: run one program of the build under test, record its exit status
  local program=$1 status
  shift
  timeout 60 "$bin/$program" "$@"
  status=$?
  echo "$program $status" >> "$status_file"
  return "$status"
}
k() { run kestrand "$@"; }
kj() { run kestrandjob "$@"; }
kp() { run kestrandpitch "$@"; }

use() {  # FILE...: copy prepared inputs into the case folder
  local f
  for f; do cp -p -- "$inputs/$f" . || echo "compare-renders: no prepared input $f" >&3; done
}

# One note of the note program with the host's positional arguments. Settings
# name=value replace the defaults; arguments after "--" follow the modulation
# (tempo, pitch bend, second tempo, intensity).
note() {
  local sample=a.wav out=out.wav pitch=C4 vel=100 flags='' offset=0 length=600 cons=60 cutoff=0 volume=100 mod=0
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    case $1 in
      sample=* | out=* | pitch=* | vel=* | flags=* | offset=* | length=* | cons=* | cutoff=* | volume=* | mod=*) local "$1" ;;
      *) echo "compare-renders: note: unknown setting $1" >&3 ;;
    esac
    shift
  done
  [ $# -gt 0 ] && shift
  k "$sample" "$out" "$pitch" "$vel" "$flags" "$offset" "$length" "$cons" "$cutoff" "$volume" "$mod" "$@"
}

text() {  # MODE ORDER VALUES: the pitch text kestrandpitch makes of the values (also shown on stderr)
  local t
  t=$(printf '%s\n' "$3" | kp encode "$1" "$2")
  printf 'pitch text %s %s: %s\n' "$1" "$2" "$t" >&2
  printf '%s' "$t"
}

bend() {  # MODE ORDER VALUES [note settings]: a note bent by the values in that codec
  local mode=$1 order=$2 values=$3 marker='!120'
  shift 3
  [ "$mode" = std ] || marker="!120*$mode$order"
  note "$@" -- "$marker" "$(text "$mode" "$order" "$values")"
}

codec() {  # MODE ORDER VALUES: what kestrandpitch prints encoding the values and decoding its own text
  local t
  t=$(printf '%s\n' "$3" | kp encode "$1" "$2")
  printf '%s\n' "$t"
  kp decode "$1" "$2" "$t"
  echo
}

sing() {  # SAMPLE TONE [options]: one more note of a song, mixed onto the end of song.wav
  local sample=$1 tone=$2
  shift 2
  kj -fi="$sample" -fo="note-$tone.wav" -l=300 -t="$tone" -fileoffset=20 -ft=song.wav "$@"
}

no_list() {  # SAMPLE...: remove the samples' frequency lists, so that a render analyses and stores them
  local s
  for s; do rm -f -- "${s%.wav}_wav.frq"; done
}

# ---------------------------------------------------------------------------
# Running a case with both builds and comparing.

mask_timing() {  # FILE: the console text with the timing number masked
  LC_ALL=C sed -E 's/^(This process took )[0-9]+(\.[0-9]+)?/\1#/' "$1"
}

run_side() {  # SIDE BIN_DIR SNIPPET: run the case snippet with one build into $root/SIDE
  local side=$1 dir=$2 snippet=$3
  ln -sfn "$dir" "$bin"
  rm -rf "$work" "${root:?}/$side" && mkdir "$work" && cp -p -- "$voice"/* "$work"/
  status_file=$root/$side.status
  : > "$status_file"
  (cd "$work" && eval "$snippet") < /dev/null > "$root/$side.out" 2> "$root/$side.err"
  mv "$work" "$root/$side"
}

changed_files() {  # the files that differ between the two scratch folders, one line
  (cd "$root" && LC_ALL=C diff -rq old new) | sed -E \
    -e 's/^Files old\/(.*) and new\/.* differ$/\1/' \
    -e 's/^Only in (old|new)(\/(.*))?: (.*)$/\3\/\4 (only \1)/' -e 's/^\/+//' |
    paste -sd, - | sed 's/,/, /g'
}

cases=0
identical=0
check() {  # NAME SNIPPET: one case
  local name=$1 snippet=$2 what=() files
  cases=$((cases + 1))
  run_side old "$old_dir" "$snippet"
  run_side new "$new_dir" "$snippet"
  cmp -s <(mask_timing "$root/old.out") <(mask_timing "$root/new.out") || what+=("stdout")
  cmp -s <(mask_timing "$root/old.err") <(mask_timing "$root/new.err") || what+=("stderr")
  cmp -s "$root/old.status" "$root/new.status" ||
    what+=("exit status ($(paste -sd' ' "$root/old.status") / $(paste -sd' ' "$root/new.status"))")
  files=$(changed_files)
  [ -n "$files" ] && what+=("files: $files")
  if [ ${#what[@]} -eq 0 ]; then
    identical=$((identical + 1))
    printf '%-30s same\n' "$name"
  else
    printf '%-30s DIFFERENT: %s\n' "$name" "$(printf '%s; ' "${what[@]}" | sed 's/; $//')"
    if [ -n "${COMPARE_KEEP:-}" ]; then
      mkdir -p "$COMPARE_KEEP/$name" &&
        cp -a "$root/old" "$root/new" "$root"/old.* "$root"/new.* "$COMPARE_KEEP/$name/"
    fi
  fi
  rm -rf "$root/old" "$root/new"
}

# ---------------------------------------------------------------------------
# The cases.

start=$(date +%s)
prepare_inputs || { echo "compare-renders: could not prepare the inputs" >&2; exit 2; }

# The note program's flags, one at a time, with a few values each.
check flag-none              'note'
check flag-N                 'note flags=N'
check flag-g-30              'note flags=g-30'
check flag-g15               'note flags=g15'
check flag-B0                'note flags=B0'
check flag-B100              'note flags=B100'
check flag-a0                'note flags=a0'
check flag-a400              'note flags=a400'
check flag-R                 'note flags=R'
check flag-i40               'note flags=i40 cons=40'
check flag-v60               'note flags=v60 vel=150'
check flag-t-200             'note flags=t-200'
check flag-t199              'note flags=t199'
check flag-t250-ignored      'note flags=t250'
check flag-n-quiet           'note flags=n'
check flag-S1                'note flags=S1'
check flag-S3                'note flags=S3'
check flag-S64               'note flags=S64'
check flag-S0-S99-default    'note flags=S0 out=s0.wav; note flags=S99 out=s99.wav'
check flag-P0                'note flags=P0'
check flag-P100              'note flags=P100'
check flag-P150              'note flags=P150'
check flag-P-5               'note flags=P-5'
# Flags combined, and letters given twice (only the first counts).
check flags-g-5B20           'note flags=g-5B20'
check flags-NRt-50P100S2     'note flags=NRt-50P100S2 pitch=E4'
check flags-B80a300g15i30v120 'note flags=B80a300g15i30v120 cons=50 vel=90 sample=su.wav'
check flags-twice            'note flags=B10B90g5g-5nP0'

# Output depth and rate from the environment, including values out of range.
for bits in 8 16 24 32 64 7 65; do
  check "bits-$bits" "OUTPUT_BITS_PER_SAMPLE=$bits note"
done
for rate in 8000 22050 44100 48000 96000 3999 400000; do
  check "rate-$rate" "OUTPUT_SAMPLES_PER_SEC=$rate note"
done
check rate-96000-bits-24     'OUTPUT_SAMPLES_PER_SEC=96000 OUTPUT_BITS_PER_SAMPLE=24 note flags=g10'
check rate-bits-not-numbers  'OUTPUT_SAMPLES_PER_SEC=fast OUTPUT_BITS_PER_SAMPLE=deep note'

# Pitch forms: note names with accidentals and cents, semitones, Hz, ratios.
check pitch-names            'note pitch=C#5 out=1.wav; note pitch=Db3 out=2.wav; note pitch=A4+50 out=3.wav; note pitch=Bb3-25 out=4.wav'
check pitch-lowercase-name   'note pitch=a4'
check pitch-semitones        'note pitch=+12 out=1.wav; note pitch=-7 out=2.wav; note pitch=+0.5 out=3.wav'
check pitch-hz-and-ratio     'note pitch=880 out=1.wav; note pitch=1.5 out=2.wav; note pitch=20 out=3.wav; note pitch=0 out=4.wav'
# Velocities, consonant, cut-off, volume, modulation.
check velocity-a-b           'note vel=150 out=1.wav; note vel=150/80 out=2.wav; note vel=50/200 flags=v60 out=3.wav'
check consonant-a-b          'note cons=40/30 flags=i10 out=1.wav; note cons=40 flags=i10 out=2.wav; note cons=0 out=3.wav'
check cutoff-signs           'note cutoff=-200 offset=20 out=1.wav; note cutoff=35 out=2.wav; note cutoff=0 offset=50 out=3.wav'
check volume-limits          'note volume=300 out=1.wav; note volume=-10 out=2.wav; note volume=50 out=3.wav'
check modulation             'note mod=100 sample=su.wav out=1.wav; note mod=50 sample=su.wav out=2.wav'
check length-region          'note length=0 out=1.wav; note length=2000 out=2.wav'

# Samples: every bundled syllable analysed afresh (the stored list is compared),
# other depths and formats, a stereo input, a damaged list.
for s in a i ka la ma su; do
  check "analyse-$s" "no_list $s.wav; note sample=$s.wav pitch=G4"
done
check list-reused            'no_list la.wav; note sample=la.wav out=1.wav; note sample=la.wav out=2.wav pitch=D4'
check list-damaged           'printf FREQ0002 | dd of=ka_wav.frq conv=notrunc status=none; note sample=ka.wav'
check input-8bit             'use a8.wav; note sample=a8.wav'
check input-24bit            'use a24.wav; note sample=a24.wav'
check input-32bit-int        'use ka32.wav; note sample=ka32.wav'
check input-float            'use la-float.wav; note sample=la-float.wav'
check input-double           'use su-double.wav; note sample=su-double.wav'
check input-aiff             'use ma.aiff; note sample=ma.aiff'
check input-stereo           'use stereo.wav; note sample=stereo.wav'
check input-22050            'use su22k.wav; note sample=su22k.wav'

# Decoders: Ogg and FLAC through their variables (the stored list too), a
# decoder command line, a "downloaded" recording, loadmodule, a missing decoder.
check ogg-wrapper            'use oggdec-stdout; oggdecpath=./oggdec-stdout note sample=ma.ogg; oggdecpath=./oggdec-stdout note sample=ma.ogg out=again.wav'
check ogg-no-decoder         'note sample=ma.ogg'
check flac-wrapper           'use la.flac flac-decode; flacpath=./flac-decode note sample=la.flac pitch=F4'
check command-input          'use dec.exe; no_list ka.wav; note sample="./dec.exe ka.wav"'
check uri-download           'use remote.uri webget; webgetpath=./webget note sample=remote.uri'
check loadmodule             'use dec.exe; loadmodule=./dec.exe note sample=elsewhere/i.wav out=1.wav; loadmodule=./dec.exe note sample=none.flac out=2.wav'

# Where the note goes: standard output (captured and compared) and nowhere.
check output-stdout          'note out=-'
check output-stdout-24bit    'OUTPUT_BITS_PER_SAMPLE=24 note out=- flags=g-10'
check output-nul             'note out=nul'

# The G flag: list only, list then render, a list that exists, the notice
# (printed only when temp.bat exists and the output is not nul), other inputs.
check G-list-only            'no_list i.wav; note sample=i.wav out=nul flags=G'
check G-and-render           'no_list la.wav; note sample=la.wav flags=GB70'
check G-rebuilds-list        'note sample=su.wav flags=G'
check G-notice-temp-bat      ': > temp.bat; note sample=ka.wav flags=G out=1.wav; note sample=ka.wav flags=G out=nul'
check G-five-arguments       'k ma.wav out.wav C4 100 G'
check G-aiff-and-ogg         'use ma.aiff oggdec-stdout; note sample=ma.aiff flags=G out=1.wav; oggdecpath=./oggdec-stdout note sample=ma.ogg flags=G out=2.wav'

# Pitch-bend texts of every codec on the command line, made by kestrandpitch,
# the intensity curve (arguments 14 and 15), the older decimal form.
check bend-std-runs          'bend std 0 "$VIBRATO"'
check bend-std-literal       'note -- "!140" "AA#10#ABACAD#5#//gAf/#3#"'
check bend-std-malformed     'note -- "!120" "AA#3#AB#x#@@~~A"'
for order in 0 1 2 3; do
  check "bend-enc$order" "bend enc $order \"\$VIBRATO\" pitch=E4"
  check "bend-cmp$order" "bend cmp $order \"\$VIBRATO\" pitch=F4"
  check "bend-hff$order" "bend hff $order \"\$VIBRATO\" pitch=G4"
done
check bend-tempo-without-bang 'note -- "120" "$(text std 0 "$VIBRATO")"'
check intensity-std          'note -- "!120" "$(text std 0 "$VIBRATO")" "!120" "$(text std 0 "$SWELL")"'
check intensity-hff          'note -- "!120*enc1" "$(text enc 1 "$VIBRATO")" "!120*hff0" "$(text hff 0 "$SWELL")"'
check intensity-cmp          'note sample=la.wav -- "!100" "" "x*cmp2" "$(text cmp 2 "$SWELL")"'
check bend-decimal-form      'note -- -200.00Q120 -200.00 -150.00 -100,00 -50.00 0.00 25.5 50,25 50.00'

# kestrandpitch alone: encode and decode for every codec and order, long
# curves, malformed texts, and its errors.
check pitch-std              'codec std 0 "$CURVE"'
for mode in enc cmp hff; do
  for order in 0 1 2 3; do
    check "pitch-$mode$order" "codec $mode $order \"\$CURVE\""
  done
done
check pitch-long             'for m in std enc cmp hff; do codec $m 1 "$LONG"; done'
check pitch-decode-odd-texts 'kp decode std 0 "AB#x#"; echo; kp decode enc 0 "AB[AA"; echo; kp decode cmp 0 "J/x"; echo; kp decode hff 0 "lCqoAAAA"; echo; kp decode hff 1 "zz!!"; echo; kp decode enc 9 "A/!A@AA"; echo; kp decode enc 0 "[AA"'
check pitch-errors           'kp; echo 1 x 2 | kp encode enc 0; echo 40000 | kp encode std 0; echo 1 2 | kp encode enc 5; echo 1 | kp encode xyz 0; kp decode hff 0; echo | kp encode hff 0; echo 5 5 5 5 | kp encode hff 0'

# kestrandjob: positional values, options in all three forms, a parameter
# file (with options after it) and standard input, codec pitch bends.
check job-positional         'kj a.wav pos.wav 300 A4 80 0 -5 40 100 0 0 30 0 100 120 1 extra'
check job-options            'kj -voicefile=i.wav -outfile:opt.wav -length 320 -t=G3 -T=120 -gen=4 -bre=20 -alpha=200 -N -velocity1=80 -vel2=140'
check job-file               'use job.txt; kj -af job.txt; kj -af job.txt -fo=second.wav -tone=F4 -af missing.txt'
check job-stdin              'use job-stdin.txt; kj -as -fileoffset=10 < job-stdin.txt'
check job-pitchbend-codecs   'kj -fi=a.wav -fo=enc.wav -l=300 -t=C4 -pitchbend="A1,$(text enc 1 "$VIBRATO")"; kj -fi=a.wav -fo=cmp.wav -l=300 -t=C4 -pit="B2,$(text cmp 2 "$VIBRATO")"; kj -fi=a.wav -fo=hff.wav -l=300 -t=C4 -pitchbend="C3,$(text hff 3 "$VIBRATO")" -intensity="*hff0,$(text hff 0 "$SWELL")"'
check job-odd-options        'kj -fi=a.wav -fo=odd.wav -length_require=300 -l=250 -.5 -LO=100 -lo=200 -Length=280 -t=E4'
check job-rate-and-depth     'OUTPUT_SAMPLES_PER_SEC=22050 OUTPUT_BITS_PER_SAMPLE=32 kj -fi=la.wav -fo=r22.wav -l=300 -t=A3 -flags=P100S1'
# A growing target: created with an envelope, then notes with positive, zero
# and negative overlap and a negative end position; a cached note at the end.
check job-song               'sing a.wav C4 -env=30,100,250,70; sing ka.wav D4 -overlap=40; sing la.wav E4 -overlap=0; sing su.wav F4 -overlap=-50; sing i.wav G4 -endpos=-10 -env=10,100,200,100,60,0; kj -cachefile=note-C4.wav -ft=song.wav -l=150 -overlap=10'
check job-cachefile          'kj -cachefile=i.wav -ft=song.wav -l=200; kj -cachefile=missing.wav -ft=song.wav -l=100 -fileoffset=5; kj -cachefile=i.wav -l=50'
check job-envelope-odd       'sing a.wav C4 -env=10,100,20; sing ka.wav D4 -env= -overlap=20; sing la.wav E4 -pitchbend=AAAA -intensity=AB'
check job-target-refused     'use stereo.wav a24.wav; cp stereo.wav song.wav; sing a.wav C4; cp a24.wav song.wav; sing a.wav D4'

# Failures: no arguments, too few, missing or damaged samples, impossible notes.
check no-arguments           'k'
check one-argument           'k a.wav'
check two-arguments          'k a.wav out.wav'
check missing-sample         'note sample=missing.wav; note sample=missing.aiff out=2.wav'
check garbage-wav            'use garbage.wav; note sample=garbage.wav'
check header-cut-wav         'use header-cut.wav; note sample=header-cut.wav'
check sound-cut-wav          'use sound-cut.wav; note sample=sound-cut.wav'
check depth-12-bits          'use bits12.wav; note sample=bits12.wav'
check note-over-an-hour      'note length=3700000'
check absurd-numbers         'note pitch=nan vel=1e300 flags=S-3B1e300t-99999999999 offset=-1e9 out=1.wav; note pitch=inf cons=inf volume=nan mod=nan out=2.wav; note pitch=A99999 length=nan cutoff=-1e300 out=3.wav'
check long-input-name        'note sample="$(printf "%02100d" 0).wav"'
check unwritable-output      'note out=no/such/folder/out.wav'
check older-output-kept      'cp a.wav out.wav; note sample=missing.wav'
check job-failures           'kj; kj -fi=missing.wav -fo=x.wav -l=200; kj -fo=x.wav'

echo "$cases cases, $identical identical ($(( $(date +%s) - start )) s)"
[ "$cases" -eq "$identical" ]
