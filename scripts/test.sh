#!/bin/bash
# Installs what the machine lacks, builds x64 (with the tests) and x86 (the
# programs and stand-ins, whose PE headers a test checks), both with GCC and
# any warning an error, compiles the product again with Clang, and runs every
# test under Wine. Extra arguments go to ctest.
#   --x86   first, also runs the x86 build's service, agent and installer tests
#           under 32-bit Wine (installs wine32:i386, about 1.1 GB)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
X86_BUILD="$BUILD/x86"
RUN_X86=0
if [ "${1:-}" = "--x86" ]; then RUN_X86=1; shift; fi

"$ROOT/scripts/setup.sh" $([ $RUN_X86 = 1 ] && echo --x86)
source "$ROOT/scripts/wine-session.sh"

# Both builds sign with a throwaway certificate, made once in the build
# folder, never kept anywhere else; the signature tests trust only it.
SIGN_DIR="$BUILD/throwaway-signing"
if [ ! -f "$SIGN_DIR/cert.pem" ]; then
    mkdir -p "$SIGN_DIR"
    (umask 077 && openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tolvek Lark throwaway signing" \
        -addext extendedKeyUsage=codeSigning -keyout "$SIGN_DIR/key.pem" -out "$SIGN_DIR/cert.new" 2>/dev/null)
    mv "$SIGN_DIR/cert.new" "$SIGN_DIR/cert.pem"
fi
SIGNING=(-DTOLVEK_SIGN_CERT="$SIGN_DIR/cert.pem" -DTOLVEK_SIGN_KEY="$SIGN_DIR/key.pem")

configure_and_build "$ROOT" "$X86_BUILD" i686 -DTOLVEK_WERROR=ON -DTOLVEK_TESTS=$([ $RUN_X86 = 1 ] && echo ON || echo OFF) "${SIGNING[@]}"
configure_and_build "$ROOT" "$BUILD" x86_64 -DTOLVEK_WERROR=ON -DTOLVEK_X86_BUILD="$X86_BUILD" "${SIGNING[@]}"
"$ROOT/scripts/clang-check.sh" "$BUILD"
trap wine_session_stop EXIT
wine_session_start "$BUILD"
ctest --test-dir "$BUILD" --output-on-failure "$@"
[ $RUN_X86 = 1 ] || exit 0

wine_session_stop
wine_session_start "$X86_BUILD"
# Without wine32 an i686 program prints nothing and exits 0: that must not pass.
if ! timeout 60 wine "$X86_BUILD/stand-ins/testbed.exe" --help 2>/dev/null | grep -q "usage: testbed"; then
    echo "32-bit Wine cannot run the x86 build here (wine32:i386 missing?)" >&2
    exit 1
fi
ctest --test-dir "$X86_BUILD" --output-on-failure \
    -R '^(parameters_key_test|service_shell_test|indicator_service_test|agent_test|agent_language_|link_state_test|session_test|wps_stand_in_test|led_stand_in_test|request_test)' "$@"
