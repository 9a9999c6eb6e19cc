#!/bin/bash
# The product as a user meets it, under Wine with the stand-ins: the bench
# package installed silently with msiexec, the agent started from its Run
# value as a logon would, one press of the adapter's WPS button with what the
# user sees, what Native Wifi stored and what the LEDs did; then the package
# removed again.
#   --variants   also a press with two access points in push-button mode
#                (overlap) and one where the WPS library fails
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
VARIANTS=0
if [ "${1:-}" = "--variants" ]; then VARIANTS=1; fi

"$ROOT/scripts/setup.sh"
source "$ROOT/scripts/wine-session.sh"
configure "$ROOT" "$BUILD"
cmake --build "$BUILD" --target standin_package >/dev/null

AGENT_PID=
DPI_CHANGED=0
finish()
{
    if [ -n "$AGENT_PID" ]; then kill "$AGENT_PID" 2>/dev/null || true; fi
    # The tests share this prefix and measure texts at 96 DPI.
    if [ $DPI_CHANGED = 1 ]; then set_screen_dpi 96 >/dev/null 2>&1 || true; fi
    wine_session_stop
}
trap finish EXIT
wine_session_start "$BUILD"

MSI=$(ls "$BUILD"/tolvek-lark-standins-*-x64.msi)
MSI_WINDOWS="Z:${MSI//\//\\}"
DIR='C:\Program Files\Tolvek Lark'
INSTALL="$WINEPREFIX/drive_c/Program Files/Tolvek Lark"
RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
run() { timeout 60 wine "$@" 2>/dev/null | tr -d '\r'; }
testbed() { run "$DIR\\testbed.exe" "$@"; }
step() { echo; echo "== $*"; }

# Whatever an earlier run or test left in this prefix goes first.
run msiexec /x "$MSI_WINDOWS" /qn >/dev/null || true
if run sc query WLANTolvekService | grep -q RUNNING; then run sc stop WLANTolvekService >/dev/null; fi
run sc delete WLANTolvekService >/dev/null || true
rm -rf "$INSTALL"

step "msiexec /i $(basename "$MSI") /qn"
run msiexec /i "$MSI_WINDOWS" /qn; echo
run sc query WLANTolvekService | sed -n '1,4p'

step "the bench: our adapter, and one access point in push-button mode"
testbed wlan add "Tolvek Lark Wireless USB Adapter" >/dev/null
testbed ap add HomeNet --key "correct horse battery" --auth WPA2-PSK --encr 8
testbed ap list

# Wine reads the screen's DPI when its server starts.
set_screen_dpi()
{
    run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    wine_server_start
    run cmd /c exit >/dev/null
}

start_agent()
{
    agent=$(run reg query "$RUN_KEY" /v Quorvel | sed -n 's/^ *Quorvel *REG_SZ *//p')
    echo "$RUN_KEY  Quorvel = $agent"
    agent="${agent#\"}"
    timeout 600 wine "${agent%\"}" >/dev/null 2>&1 &
    AGENT_PID=$!
    for _ in $(seq 1 40); do
        if testbed agent show 2>/dev/null | grep -q "^visible: no"; then break; fi
        sleep 0.25
    done
    testbed agent show
}

stop_agent()
{
    kill "$AGENT_PID" 2>/dev/null || true
    wait "$AGENT_PID" 2>/dev/null || true
    AGENT_PID=
}

screenshot()
{
    mkdir -p "$BUILD/screenshots"
    import -display "$DISPLAY" -window root "$BUILD/screenshots/$1" 2>/dev/null &&
        echo "(screenshot: $BUILD/screenshots/$1)"
}

step "a logon starts what the Run value names; Quorvel stays hidden"
start_agent

press_and_show()
{
    testbed button press --for 400
    for _ in $(seq 1 60); do
        sleep 0.5
        if ! testbed agent show | grep -q "^button:  Cancel"; then break; fi
    done
    testbed agent show
}

step "the user presses the adapter's WPS button"
press_and_show
screenshot demo.png

step "Native Wifi a moment later: the stored profile and the joined network"
sleep 2
testbed wlan show

step "the LEDs"
testbed leds

step "the user dismisses the dialog"
testbed agent click
testbed agent show | head -1

if [ $VARIANTS = 1 ]; then
    step "two access points in push-button mode at once: an overlap"
    testbed ap add Neighbour --key "other horse battery" >/dev/null
    press_and_show
    testbed agent click
    testbed ap remove Neighbour >/dev/null

    step "the WPS library fails to open"
    testbed wps fail open >/dev/null
    press_and_show
    testbed agent click
    testbed wps reset >/dev/null
fi

step "the same press on a screen at 144 DPI (150 %)"
stop_agent
DPI_CHANGED=1
set_screen_dpi 144
start_agent >/dev/null
press_and_show
screenshot demo-144dpi.png
testbed agent click
stop_agent
set_screen_dpi 96
DPI_CHANGED=0

step "Quorvel ended by its process id; msiexec /x $(basename "$MSI") /qn"
stop_agent
run msiexec /x "$MSI_WINDOWS" /qn; echo
left() { if [ -n "$2" ]; then echo "$1: still there"; else echo "$1: gone"; fi; }
left "service WLANTolvekService" "$(run sc query WLANTolvekService | grep SERVICE_NAME || true)"
left "Run value Quorvel" "$(run reg query "$RUN_KEY" /v Quorvel | grep Quorvel || true)"
left "$DIR" "$(if [ -e "$INSTALL" ]; then echo yes; fi)"
