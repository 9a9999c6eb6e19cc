#!/bin/bash
# scripts/wine-session.sh with stand-ins for the Wine and X programs it runs:
# a step that fails must say so and return non-zero, and mark nothing done.
#   wine_session_test.sh WINE_RUN   the build's wine-run
set -uo pipefail
source "$(dirname "$0")/../../scripts/wine-session.sh"
WINE_RUN="$1"
REAL_WINESERVER="$(command -v wineserver)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

start_real_server()
{
    "$REAL_WINESERVER" -f -p >/dev/null 2>&1 &
    await_start $! wineserver /dev/null server_listening $! && wine_server_end
}
run_wine_run() { "$WINE_RUN" probe.exe; }

no_ready_mark() { [ ! -e "$WINEPREFIX/.tolvek-ready" ]; }
ready_mark() { [ -e "$WINEPREFIX/.tolvek-ready" ]; }
no_display() { [ -z "${DISPLAY:-}" ]; }
display_57() { [ "$DISPLAY" = ":57" ]; }
no_server() { [ -z "$(wine_server_pid)" ]; }
same_wine_env() { [ "$(cat "$WORK/env")" = "$(dirname "$WINE_RUN")/wineprefix -all winedbg.exe=d" ]; }

# A wineboot that fails still leaves half a prefix behind.
BOOT='wineboot:mkdir -p "$WINEPREFIX"; exit'
# name | step | status | check | stand-ins (program:script)...
CASES=(
    "wineboot fails|wine_prefix_init|1|no_ready_mark|$BOOT 1|wineserver:exit 0|wine:exit 0"
    "the X11 setting fails|wine_prefix_init|1|no_ready_mark|$BOOT 0|wineserver:exit 0|wine:exit 1"
    "a prefix prepared|wine_prefix_init|0|ready_mark|$BOOT 0|wineserver:exit 0|wine:exit 0"
    "Xvfb exits at once|wine_display_start|1|no_display|Xvfb:exit 1"
    "Xvfb names its display|wine_display_start|0|display_57|Xvfb:echo 57 >&3; exec sleep 30"
    "a server ends on -k|start_real_server|0|no_server"
    "a server ignores -k|start_real_server|0|no_server|wineserver:exit 0"
    "wine-run runs as the scripts do|run_wine_run|0|same_wine_env|wine:echo \$WINEPREFIX \$WINEDEBUG \$WINEDLLOVERRIDES >$WORK/env"
)

failures=0
for row in "${CASES[@]}"; do
    IFS='|' read -r name step status check stand_ins <<<"$row"
    rm -rf "$WORK/build" "$WORK/bin"
    mkdir -p "$WORK/build/wineprefix" "$WORK/bin"
    IFS='|' read -ra stand_ins <<<"$stand_ins"
    for s in "${stand_ins[@]}"; do
        printf '#!/bin/bash\n%s\n' "${s#*:}" >"$WORK/bin/${s%%:*}"
        chmod +x "$WORK/bin/${s%%:*}"
    done
    (
        export PATH="$WORK/bin:$PATH" WINEDEBUG=-all
        unset DISPLAY
        wine_env "$WORK/build"
        "$step" "$WORK/build" 2>"$WORK/stderr"
        actual=$?
        ok=1
        [ "$actual" = "$status" ] || { echo "  status $actual, expected $status"; ok=0; }
        [ "$status" = 0 ] || [ -s "$WORK/stderr" ] || { echo "  failed without a word"; ok=0; }
        "$check" || { echo "  $check does not hold"; ok=0; }
        wine_session_stop 2>/dev/null
        [ $ok = 1 ]
    ) && echo "ok   $name" || { echo "FAIL $name"; failures=$((failures + 1)); }
done
[ $failures = 0 ]
