#!/usr/bin/env bash
# Takes the README's screenshots of the desktop program on the demo's mail (docs/screenshots/):
# the main window, the thread view, the compact layout of a narrow window and the new-mail
# notice, and every page of the settings sheets. Runs on a private X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default
out=docs/screenshots
mkdir -p "$out"

if [ -z "${ZELK_SCREENSHOT_DISPLAY:-}" ]; then
  scripts/install-deps.sh screenshots
  cmake --preset default -DZELK_TESTS=ON >/dev/null
  cmake --build --preset default --target zelk zelk-demo-servers
  exec env ZELK_SCREENSHOT_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0"
fi

home=$(mktemp -d)
ready=$home.ready
"$build/tools/zelk-demo-servers" "$home/demo" >"$ready" &
servers=$!
trap 'kill $zelk 2>/dev/null; kill -TERM $servers 2>/dev/null; wait 2>/dev/null; rm -rf "$home" "$ready"' EXIT
until grep -q '^ready' "$ready"; do sleep 0.1; done

"$build/src/gui/zelk" --home "$home/demo" &
zelk=$!
window=$(timeout 15 xdotool search --sync --name '^Zelk$' | head -1)
keys() { xdotool windowfocus --sync "$window" key --delay 80 "$@"; }
shot() { sleep 0.5; import -window "$1" "$out/$2"; }

xdotool windowsize --sync "$window" 760 460
# The Savebox in front, so that the check's new mail brings up the notice.
keys alt+Up alt+Up ctrl+j
notice=$(timeout 15 xdotool search --sync --name '^Zelk Ver' | head -1)
shot root new-mail-notice.png
xdotool windowfocus --sync "$notice" key alt+y
shot "$window" main-window.png
keys ctrl+t
shot "$window" thread-view.png
keys ctrl+t
xdotool windowsize --sync "$window" 400 460
shot "$window" compact-layout.png
xdotool windowsize --sync "$window" 760 460

# A sheet opened by the menu keys `$1`, titled `$2`: each page in turn (Ctrl+Tab), then closed.
sheet_pages() {
  local open=$1 title=$2 prefix=$3
  shift 3
  keys $open
  local sheet
  sheet=$(timeout 15 xdotool search --sync --name "^$title\$" | head -1)
  local first=1
  for page in "$@"; do
    [ $first = 1 ] || xdotool windowfocus --sync "$sheet" key ctrl+Tab
    first=0
    shot "$sheet" "$prefix-$page.png"
  done
  xdotool windowfocus --sync "$sheet" key Escape
}
sheet_pages "alt+a e" "Account Settings" account-settings pop3 smtp signature filter connection
sheet_pages "alt+f o" "Global Options" global-options recv send reply check dial-up other
keys alt+a i
initialise=$(timeout 15 xdotool search --sync --name '^Initialise$' | head -1)
shot "$initialise" initialise.png
xdotool windowfocus --sync "$initialise" key Escape
