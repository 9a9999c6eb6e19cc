# Shared by scripts/test.sh and scripts/demo.sh (sourced, not run).
# One Wine prefix per build tree, created once; a persistent wineserver and an
# Xvfb display for the run, both ended by their process ids.

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
    if [ ! -f "$WINEPREFIX/.tolvek-ready" ]; then
        echo "== preparing Wine prefix $WINEPREFIX"
        rm -rf "$WINEPREFIX"
        timeout 300 wineboot -i >/dev/null 2>&1 || true
        timeout 60 wineserver -w || true
        # Let Wine draw the dialogs' captions: no window manager runs under Xvfb.
        timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        timeout 60 wineserver -w || true
        touch "$WINEPREFIX/.tolvek-ready"
    fi
}

wine_session_start()
{
    local build="$1"
    wine_prefix_init "$build"
    WINE_SESSION_DIR="$build/wine-session"
    mkdir -p "$WINE_SESSION_DIR"

    # A display of our own: Xvfb picks a free number and writes it to fd 3.
    rm -f "$WINE_SESSION_DIR/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WINE_SESSION_DIR/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    local tries=0
    while [ ! -s "$WINE_SESSION_DIR/display" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    export DISPLAY=":$(head -n1 "$WINE_SESSION_DIR/display")"

    wineserver -p &
    WINESERVER_PID=$!
    # Keep a service alive between the tests' own Wine processes.
    timeout 60 wine cmd /c exit >/dev/null 2>&1 || true
}

wine_session_stop()
{
    if [ -n "${WINEPREFIX:-}" ]; then
        timeout 30 wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -n "${WINESERVER_PID:-}" ]; then kill "$WINESERVER_PID" 2>/dev/null || true; fi
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    wait 2>/dev/null || true
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
