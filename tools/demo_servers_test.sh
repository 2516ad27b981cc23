#!/usr/bin/env bash
# The demo as scripts/run.sh starts it, driven through zelk-cli: a check lists every sample
# message, an update fetches a whole message, and (where Postfix runs) the Outbox's message
# comes back by SMTP and POP3. Usage: demo_servers_test.sh ZELK_DEMO_SERVERS ZELK_CLI MAIL_DIR
set -euo pipefail
servers_program=$1 cli=$2 mail_dir=$3

work=$(mktemp -d)
home=$work/home
"$servers_program" "$home" >"$work/ready" &
servers=$!
trap 'kill -TERM '"$servers"' 2>/dev/null; wait '"$servers"' 2>/dev/null; rm -rf '"$work" EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
zelk() { "$cli" --home "$home" "$@"; }

for _ in $(seq 200); do
  grep -q '^ready' "$work/ready" && break
  kill -0 "$servers" 2>/dev/null || fail "the servers did not start"
  sleep 0.05
done
grep -q '^ready' "$work/ready" || fail "no ready line within 10 s"

samples=$(ls "$mail_dir"/*.eml | wc -l)
rows=$(zelk check Demo | wc -l)
[ "$rows" -eq "$samples" ] || fail "check listed $rows rows, not the $samples sample messages"

# The attachments' message is longer than the lines a check fetches.
row=$(zelk list Demo | cut -f3 | grep -n '^The logo and the packing list$' | cut -d: -f1)
zelk mark Demo "$row" --download
zelk update Demo
zelk show Demo "$row" --source | grep -q '130\. snacks' || fail "update did not fetch the whole message"

if grep -q 'smtp=none' "$work/ready"; then
  echo "Postfix cannot run here: sending not tried" >&2
  exit 0
fi
zelk mark '[Outbox]' 1 --send
zelk send --marked
for _ in $(seq 100); do
  zelk check Demo | grep -q "Sent through the demo's Postfix" && exit 0
  sleep 0.1
done
fail "the Outbox's message did not come back"
