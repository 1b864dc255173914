#!/usr/bin/env bash
# Builds the release archives into dist/:
#   kestrand-windows-x64.zip, kestrand-windows-x86.zip  the four programs, the
#     flags manifest kestrand.yaml beside them, README.md, LICENSE and
#     voice/README.md (the bundled voice's licence text);
#   kestrand-<version>-linux-<machine>.tar.gz            what `cmake --install` installs.
# The Windows programs are cross-compiled with mingw-w64 (scripts/windows-check.sh
# installs the compilers and tests them under Wine).
# Environment: KESTRAND_JOBS (parallel build jobs, default: processor count).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs="${KESTRAND_JOBS:-$(nproc)}"
programs=(kestrand kestrandpitch kestrandjob kestrandfrq)
version=$(sed -n 's/^project(kestrand VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p dist
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# Linux: the installed tree, packed.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKESTRAND_TESTS=OFF >/dev/null
cmake --build build-release -j"$jobs"
linux_name="kestrand-$version-linux-$(uname -m)"
cmake --install build-release --prefix "$stage/$linux_name" --strip >/dev/null
tar -C "$stage" -czf "dist/$linux_name.tar.gz" "$linux_name"
echo "dist/$linux_name.tar.gz"

# Windows: one zip per target. Existing check folders are reused as they are.
declare -A toolchain=([x64]=cmake/mingw-x86_64.cmake [x86]=cmake/mingw-i686.cmake)
declare -A folder=([x64]=build-win64 [x86]=build-win32)
declare -A strip=([x64]=x86_64-w64-mingw32-strip [x86]=i686-w64-mingw32-strip)
for target in x64 x86; do
  if [ ! -f "${folder[$target]}/CMakeCache.txt" ]; then
    cmake -S . -B "${folder[$target]}" -DCMAKE_TOOLCHAIN_FILE="${toolchain[$target]}" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKESTRAND_TESTS=OFF >/dev/null
  fi
  cmake --build "${folder[$target]}" -j"$jobs" --target "${programs[@]}"
  name="kestrand-windows-$target"
  mkdir -p "$stage/$name/voice"
  for program in "${programs[@]}"; do
    "${strip[$target]}" -o "$stage/$name/$program.exe" "${folder[$target]}/$program.exe"
  done
  cp kestrand.yaml README.md LICENSE "$stage/$name/"
  cp voice/README.md "$stage/$name/voice/README.md"
  rm -f "dist/$name.zip"
  (cd "$stage" && python3 -m zipfile -c "$root/dist/$name.zip" "$name")
  echo "dist/$name.zip"
done
