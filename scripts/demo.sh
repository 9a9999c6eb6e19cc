#!/bin/bash
# One button press from end to end under Wine, with the stand-ins: installs
# and starts the service, starts the agent, offers one access point in
# push-button mode, presses the adapter's button, and shows what the user
# sees, what Native Wifi stored and what the LEDs did; then removes it all.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
source "$ROOT/scripts/wine-session.sh"

configure_and_build "$ROOT" "$BUILD" >/dev/null
trap wine_session_stop EXIT
wine_session_start "$BUILD"

DIR='C:\Program Files\Tolvek Demo'
INSTALL="$WINEPREFIX/drive_c/Program Files/Tolvek Demo"
rm -rf "$INSTALL"
mkdir -p "$INSTALL/bench"
cp "$BUILD"/dist/* "$BUILD"/stand-ins/* "$INSTALL/"
run() { timeout 60 wine "$@" 2>/dev/null | tr -d '\r'; }
testbed() { run "$DIR\\testbed.exe" "$@"; }
step() { echo; echo "== $*"; }

step "the bench: our adapter, and one access point in push-button mode"
testbed wlan add "Tolvek Lark Wireless USB Adapter" >/dev/null
testbed ap add HomeNet --key "correct horse battery" --auth WPA2-PSK --encr 8
testbed ap list

step "saddrin -is"
run "$DIR\\saddrin.exe" -is; echo
sleep 1
run sc query WLANTolvekService | sed -n '1,4p'

step "Quorvel starts hidden in the user's session"
(cd "$INSTALL" && timeout 120 wine "$DIR\\Quorvel.exe" >/dev/null 2>&1 &)
sleep 4
testbed agent show

step "the user presses the adapter's WPS button"
testbed button press --for 400
for _ in $(seq 1 40); do
    sleep 0.5
    if ! testbed agent show | grep -q "^button:  Cancel"; then break; fi
done
testbed agent show
mkdir -p "$BUILD/screenshots"
import -display "$DISPLAY" -window root "$BUILD/screenshots/demo.png" 2>/dev/null &&
    echo "(screenshot: $BUILD/screenshots/demo.png)"

step "Native Wifi a moment later: the stored profile and the joined network"
sleep 2
testbed wlan show

step "the LEDs"
testbed leds

step "the user dismisses the dialog; saddrin -ds"
testbed agent click
run "$DIR\\saddrin.exe" -ds; echo
