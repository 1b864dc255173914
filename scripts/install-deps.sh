#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need,
# but only those that are missing. Run as root (or with sudo available).
set -euo pipefail

packages=(cmake g++ make libgtest-dev libbenchmark-dev sox libsox-fmt-all clang libclang-rt-dev flac lame vorbis-tools faad ffmpeg)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
