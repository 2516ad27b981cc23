#!/usr/bin/env bash
# Builds everything (program, tests, benchmarks) and runs every test.
# ZELK_WERROR=ON turns warnings into errors, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake --preset default -DZELK_TESTS=ON -DZELK_BENCH=ON -DZELK_WERROR="${ZELK_WERROR:-OFF}" >/dev/null
cmake --build --preset default
ctest --preset default
