#!/usr/bin/env bash
# Builds the Windows x64 and x86 programs with the mingw-w64 cross compilers,
# checks that they need nothing beyond the system's own DLLs, runs the unit
# tests of both under Wine, and renders notes end to end under Wine, comparing
# them with the Linux build's output. Installs what it needs (Debian).
# Environment: KESTRAND_JOBS (parallel build jobs, default: processor count),
# KESTRAND_LINUX_BUILD (the Linux build folder to compare with, default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs="${KESTRAND_JOBS:-$(nproc)}"
linux_build="${KESTRAND_LINUX_BUILD:-build}"
export DEBIAN_FRONTEND=noninteractive

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# --- what the check needs -------------------------------------------------
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
  "${as_root[@]}" apt-get update -qq
fi
packages=(cmake make g++ python3 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix wine wine64 wine32:i386 libgtest-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- the Linux reference build ----------------------------------------------
if [ ! -f "$linux_build/CMakeCache.txt" ]; then
  cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRAND_TESTS=ON >/dev/null
fi
cmake --build "$linux_build" -j"$jobs" --target kestrand kestrandpitch

# --- the Windows builds -------------------------------------------------------
declare -A toolchain=([x64]=cmake/mingw-x86_64.cmake [x86]=cmake/mingw-i686.cmake)
declare -A folder=([x64]=build-win64 [x86]=build-win32)
declare -A bits=([x64]=64 [x86]=32)
declare -A cc=([x64]=x86_64-w64-mingw32-gcc-posix [x86]=i686-w64-mingw32-gcc-posix)
declare -A objdump=([x64]=x86_64-w64-mingw32-objdump [x86]=i686-w64-mingw32-objdump)
# The only DLLs a self-contained program may import.
system_dlls='^(KERNEL32|msvcrt|USER32|ADVAPI32|ntdll)\.dll$'

for target in x64 x86; do
  echo "== Windows $target build =="
  # Release without debug information keeps the cross builds short; -O2 as in
  # the Linux build (GCC 12 gives false -Wrestrict warnings on strings at -O3).
  cmake -S . -B "${folder[$target]}" -DCMAKE_TOOLCHAIN_FILE="${toolchain[$target]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKESTRAND_TESTS=ON >/dev/null
  log=$(mktemp)
  cmake --build "${folder[$target]}" -j"$jobs" 2>&1 | tee "$log" | grep -E "warning|error" || true
  if grep -q "warning:" "$log"; then
    echo "FAIL: the $target build has warnings"
    exit 1
  fi
  rm -f "$log"
  for program in kestrand kestrandpitch kestrandjob kestrandfrq; do
    exe="${folder[$target]}/$program.exe"
    [ -f "$exe" ] || { echo "FAIL: $exe was not built"; exit 1; }
    grep -q "longPathAware" "$exe" || { echo "FAIL: $exe has no long-path-aware manifest"; exit 1; }
    while read -r dll; do
      if ! [[ "$dll" =~ $system_dlls ]]; then
        echo "FAIL: $exe imports $dll"
        exit 1
      fi
    done < <("${objdump[$target]}" -p "$exe" | awk '/DLL Name:/ { print $3 }')
  done
  echo "programs import only system DLLs and declare long-path awareness"
done

# --- Wine ----------------------------------------------------------------------
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEDEBUG=-all
work=$(mktemp -d)
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1

for target in x64 x86; do
  echo "== Windows $target unit tests under Wine =="
  log="$work/tests-$target.log"
  if ! wine "${folder[$target]}/kestrand_tests.exe" --gtest_brief=1 >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: the $target unit tests"
    exit 1
  fi
  grep -E '^\[ +(PASSED|SKIPPED|FAILED) +\]' "$log"
done

# --- end to end -------------------------------------------------------------------
# Same length and header, no 16-bit sample more than 1 LSB apart (the runtimes'
# math functions may differ in the last bit).
compare_wav() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
if len(a) != len(b) or a[:44] != b[:44]:
    sys.exit(f"FAIL: {sys.argv[2]} differs in length or header from {sys.argv[1]}")
n = (len(a) - 44) // 2
sa = struct.unpack(f"<{n}h", a[44:44 + 2 * n])
sb = struct.unpack(f"<{n}h", b[44:44 + 2 * n])
worst = max((abs(x - y) for x, y in zip(sa, sb)), default=0)
if worst > 1:
    sys.exit(f"FAIL: {sys.argv[2]} has a sample {worst} LSB away from {sys.argv[1]}")
print(f"  {sys.argv[2].split('/')[-1]}: {n} samples, largest difference {worst} LSB")
PY
}

