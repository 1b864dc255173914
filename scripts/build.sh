#!/usr/bin/env bash
# Configures and builds kestrand, its tests and benchmarks into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRAND_TESTS=ON -DKESTRAND_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
