#!/usr/bin/env bash
# Builds Zelk and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake --preset default -DZELK_TESTS=OFF -DZELK_BENCH=OFF >/dev/null
cmake --build --preset default --target zelk-cli
exec build/default/src/zelk-cli "${@:---help}"