cp voice/a.wav "$work/a.wav"
cd "$work"
linux="$root/$linux_build/kestrand"
vibrato=$(echo "0 20 40 50 40 20 0 -20 -40 -50 -40 -20 0" | "$root/$linux_build/kestrandpitch" encode std 0)
# name pitch flags length pitch-bend
notes=(
  "c4|C4||600|"
  "g4vib|G4||1000|$vibrato"
  "e4breath|E4|B80g-10|800|"
)
render() {  # program output pitch flags length bend
  local program=("${@:1:$#-5}")
  local args=("${@:$#-4}")
  if [ -n "${args[4]}" ]; then
    "${program[@]}" a.wav "${args[0]}" "${args[1]}" 100 "${args[2]}" 0 "${args[3]}" 60 0 100 0 '!120' "${args[4]}" >/dev/null
  else
    "${program[@]}" a.wav "${args[0]}" "${args[1]}" 100 "${args[2]}" 0 "${args[3]}" 60 0 100 0 >/dev/null
  fi
}
# The reference list and notes from the Linux build.
"$linux" a.wav nul C4 100 G >/dev/null 2>&1
cp a_wav.frq linux.frq
for note in "${notes[@]}"; do
  IFS='|' read -r name pitch flags length bend <<<"$note"
  render "$linux" "linux-$name.wav" "$pitch" "$flags" "$length" "$bend"
done

for target in x64 x86; do
  echo "== Windows $target end to end under Wine =="
  exe="$root/${folder[$target]}/kestrand.exe"
  # Without arguments the program prints the banner and exits with 1.
  banner=$(wine "$exe" | head -n 1 | tr -d '\r' || true)
  echo "  banner: $banner"
  [[ "$banner" == *"(${bits[$target]}-bit)"* ]] || { echo "FAIL: the banner does not say ${bits[$target]}-bit"; exit 1; }

  # The G flag writes the same list as the Linux build.
  rm -f a_wav.frq
  wine "$exe" a.wav nul C4 100 G >/dev/null 2>&1
  python3 - linux.frq a_wav.frq <<'PY'
import struct, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
if len(a) != len(b) or a[:8] != b[:8] or a[8:12] != b[8:12]:
    sys.exit("FAIL: the G flag's list differs in size or header from the Linux build's")
n = (len(a) - 40) // 8
da = struct.unpack(f"<{n}d", a[40:40 + 8 * n])
db = struct.unpack(f"<{n}d", b[40:40 + 8 * n])
worst = max((abs(x - y) / max(abs(x), 1.0) for x, y in zip(da, db)), default=0.0)
if worst > 1e-6:
    sys.exit(f"FAIL: the G flag's list has a value {worst:.3g} (relative) away from the Linux build's")
