#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those still missing (a second run costs a few
# dpkg queries). Usage: scripts/install-deps.sh build|demo|test|screenshots
set -euo pipefail

# libqt6svg6: Qt's SVG image and icon plugins, without which the program's icons load empty.
# xdg-utils: xdg-open, which opens links and the external viewer's file with the desktop's programs.
build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6svg6 xdg-utils
                libssl-dev ca-certificates)  # TLS, and the authorities it trusts
# The demo's servers are the tests' fixtures: GoogleTest, Dovecot and Postfix.
demo_packages=("${build_packages[@]}" libgtest-dev libgmock-dev dovecot-pop3d postfix)
test_packages=("${demo_packages[@]}" libbenchmark-dev
               clang libclang-rt-14-dev llvm coreutils
               python3 fetchmail mpop  # peers of the POP3 benchmarks
               msmtp  # the sending benchmark's peer
               desktop-file-utils librsvg2-bin  # checks of the desktop entry and the icons
               xvfb xauth xdotool)  # the desktop program's end-to-end tests on a real X server
# The README's screenshots: the test build, ImageMagick's import, and a font with Japanese.
screenshot_packages=("${test_packages[@]}" imagemagick fonts-wqy-microhei)

case "${1:-}" in
  build) wanted=("${build_packages[@]}") ;;
  demo) wanted=("${demo_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  screenshots) wanted=("${screenshot_packages[@]}") ;;
  *) echo "usage: $0 build|demo|test|screenshots" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

# Service packages (dovecot-core) start their daemon from the postinst where an init system runs,
# and make apt fail if that start fails. The tests run private instances on ports of their own, so
# deny every service start during this install, unless the machine already has a policy-rc.d.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
  printf '#!/bin/sh\n# Written by zelk scripts/install-deps.sh for one install.\nexit 101\n' |
    "${sudo[@]}" tee "$policy" >/dev/null
  "${sudo[@]}" chmod 755 "$policy"
fi

# Postfix asks how to set up the system's mail server; "No configuration" sets up and starts
# none (the tests run private instances from their own config directories).
if printf '%s\n' "${missing[@]}" | grep -qx postfix; then
  echo "postfix postfix/main_mailer_type select No configuration" | "${sudo[@]}" debconf-set-selections
fi

"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
