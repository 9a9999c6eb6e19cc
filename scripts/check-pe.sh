#!/bin/bash
# Checks what a build ships without running it (Wine without wine32 runs no
# i686 program, and reports success for it all the same): PE headers and
# imports, version resources and manifests; or, with --signatures, that each
# file of ours and each package carries a signature that verifies against
# CAFILE ("-" for the system's store), and that the vendor's stand-ins carry none.
#   check-pe.sh [--signatures CAFILE] x86|x64 BUILD_DIR    (dist/ and stand-ins/)
set -uo pipefail
CAFILE=
if [ "${1:-}" = "--signatures" ]; then CAFILE="$2"; shift 2; fi
ARCH="$1"
BUILD="$2"
failures=0

fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }

# file  subsystem(2 GUI, 3 console)  kind(exe|dll)  imports it must have (comma-separated, "-" none)
#   version (package: the package's, "-" none checked)  language of the version resource
#   execution level of the manifest ("-" none checked)  DPI awareness  signed by us
EXPECTED="
dist/saddrin.exe            3 exe wps_api.dll,XmlLite.dll,Wlanapi.dll,ADVAPI32.dll package 0409 requireAdministrator - yes
dist/Quorvel.exe            2 exe Wlanapi.dll,WTSAPI32.dll,COMCTL32.DLL,ole32.dll  1.0.0.2 0409 asInvoker PerMonitorV2 yes
stand-ins/wps_api.dll       3 dll KERNEL32.dll - - - - no
stand-ins/wlanapi.dll       3 dll KERNEL32.dll - - - - no
stand-ins/wl.exe            3 exe KERNEL32.dll - - - - no
stand-ins/testbed.exe       3 exe KERNEL32.dll - - - - no
"
# The language libraries, from the build's list of them (lang/CMakeLists.txt).
while read -r library language _; do
    [[ -z $library || $library == \#* ]] && continue
    EXPECTED+="dist/$library 3 dll - package $language - - yes"$'\n'
done <"$BUILD/generated/languages.txt"
# Windows 7, 8, 8.1, and 10 and 11.
SUPPORTED_OS="35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"
WPS_FUNCTIONS="wps_close wps_findAP wps_getAP wps_get_AP_info wps_get_hwbutton_state wps_gpio_close wps_gpio_open wps_hwbutton_supported wps_join wps_open"
IMAGE_FILE_32BIT_MACHINE=0x100
IMAGE_FILE_DLL=0x2000
RT_VERSION=16
RT_MANIFEST=24
VS_FIXEDFILEINFO_SIGNATURE=feef04bd

case "$ARCH" in
    x86) OBJDUMP=i686-w64-mingw32-objdump FORMAT=pei-i386 MAGIC=010b ;;
    x64) OBJDUMP=x86_64-w64-mingw32-objdump FORMAT=pei-x86-64 MAGIC=020b ;;
    *) echo "usage: check-pe.sh [--signatures CAFILE] x86|x64 BUILD_DIR" >&2; exit 2 ;;
esac
PACKAGE_VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt").0

