#!/usr/bin/env bash
# Builds Zelk and starts it.
#   scripts/run.sh                    the desktop program on a demo home whose account "Demo" uses
#                                     private mail servers on 127.0.0.1, stopped when it ends
#   scripts/run.sh --home DIR [ARGS]  the desktop program on your own home directory
#   scripts/run.sh --cli [ARGS]       zelk-cli
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
gui=$build/src/gui/zelk
demo_home=build/demo-home

usage() {
  sed -n '2,6s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

# Configures the default build with the tests (whose server fixtures the demo runs) or without.
configure() {
  cmake --preset default -DZELK_TESTS="$1" -DZELK_BENCH=OFF >/dev/null
}

run_cli() {
  scripts/install-deps.sh build
  configure OFF
  cmake --build --preset default --target zelk-cli
  exec "$build/src/zelk-cli" "${@:---help}"
}

run_on_home() {
  scripts/install-deps.sh build
  configure OFF
  cmake --build --preset default --target zelk
  exec "$gui" --home "$@"
}

run_demo() {
  scripts/install-deps.sh demo
  configure ON
  cmake --build --preset default --target zelk-demo-servers zelk-cli zelk

  # A fresh home each time: the servers start empty, with the sample mail, on new ports.
  rm -rf "$demo_home"
  local ready servers
  ready=$(mktemp)
  "$build/tools/zelk-demo-servers" "$demo_home" >"$ready" &
  servers=$!
  trap 'kill -TERM '"$servers"' 2>/dev/null; wait '"$servers"' 2>/dev/null; rm -f '"$ready" EXIT
  until grep -q '^ready' "$ready"; do
    if ! kill -0 "$servers" 2>/dev/null; then
      echo "The demo's mail servers did not start." >&2
      exit 1
    fi
    sleep 0.1
  done
  echo "Demo mail servers $(cut -d' ' -f2- "$ready"), home $demo_home (account \"Demo\")." >&2

  "$gui" --home "$demo_home"
}

case "${1:-}" in
  "") run_demo ;;
  --home) [ $# -ge 2 ] || usage; shift; run_on_home "$@" ;;
  --cli) shift; run_cli "$@" ;;
  *) usage ;;
esac
