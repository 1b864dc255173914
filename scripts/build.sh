#!/usr/bin/env bash
# Configures and builds kestrand, its tests and benchmarks into build/.
# KESTRAND_WERROR=ON (as CI sets it) turns warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRAND_TESTS=ON -DKESTRAND_BENCH=ON \
  -DKESTRAND_WERROR="${KESTRAND_WERROR:-OFF}" >/dev/null
cmake --build build -j"$(nproc)"