# The fixed part of a version resource: file version, then product version.
fixed_versions()
{
    local words
    words=($(wrestool -x --raw -t $RT_VERSION "$1" 2>/dev/null | od -An -v -tx4 -w4 |
             awk -v sig=$VS_FIXEDFILEINFO_SIGNATURE '$1 == sig {found = NR} found && NR > found + 1 {print $1} found && NR == found + 5 {exit}'))
    [ ${#words[@]} -eq 4 ] || return 0
    printf '%d.%d.%d.%d %d.%d.%d.%d' $((0x${words[0]} >> 16)) $((0x${words[0]} & 0xffff)) $((0x${words[1]} >> 16)) \
        $((0x${words[1]} & 0xffff)) $((0x${words[2]} >> 16)) $((0x${words[2]} & 0xffff)) $((0x${words[3]} >> 16)) \
        $((0x${words[3]} & 0xffff))
}

check_resources()
{
    local file="$1" path="$2" version="$3" language="$4" level="$5" dpi="$6" manifest guid
    if [ "$version" != - ]; then
        [ "$version" = package ] && version=$PACKAGE_VERSION
        [ "$(fixed_versions "$path")" = "$version $version" ] ||
            fail "$file" "file and product version are not $version: $(fixed_versions "$path")"
        wrestool -x --raw -t $RT_VERSION "$path" 2>/dev/null | tr -d '\0' | grep -aqi "${language}04b0" ||
            fail "$file" "no version strings in language $language"
    fi
    [ "$level" != - ] || return 0
    manifest=$(wrestool -x --raw -t $RT_MANIFEST "$path" 2>/dev/null)
    grep -q "requestedExecutionLevel level=\"$level\" uiAccess=\"false\"" <<<"$manifest" ||
        fail "$file" "manifest does not ask for $level"
    for guid in $SUPPORTED_OS; do
        grep -qi "supportedOS Id=\"{$guid}\"" <<<"$manifest" || fail "$file" "manifest lacks supportedOS $guid"
    done
    if [ "$dpi" != - ]; then
        grep -q ">$dpi</dpiAwareness>" <<<"$manifest" || fail "$file" "not $dpi DPI-aware"
        grep -q ">true/pm</dpiAware>" <<<"$manifest" || fail "$file" "no per-monitor dpiAware fallback"
    fi
}

check_headers()
{
    local file="$1" path="$2" subsystem="$3" kind="$4" imports="$5" headers characteristics dlls dll
    headers=$($OBJDUMP -p "$path")
    grep -q "file format $FORMAT" <<<"$headers" || fail "$file" "not a $FORMAT file"
    grep -qE "^Magic[[:space:]]+$MAGIC" <<<"$headers" || fail "$file" "optional header magic is not $MAGIC"
    grep -qE "^Subsystem[[:space:]]+0000000$subsystem" <<<"$headers" ||
        fail "$file" "subsystem is not $subsystem: $(grep ^Subsystem <<<"$headers")"
    characteristics=$(awk '/^Characteristics/ {print $2; exit}' <<<"$headers")
    if [ "$ARCH" = x86 ]; then
        (( characteristics & IMAGE_FILE_32BIT_MACHINE )) || fail "$file" "not marked as a 32-bit machine file"
    fi
    if [ "$kind" = dll ]; then
        (( characteristics & IMAGE_FILE_DLL )) || fail "$file" "not a DLL"
    else
        (( characteristics & IMAGE_FILE_DLL )) && fail "$file" "a DLL, not a program"
    fi
    dlls=$(awk '/DLL Name:/ {print $3}' <<<"$headers")
    if [ "$imports" = "-" ]; then
        [ -z "$dlls" ] || fail "$file" "imports $(tr '\n' ' ' <<<"$dlls")"
    else
        for dll in ${imports//,/ }; do
            # Windows finds a DLL by its name in any case; the import libraries differ.
            grep -qix "$dll" <<<"$dlls" || fail "$file" "does not import $dll"
        done
    fi
    # Shipped stripped: no symbol table and no debug sections.
    { $OBJDUMP -t "$path" | grep -q '^\[ *[0-9]'; } && fail "$file" "keeps its symbol table"
    { $OBJDUMP -h "$path" | grep -q '\.debug_'; } && fail "$file" "keeps debug sections"
    # The static runtime: no mingw DLL may be needed beside the program.
    grep -qiE "^(libgcc|libstdc|libwinpthread)" <<<"$dlls" && fail "$file" "needs a mingw runtime DLL"
    # A decorated name (f@8) would not be found in a Windows DLL's export table.
    grep -E "^[[:space:]]+([0-9a-f]+[[:space:]]+[0-9]+|\[ *[0-9]+\])[[:space:]]+[A-Za-z_].*@[0-9]+$" <<<"$headers" >/dev/null &&
        fail "$file" "imports or exports a decorated name"
}

verifies()
{
    local trust=()
    [ "$CAFILE" = - ] || trust=(-CAfile "$CAFILE")
    osslsigncode verify "${trust[@]}" -in "$1" >/dev/null 2>&1
}

while read -r file subsystem kind imports version language level dpi signed; do
    [ -n "$file" ] || continue
    path="$BUILD/$file"
    if [ ! -f "$path" ]; then fail "$file" "missing"; continue; fi
    if [ -n "$CAFILE" ]; then
        if [ "$signed" = yes ]; then
            verifies "$path" || fail "$file" "no signature that verifies"
        else
            verifies "$path" && fail "$file" "signed, but the vendor's files ship as received"
        fi
        continue
    fi
    check_headers "$file" "$path" "$subsystem" "$kind" "$imports"
    check_resources "$file" "$path" "$version" "$language" "$level" "$dpi"
done <<<"$EXPECTED"

if [ -n "$CAFILE" ]; then
    packages=("$BUILD"/*.msi)
    [ -f "${packages[0]}" ] || fail "$BUILD" "no package"
    for package in "${packages[@]}"; do
        [ -f "$package" ] || continue
        verifies "$package" || fail "$(basename "$package")" "no signature that verifies"
    done
    [ $failures -eq 0 ] || { echo "$failures signature check(s) failed in $BUILD"; exit 1; }
    echo "$ARCH signatures: our files and ${#packages[@]} package(s) verify, the stand-ins carry none"
    exit 0
fi

# Optimised (-O2 comes with Release), and the service's title, as the
# Services console shows it, in its version resource.
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/CMakeCache.txt" || fail "$BUILD" "not a Release build"
title=$(sed -n 's/^inline constexpr wchar_t kServiceTitle\[\] = L"\(.*\)";$/\1/p' "$(dirname "$0")/../common/contract.h")
wrestool -x --raw -t $RT_VERSION "$BUILD/dist/saddrin.exe" 2>/dev/null | tr -d '\0' | grep -aq "FileDescription$title" ||
    fail saddrin.exe "the version resource does not describe it as \"$title\""

# The vendor functions by their plain names, as the vendor's DLL exports them.
wps_imports=$($OBJDUMP -p "$BUILD/dist/saddrin.exe" | sed -n '/DLL Name: wps_api.dll/,/^$/p' | awk 'NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' | sort | tr '\n' ' ')
[ "$wps_imports" = "$(tr ' ' '\n' <<<"$WPS_FUNCTIONS" | sort | tr '\n' ' ')" ] ||
    fail saddrin.exe "imports from wps_api.dll: $wps_imports"

if [ $failures -gt 0 ]; then
    echo "$failures PE check(s) failed in $BUILD"
    exit 1
fi
echo "$ARCH PE files: $(grep -c . <<<"$EXPECTED") with their headers and imports; version resources and manifests as shipped"
