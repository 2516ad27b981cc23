#!/usr/bin/env bash
# Takes the README's screenshots of the desktop program on the demo's mail (docs/screenshots/):
# the main window, the thread view, the compact layout of a narrow window, the new-mail
# notice, every page of the settings sheets, the viewer (Western and Japanese text, a message with
# attachments and its Edit menu), the address book, and the composer (a reply with copies and an
# attachment, a Japanese reply with a long subject) with its Property dialog and pages. Runs on a private X server (Xvfb).
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
trap 'kill $zelk 2>/dev/null; kill -TERM $servers 2>/dev/null; wait 2>/dev/null; cat "$home.list" >&2 || true; rm -rf "$home" "$ready" "$home.list"' EXIT
until grep -q '^ready' "$ready"; do sleep 0.1; done

cli() { "$build/src/zelk-cli" --home "$home/demo" "$@"; }
cli book add "sam@example.com" "Sam Taylor" >/dev/null
cli book add "ann@example.org" "Ann, the lunch group" >/dev/null
cli book add "kenji@example.jp" >/dev/null

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

# The viewer: a row of the Demo account (by its subject, as zelk-cli lists it) opened with Enter.
xdotool windowsize --sync "$window" 760 460
keys alt+Down alt+Down
row_of() { cli list Demo | tee -a "$home.list" | grep -n "$1" | head -1 | cut -d: -f1; }
go_to_row() { keys Home; for ((i = 1; i < $1; i++)); do keys Down; done; }
open_row() {
  go_to_row "$1"
  keys Return
  viewer=$(timeout 15 xdotool search --sync --name '^Mail View' | head -1)
  xdotool windowsize --sync "$viewer" 640 420
}
# The attachments' message whole, so that its entries are all there.
sleep 1
go_to_row "$(row_of 'packing list')"
keys ctrl+d ctrl+e
sleep 3
open_row "$(row_of 'Caf')"
shot "$viewer" viewer-latin.png
xdotool windowfocus --sync "$viewer" key Escape
open_row "$(row_of '打ち合わせ')"
shot "$viewer" viewer-japanese.png
xdotool windowfocus --sync "$viewer" key Escape
open_row "$(row_of 'packing list')"
xdotool windowfocus --sync "$viewer" key alt+e
sleep 0.5
import -window root -crop 640x420+0+0 "$out/viewer-attachments.png"
xdotool key Escape
xdotool windowfocus --sync "$viewer" key Escape
keys alt+f b
book=$(timeout 15 xdotool search --sync --name '^Address book$' | head -1)
shot "$book" address-book.png
xdotool windowfocus --sync "$book" key Escape

# The composer: a reply to the Western message, its Property dialog with each page filled in.
printf 'Agenda: soup, then plans.\n' >"$home/agenda.txt"
focus_find() { timeout 15 xdotool search --sync --onlyvisible --name "$1" | head -1; }
go_to_row "$(row_of 'Caf')"
keys ctrl+r
property=$(focus_find '^Property$')
xdotool windowfocus --sync "$property" key --delay 80 Tab Tab space  # past "Quote text" to "Cc, Bcc"
copies=$(focus_find '^Cc, Bcc$')
xdotool windowfocus --sync "$copies" type --delay 20 'sam@example.com, Ann <ann@example.org>'
xdotool windowfocus --sync "$copies" key Return
xdotool windowfocus --sync "$property" key space
copies=$(focus_find '^Cc, Bcc$')
xdotool windowfocus --sync "$copies" type --delay 20 'kenji@example.jp'
xdotool windowfocus --sync "$copies" key --delay 80 Tab Down
shot "$copies" composer-property-copies.png
xdotool windowfocus --sync "$copies" key Return
xdotool windowfocus --sync "$property" key --delay 80 Tab space
attach=$(focus_find '^Attach files$')
xdotool windowfocus --sync "$attach" key --delay 80 Tab space
open=$(focus_find '^Open$')
xdotool windowfocus --sync "$open" type --delay 20 "$home/agenda.txt"
xdotool windowfocus --sync "$open" key Return
shot "$attach" composer-property-attach.png
xdotool windowfocus --sync "$attach" key Return
xdotool windowfocus --sync "$property" key --delay 80 Tab space
other=$(focus_find '^Other headers$')
xdotool windowfocus --sync "$other" type --delay 20 'lunch-group@example.org'
shot "$other" composer-property-other.png
xdotool windowfocus --sync "$other" key Return
shot "$property" composer-property.png
xdotool windowfocus --sync "$property" key Return
composer=$(focus_find '^Mail Edit')
xdotool windowsize --sync "$composer" 640 420
xdotool windowfocus --sync "$composer" type --delay 10 'Count me in for Friday.'
shot "$composer" composer.png
xdotool windowfocus --sync "$composer" key ctrl+g

# A reply in Japanese with a long subject: the summary and the quoted text as they are drawn.
# Saving showed the Outbox; the Demo account is the mailbox after it.
keys alt+Down
sleep 0.5
go_to_row "$(row_of '打ち合わせ')"
keys ctrl+r
property=$(focus_find '^Property$')
xdotool windowfocus --sync "$property" key End
xdotool windowfocus --sync "$property" type --delay 10 ' - agenda, travel plans, the budget for the spring workshop and who brings the projector'
xdotool windowfocus --sync "$property" key Return
composer=$(focus_find '^Mail Edit')
xdotool windowsize --sync "$composer" 640 420
shot "$composer" composer-japanese.png
