# Shared by scripts/test.sh, scripts/demo.sh and the build's wine-run (sourced,
# not run). One Wine prefix per build tree, created once; a persistent
# wineserver and an Xvfb display for the run. A step that fails says so and
# returns non-zero: nothing runs on half a session.

# How every Wine program of ours runs, scripts and tests alike: in the build
# tree's prefix, quietly, and a crash ends the process instead of starting the
# debugger.
wine_env()
{
    export WINEPREFIX="$1/wineprefix"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="winedbg.exe=d"
}

wine_prefix_init()
{
    local build="$1"
    wine_env "$build"
    [ ! -f "$WINEPREFIX/.tolvek-ready" ] || return 0
    echo "== preparing Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    local log="$build/wineboot.log"
    # Let Wine draw the dialogs' captions: no window manager runs under Xvfb.
    if ! { timeout 300 wineboot -i && timeout 60 wineserver -w &&
           timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
           timeout 60 wineserver -w; } >"$log" 2>&1; then
        echo "preparing the Wine prefix failed (see $log)" >&2
        return 1
    fi
    touch "$WINEPREFIX/.tolvek-ready"
}

# await_start PID WHAT LOG CHECK...: polls CHECK for up to ten seconds while
# PID lives, and says so when it does not come true.
await_start()
{
    local pid="$1" what="$2" log="$3" tries=0
    shift 3
    until "$@"; do
        if ! kill -0 "$pid" 2>/dev/null || [ $tries -ge 100 ]; then
            echo "$what did not start (see $log)" >&2
            return 1
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
}

display_named() { grep -qx '[0-9]\+' "$1" 2>/dev/null; }

# A display of our own: Xvfb picks a free number and writes it to fd 3.
wine_display_start()
{
    local dir="$1"
    rm -f "$dir/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    await_start "$XVFB_PID" Xvfb "$dir/xvfb.log" display_named "$dir/display" || return 1
    export DISPLAY=":$(cat "$dir/display")"
}

# The process id of this prefix's wineserver, whoever started it: the server
# works in a folder named after the prefix's device and inode.
wine_server_pid()
{
    local folder pid
    folder=$(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null |
             { read -r dev inode && printf 'server-%x-%x' "$dev" "$inode"; }) || return 0
    for pid in $(pgrep -u "$(id -u)" '^wineserver'); do
        case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
            */"$folder") echo "$pid"; return 0 ;;
        esac
    done
}

# Asks the server to end the prefix's Wine processes and itself; one that has
# not gone two seconds later is killed.
wine_server_end()
{
    local pid tries=0
    pid=$(wine_server_pid)
    [ -n "$pid" ] || return 0
    timeout 10 wineserver -k >/dev/null 2>&1 || true
    while [ "$(wine_server_pid)" = "$pid" ]; do
        if [ $tries -ge 20 ]; then
            echo "the wineserver ($pid) ignored -k; killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
}

# Without its socket yet, the first Wine program would start a server of its own.
server_listening()
{
    [ "$(wine_server_pid)" = "$1" ] && [ -S "$(readlink "/proc/$1/cwd")/socket" ]
}

wine_session_start()
{
    local build="$1"
    wine_prefix_init "$build" || return 1
    WINE_SESSION_DIR="$build/wine-session"
    mkdir -p "$WINE_SESSION_DIR"
    wine_display_start "$WINE_SESSION_DIR" || return 1
    wine_server_start
}

# A persistent server for the prefix; one left by an earlier run would not be.
wine_server_start()
{
    wine_server_end
    # In the foreground, so that the job's process id is the server's own.
    wineserver -f -p >"$WINE_SESSION_DIR/wineserver.log" 2>&1 &
    WINESERVER_PID=$!
    await_start "$WINESERVER_PID" "the wineserver" "$WINE_SESSION_DIR/wineserver.log" \
        server_listening "$WINESERVER_PID" || return 1
    # Keep a service alive between the tests' own Wine processes.
    if ! timeout 60 wine cmd /c exit >/dev/null 2>&1; then
        echo "Wine runs no program in $WINEPREFIX" >&2
        return 1
    fi
}

wine_session_stop()
{
    if [ -n "${WINEPREFIX:-}" ]; then wine_server_end; fi
    if [ -n "${WINESERVER_PID:-}" ]; then wait "$WINESERVER_PID" 2>/dev/null || true; fi
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    WINESERVER_PID=
    XVFB_PID=
}

# configure ROOT BUILD [ARCH [cmake options...]]: ARCH x86_64 (the default) or
# i686, one toolchain file each.
configure()
{
    local root="$1" build="$2" arch="${3:-x86_64}"
    shift $(( $# < 3 ? $# : 3 ))
    cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

configure_and_build()
{
    configure "$@"
    cmake --build "$2"
}
