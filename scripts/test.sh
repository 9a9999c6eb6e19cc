#!/bin/bash
# Configures, builds and runs every test under Wine. Extra arguments go to ctest.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
source "$ROOT/scripts/wine-session.sh"

configure_and_build "$ROOT" "$BUILD"
trap wine_session_stop EXIT
wine_session_start "$BUILD"
ctest --test-dir "$BUILD" --output-on-failure "$@"