print(f"  G flag list: {len(b)} bytes, largest relative difference {worst:.3g}")
PY

  for note in "${notes[@]}"; do
    IFS='|' read -r name pitch flags length bend <<<"$note"
    render wine "$exe" "$target-$name.wav" "$pitch" "$flags" "$length" "$bend"
    compare_wav "linux-$name.wav" "$target-$name.wav"
  done

  # "-" sends the same bytes to standard output, in binary mode.
  wine "$exe" a.wav - C4 100 "" 0 600 60 0 100 0 >"$target-dash.wav"
  cmp "$target-c4.wav" "$target-dash.wav" || { echo "FAIL: standard output differs from the file"; exit 1; }
  echo "  standard output: same bytes as the file"

  # A decoder plug-in module built for this target, in a folder that has to be
  # allowed: refused (and not loaded) until it is listed.
  mkdir -p "mod $target"
  cp a.wav "mod $target/a.wav"
  "${cc[$target]}" -O1 -shared -static-libgcc -DWAVE_PAIR -Wl,--kill-at -o "mod $target/dec.dll" \
    "$root/tests/input/plugins/test_plugin.c"
  modules=$(winepath -w "$work/mod $target")
  refused=$(KESTRAND_PLUGIN_LOADED=loaded.txt wine "$exe" "\"mod $target\\dec.dll\" a" "$target-refused.wav" C4 100 "" 0 600 60 0 100 0 2>&1 >/dev/null || true)
  [[ "$refused" == *"kestrand: not loading \""*"dec.dll\": modules named in the input name load only from kestrand's folder"*"KESTRAND_TRUSTED_DECODERS."* ]] ||
    { echo "FAIL: no refusal for a module outside the allowed folders: $refused"; exit 1; }
  [ ! -e "$target-refused.wav" ] && [ ! -e loaded.txt ] && [ ! -e "mod $target/loaded.txt" ] ||
    { echo "FAIL: a refused module was loaded or a note written"; exit 1; }
  KESTRAND_TRUSTED_DECODERS="$modules" wine "$exe" "\"mod $target\\dec.dll\" a" "$target-plugin.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null
  cmp "$target-c4.wav" "$target-plugin.wav" || { echo "FAIL: the plug-in module's note differs"; exit 1; }
  failed=$(KESTRAND_TRUSTED_DECODERS="$modules" wine "$exe" "\"mod $target\\dec.dll\" null" "$target-null.wav" C4 100 "" 0 600 60 0 100 0 || true)
  [[ "$failed" == *"失敗"* ]] || { echo "FAIL: no Japanese failure message from the plug-in path"; exit 1; }
  echo "  plug-in module: refused outside the allowed folders; allowed, renders the same note; failure message in Japanese"

  # An outside decoder of the user's variable, started directly, with blanks in both paths.
  mkdir -p "dec $target"
  "${cc[$target]}" -O1 -static -o "dec $target/flac.exe" "$root/tests/input/tools/wave_cat.c"
  cp a.wav "my a.flac"
  flacpath="dec $target\\flac.exe" wine "$exe" "my a.flac" "$target-decoder.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null
  cmp "$target-c4.wav" "$target-decoder.wav" || { echo "FAIL: the decoder's note differs"; exit 1; }
  echo "  outside decoder: started directly, same note"

  # A command line in the input name: started without the command processor,
  # so "&" and ">" are plain arguments; only from an allowed folder.
  decoders=$(winepath -w "$work/dec $target")
  command="\"dec $target\\flac.exe\" &echo pwned>pwned.txt& a.wav"
  refused=$(wine "$exe" "$command" "$target-refused.wav" C4 100 "" 0 600 60 0 100 0 2>&1 >/dev/null || true)
  [[ "$refused" == *"kestrand: not running \""*"flac.exe\": programs named in the input name run only from kestrand's folder"* ]] ||
    { echo "FAIL: no refusal for a program outside the allowed folders: $refused"; exit 1; }
  [ ! -e "$target-refused.wav" ] || { echo "FAIL: a refused command wrote a note"; exit 1; }
  KESTRAND_TRUSTED_DECODERS="$decoders" wine "$exe" "$command" "$target-command.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null
  cmp "$target-c4.wav" "$target-command.wav" || { echo "FAIL: the command line's note differs"; exit 1; }
  [ ! -e pwned.txt ] || { echo "FAIL: the command line ran through the command processor"; exit 1; }
  # A program beside kestrand.exe is allowed by its bare name.
  mkdir -p "installed $target"
  cp "$exe" "installed $target/kestrand.exe"
  cp "dec $target/flac.exe" "installed $target/dec.exe"
  wine "installed $target/kestrand.exe" "dec.exe a.wav" "$target-beside.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null
  cmp "$target-c4.wav" "$target-beside.wav" || { echo "FAIL: the program beside kestrand.exe was not used"; exit 1; }
  # A sample whose name looks like a command line is the sample it is.
  cp a.wav "x.exe &mkdir pwned&.wav"
  wine "$exe" "x.exe &mkdir pwned&.wav" "$target-named.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null
  cmp "$target-c4.wav" "$target-named.wav" || { echo "FAIL: the sample named like a command differs"; exit 1; }
  [ ! -e pwned ] || { echo "FAIL: a sample's name was run"; exit 1; }
  echo "  command line: refused outside the allowed folders; allowed, no command processor, same note; a sample named like a command renders as itself"

  # The other two programs.
  pitch=$(echo "0 20 40 50 40 20 0 -20 -40 -50 -40 -20 0" | wine "$root/${folder[$target]}/kestrandpitch.exe" encode std 0 | tr -d '\r')
  [ "$pitch" = "$vibrato" ] || { echo "FAIL: kestrandpitch.exe encodes differently"; exit 1; }
  wine "$root/${folder[$target]}/kestrandjob.exe" >/dev/null 2>&1 || true
  echo "  kestrandpitch.exe encodes like the Linux build; kestrandjob.exe starts"

  # A sample and a note in a folder whose absolute path is past 260 characters.
  deep="$work/long $target"
  for i in $(seq 1 12); do deep="$deep/a folder with a rather long name $i"; done
  mkdir -p "$deep"
  cp a.wav "$deep/a.wav"
  deep_win="Z:$(echo "$deep" | tr / '\\')"
  [ ${#deep_win} -gt 260 ] || { echo "FAIL: the long path is only ${#deep_win} characters"; exit 1; }
  wine "$exe" "$deep_win\\a.wav" "$deep_win\\long.wav" C4 100 "" 0 600 60 0 100 0 >/dev/null 2>&1
  [ -f "$deep/a_wav.frq" ] || { echo "FAIL: no list written beside a sample in a long path"; exit 1; }
  cmp "$target-c4.wav" "$deep/long.wav" || { echo "FAIL: the note in a long path differs"; exit 1; }
  echo "  long paths: a ${#deep_win}-character folder reads the sample, writes its list and the note"

  # Files written whole: a full disk keeps the older note and prints no
  # success line; leftovers of dead processes go; a folder is no sample; a
  # name of 255 bytes is written (the temporary name has a length of its own).
  safe="$work/safe $target"
  mkdir -p "$safe"
  cp a.wav a_wav.frq "$safe/"
  safe_win="Z:$(echo "$safe" | tr / '\\')"
  if [ "$(id -u)" -eq 0 ] && mkdir -p "$safe/disk" && mount -t tmpfs -o size=1m tmpfs "$safe/disk" 2>/dev/null; then
    head -c 5000 /dev/urandom >"$safe/disk/old.wav"
    cp "$safe/disk/old.wav" "$safe/old.ref"
    free=$(df -B1 --output=avail "$safe/disk" | tail -n 1)
    head -c $((free - 4096)) /dev/zero >"$safe/disk/fill" 2>/dev/null || true
    for program in kestrand kestrandjob; do
      if [ "$program" = kestrand ]; then
        said=$(wine "$exe" "$safe_win\\a.wav" "$safe_win\\disk\\old.wav" C4 100 "" 0 600 60 0 100 0 2>&1 || true)
      else
        said=$(wine "$root/${folder[$target]}/kestrandjob.exe" "$safe_win\\a.wav" "$safe_win\\disk\\old.wav" 600 C4 100 2>&1 || true)
      fi
      cmp -s "$safe/disk/old.wav" "$safe/old.ref" || { umount "$safe/disk"; echo "FAIL: $program.exe on a full disk changed the older note"; exit 1; }
      [[ "$said" == *"cannot write the output file"* && "$said" != *"Output :"* ]] ||
        { umount "$safe/disk"; echo "FAIL: $program.exe on a full disk said: $said"; exit 1; }
    done
    leftovers=$(ls -A "$safe/disk" | grep -vxE 'old.wav|fill' || true)
    umount "$safe/disk"
    [ -z "$leftovers" ] || { echo "FAIL: a full disk left $leftovers"; exit 1; }
    echo "  full disk: the older note kept by both programs, the failure said and no success line"
  else
    echo "  full disk: skipped (mounting a small file system needs root)"
  fi
  touch -d '-1 minute' "$safe/.kestrand-7ffffff1-00000001.tmp"
  touch "$safe/.kestrand-7ffffff1-00000002.tmp"
  mkdir -p "$safe/folder.wav"
  said=$(wine "$exe" "$safe_win\\folder.wav" "$safe_win\\none.wav" C4 100 "" 0 600 60 0 100 0 2>&1 || true)
  [[ "$said" == *"is a folder, not a file"* ]] || { echo "FAIL: a folder as the sample: $said"; exit 1; }
  longest=$(printf 'n%.0s' $(seq 1 251)).wav
  wine "$exe" "$safe_win\\a.wav" "$safe_win\\$longest" C4 100 "" 0 600 60 0 100 0 >/dev/null 2>&1
  cmp "$target-c4.wav" "$safe/$longest" || { echo "FAIL: the note under a 255-byte name differs"; exit 1; }
  [ ! -e "$safe/.kestrand-7ffffff1-00000001.tmp" ] && [ -e "$safe/.kestrand-7ffffff1-00000002.tmp" ] ||
    { echo "FAIL: leftovers of a dead process: $(ls -A "$safe" | grep kestrand | tr '\n' ' ')"; exit 1; }
  echo "  whole files: a folder is refused as the sample, a 255-byte name is written, an old leftover of a dead process goes"

  # kestrandfrq.exe on a folder: the G flag's list, a second run keeps it.
  frq="$root/${folder[$target]}/kestrandfrq.exe"
  wine "$frq" --version | tr -d '\r'
  mkdir -p "frq $target/sub"
  cp a.wav "frq $target/sub/a.wav"
  wine "$frq" "frq $target" >"frq-$target.log" 2>&1 || { cat "frq-$target.log"; echo "FAIL: kestrandfrq.exe"; exit 1; }
  grep -q "1 analysed, 0 up to date, 0 failed" "frq-$target.log" || { cat "frq-$target.log"; echo "FAIL: kestrandfrq.exe summary"; exit 1; }
  cmp "frq $target/sub/a_wav.frq" a_wav.frq || { echo "FAIL: kestrandfrq.exe's list differs from the G flag's"; exit 1; }
  wine "$frq" "frq $target" 2>&1 | grep -q "0 analysed, 1 up to date" || { echo "FAIL: kestrandfrq.exe analysed again"; exit 1; }
  echo "  kestrandfrq.exe: the G flag's list byte for byte, kept on the second run"
done
echo "Windows check passed."
