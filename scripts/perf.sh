#!/bin/bash
# Figures from one run under Wine with the stand-ins and a WPS exchange of
# 0 s: press-to-result latency in phases, idle cost, and handle and memory
# growth. --quick takes fewer presses, sessions and seconds (for CI).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
source "$ROOT/scripts/wine-session.sh"

PRESSES=100 SESSIONS=1000 IDLE_SECONDS=60 STOPS=5
if [ "${1:-}" = "--quick" ]; then PRESSES=10 SESSIONS=50 IDLE_SECONDS=5 STOPS=3; fi

configure_and_build "$ROOT" "$BUILD" >/dev/null
trap wine_session_stop EXIT
wine_session_start "$BUILD"

DIR='C:\Program Files\Tolvek Bench'
INSTALL="$WINEPREFIX/drive_c/Program Files/Tolvek Bench"
rm -rf "$INSTALL"
mkdir -p "$INSTALL/bench"
cp "$BUILD"/dist/* "$BUILD"/stand-ins/* "$INSTALL/"
run() { timeout 600 wine "$@" 2>/dev/null | tr -d '\r'; }
testbed() { run "$DIR\\testbed.exe" "$@"; }

# The Unix side of a Windows program run without arguments in this prefix
# (zombies, the timeout wrapper and other prefixes' programs left out): the
# newest by start time, as a stopped service's process may not have ended yet.
# No pipe that a reader may leave early: under pipefail that ends the script.
unix_pid() {
    local pid stat newest= newest_start=-1
    for pid in $(pgrep -f "^C:\\\\.*\\\\$1\$"); do
        read -r -a stat 2>/dev/null <"/proc/$pid/stat" || continue
        [ "${stat[2]}" != Z ] && [ "${stat[21]}" -gt "$newest_start" ] || continue
        grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null || continue
        newest=$pid newest_start=${stat[21]}
    done
    echo "$newest"
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^RssAnon/ {print $2}' "/proc/$1/status"; }
handles() { testbed handles "$1" | awk '{print $2}'; }
percent() { awk -v t="$1" -v s="$2" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.3f", 100 * t / hz / s}'; }

echo "== scripts/perf.sh $* on $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
testbed wlan add "Tolvek Lark Wireless USB Adapter" >/dev/null
testbed ap add HomeNet --key "correct horse battery" --auth WPA2-PSK --encr 8 >/dev/null
for call in open findAP getAP join get_AP_info close; do testbed wps delay "$call" 0; done
run "$DIR\\saddrin.exe" -ds >/dev/null || true  # one left by a run cut short
run "$DIR\\saddrin.exe" -is >/dev/null
for _ in $(seq 1 100); do run sc query WLANTolvekService | grep -q RUNNING && break; sleep 0.1; done
(cd "$INSTALL" && exec timeout 3600 wine "$DIR\\Quorvel.exe" >/dev/null 2>&1 &) 2>/dev/null
for _ in $(seq 1 100); do testbed agent show 2>/dev/null | grep -q '^visible: no' && break; sleep 0.2; done

# Warm-up presses: the first requests load what each program keeps.
testbed perf presses 3 >/dev/null
SERVICE=$(unix_pid saddrin.exe) AGENT=$(unix_pid Quorvel.exe) SERVER=$(wine_server_pid)
service_handles0=$(handles saddrin.exe) agent_handles0=$(handles Quorvel.exe)
service_rss0=$(rss_kib "$SERVICE") agent_rss0=$(rss_kib "$AGENT")
echo
testbed perf presses "$PRESSES"
agent_handles1=$(handles Quorvel.exe) agent_rss1=$(rss_kib "$AGENT")
service_handles1=$(handles saddrin.exe) service_rss1=$(rss_kib "$SERVICE")
sessions=$(testbed perf sessions "$SESSIONS" || true)
service_handles2=$(handles saddrin.exe) service_rss2=$(rss_kib "$SERVICE")
echo
testbed perf stops "$STOPS"
SERVICE=$(unix_pid saddrin.exe)

# Idle: the programs as they are, then the stand-ins' own calls alone.
idle() {
    local before=() after=() pid
    for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
    sleep "$IDLE_SECONDS"
    for pid in "$@"; do after+=("$(cpu_ticks "$pid")"); done
    for i in "${!before[@]}"; do echo $((after[i] - before[i])); done | xargs
}
read -r service_cpu agent_cpu server_cpu < <(idle "$SERVICE" "$AGENT" "$SERVER")
run "$DIR\\saddrin.exe" -ds >/dev/null
kill "$(unix_pid Quorvel.exe)" 2>/dev/null || true
sleep 2
(testbed perf standins "$IDLE_SECONDS" &)
sleep 1
alone=$((IDLE_SECONDS - 2))
read -r standins_cpu baseline_server_cpu < <(IDLE_SECONDS=$alone idle "$(pgrep -f '^C:.*testbed.exe perf standins' | head -n1)" "$SERVER")
sleep 2

echo
echo "Idle cost over $IDLE_SECONDS s, % of one core (target < 0.3 per program, without the stand-ins' file I/O)"
# The stand-ins' own share: the testbed tool alone makes the calls the idle
# service makes (button every 300 ms, link every 1000 ms), service stopped.
service_all=$(percent "$service_cpu" "$IDLE_SECONDS") service_alone=$(percent "$standins_cpu" "$alone")
server_all=$(percent "$server_cpu" "$IDLE_SECONDS") server_alone=$(percent "$baseline_server_cpu" "$alone")
printf '  %-44s %7s\n' "service, all" "$service_all" \
    "stand-in calls alone, in the testbed tool" "$service_alone" \
    "service without them (difference)" "$(awk "BEGIN {printf \"%.3f\", $service_all - $service_alone}")" \
    "agent" "$(percent "$agent_cpu" "$IDLE_SECONDS")" \
    "wineserver, all" "$server_all" \
    "wineserver, stand-in calls alone" "$server_alone" \
    "wineserver without them (difference)" "$(awk "BEGIN {printf \"%.3f\", $server_all - $server_alone}")"
echo "  (one clock tick is $(percent 1 "$IDLE_SECONDS") here)"
echo
echo "Leaks (target: no handle growth; under 1024 KiB of memory after 3 warm-up presses)"
printf '  %-44s %7s %7s %7s\n' "" before after growth
row() { printf '  %-44s %7s %7s %7s\n' "$1" "$2" "$3" "$(($3 - $2))"; }
row "agent handles, $PRESSES requests" "$agent_handles0" "$agent_handles1"
row "agent RssAnon KiB, $PRESSES requests" "$agent_rss0" "$agent_rss1"
row "service handles, $SESSIONS sessions" "$service_handles1" "$service_handles2"
row "service RssAnon KiB, $SESSIONS sessions" "$service_rss1" "$service_rss2"
row "service handles, all $((PRESSES + SESSIONS)) sessions" "$service_handles0" "$service_handles2"
row "service RssAnon KiB, all $((PRESSES + SESSIONS)) sessions" "$service_rss0" "$service_rss2"
echo "  $sessions"
