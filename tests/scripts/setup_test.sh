#!/bin/bash
# scripts/setup.sh against stand-ins for dpkg-query and apt-get: a package
# dpkg has never known, or has purged, is installed; a step that fails, or an
# install that leaves a package missing, ends the script non-zero.
set -uo pipefail
SETUP="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/bin"

# dpkg-query -W -f=...: one line per package dpkg knows ("name status" in
# $WORK/known), and exit 1 when any other was asked for, as dpkg-query does.
cat >"$WORK/bin/dpkg-query" <<'STUB'
#!/bin/bash
status=0
for p in "${@:3}"; do
    line=$(grep "^${p%%:*} " "$STATE/known" | tail -n 1)
    [ -n "$line" ] || { echo "dpkg-query: no packages found matching $p" >&2; status=1; continue; }
    echo "${p%%:*}:${line#* }"
done
exit $status
STUB
# apt-get: logged; "install" marks its packages installed unless told to drop one.
cat >"$WORK/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$STATE/log"
[ "$1" != update ] || exit "${APT_UPDATE_STATUS:-0}"
for p in "$@"; do
    case "$p" in -*|install) ;; "$APT_DROPS") ;; *) echo "$p install ok installed" >>"$STATE/known" ;; esac
done
STUB
chmod +x "$WORK/bin/"*

PACKAGES=$(sed -n '/^PACKAGES=(/,/^)/p' "$SETUP" | sed 's/#.*//' | tr -s ' \n' '\n' | grep -v -e '^PACKAGES=(' -e '^)' -e '^$')
all_installed() { sed 's/$/ install ok installed/' <<<"$PACKAGES"; }

failures=0
# name | packages dpkg knows (all installed, then edited by sed) | apt's drop | update status | fails | installed by apt
CASES=(
    "everything there|s/^//||0|no|"
    "never known to dpkg|/^xvfb /d||0|no|xvfb"
    "purged, config files left|s/^xvfb .*/xvfb deinstall ok config-files/||0|no|xvfb"
    "two never known|/^wixl /d;/^cmake /d||0|no|cmake wixl"
    "install leaves it missing|/^xvfb /d|xvfb|0|yes|xvfb"
    "apt-get update fails|/^xvfb /d||100|yes|"
)
for row in "${CASES[@]}"; do
    IFS='|' read -r name edit drop update_status want_status want_installed <<<"$row"
    export STATE="$WORK/$RANDOM" APT_DROPS="$drop" APT_UPDATE_STATUS="$update_status"
    mkdir "$STATE" && touch "$STATE/log"
    all_installed | sed "$edit" >"$STATE/known"
    PATH="$WORK/bin:$PATH" "$SETUP" >"$STATE/out" 2>&1
    status=$?
    failed=$([ $status -ne 0 ] && echo yes || echo no)
    installed=$(sed -n 's/^apt-get install .*--no-install-recommends //p' "$STATE/log" | tr ' ' '\n' | sort | xargs)
    if [ "$failed" != "$want_status" ] || [ "$installed" != "$want_installed" ]; then
        echo "FAIL $name: exit $status (fails: want $want_status), installed '$installed' (want '$want_installed')"
        sed 's/^/    /' "$STATE/out"
        failures=$((failures + 1))
    elif [ "$want_status" = yes ] && ! grep -q "scripts/setup.sh:" "$STATE/out"; then
        echo "FAIL $name: failed without saying why"
        failures=$((failures + 1))
    fi
done
echo "$(( ${#CASES[@]} - failures )) passed, $failures failed"
[ $failures -eq 0 ]
