#!/bin/bash
# Builds the programs, installs the service under Wine with the stand-ins,
# shows its status, then stops and removes it.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
source "$ROOT/scripts/wine-session.sh"

configure_and_build "$ROOT" "$BUILD" >/dev/null
trap wine_session_stop EXIT
wine_session_start "$BUILD"

INSTALL="$WINEPREFIX/drive_c/Program Files/Tolvek Demo"
mkdir -p "$INSTALL/bench"
cp "$BUILD"/dist/* "$BUILD"/stand-ins/* "$INSTALL/"
run() { timeout 60 wine "$@" 2>/dev/null | tr -d '\r'; }
SADDRIN='C:\Program Files\Tolvek Demo\saddrin.exe'

echo "== saddrin -is"
run "$SADDRIN" -is; echo
sleep 1
echo "== sc query WLANTolvekService"
run sc query WLANTolvekService
echo "== saddrin -ds"
run "$SADDRIN" -ds; echo
