#!/bin/bash
# Checks the PE headers of an x86 build without running it: Wine without
# wine32 runs no i686 program, and reports success for it all the same.
#   check-pe.sh BUILD_DIR    (the x86 build tree: dist/ and stand-ins/)
set -uo pipefail
BUILD="$1"
OBJDUMP=i686-w64-mingw32-objdump
failures=0

fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }

# file  subsystem(2 GUI, 3 console)  kind(exe|dll)  imports it must have (comma-separated, "-" none)
EXPECTED="
dist/saddrin.exe            3 exe wps_api.dll,XmlLite.dll,Wlanapi.dll,ADVAPI32.dll
dist/Quorvel.exe            2 exe Wlanapi.dll,WTSAPI32.dll,COMCTL32.DLL,ole32.dll
dist/TolvekwresDLL.dll      3 dll -
dist/TolvekwresSCHDLL.dll   3 dll -
dist/TolvekwresTCHDLL.dll   3 dll -
dist/TolvekwresJAPDLL.dll   3 dll -
dist/TolvekwresKORDLL.dll   3 dll -
stand-ins/wps_api.dll       3 dll KERNEL32.dll
stand-ins/wlanapi.dll       3 dll KERNEL32.dll
stand-ins/wl.exe            3 exe KERNEL32.dll
stand-ins/testbed.exe       3 exe KERNEL32.dll
"
WPS_FUNCTIONS="wps_close wps_findAP wps_getAP wps_get_AP_info wps_get_hwbutton_state wps_gpio_close wps_gpio_open wps_hwbutton_supported wps_join wps_open"
IMAGE_FILE_32BIT_MACHINE=0x100
IMAGE_FILE_DLL=0x2000

while read -r file subsystem kind imports; do
    [ -n "$file" ] || continue
    path="$BUILD/$file"
    if [ ! -f "$path" ]; then fail "$file" "missing"; continue; fi
    headers=$($OBJDUMP -p "$path")
    grep -q "file format pei-i386" <<<"$headers" || fail "$file" "not an i386 PE file"
    grep -qE "^Magic[[:space:]]+010b" <<<"$headers" || fail "$file" "not PE32"
    grep -qE "^Subsystem[[:space:]]+0000000$subsystem" <<<"$headers" ||
        fail "$file" "subsystem is not $subsystem: $(grep ^Subsystem <<<"$headers")"
    characteristics=$(awk '/^Characteristics/ {print $2; exit}' <<<"$headers")
    (( characteristics & IMAGE_FILE_32BIT_MACHINE )) || fail "$file" "not marked as a 32-bit machine file"
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
            grep -qx "$dll" <<<"$dlls" || fail "$file" "does not import $dll"
        done
    fi
    # The static runtime: no mingw DLL may be needed beside the program.
    grep -qiE "^(libgcc|libstdc|libwinpthread)" <<<"$dlls" && fail "$file" "needs a mingw runtime DLL"
    # A decorated name (f@8) would not be found in a Windows DLL's export table.
    grep -E "^[[:space:]]+([0-9a-f]+[[:space:]]+[0-9]+|\[ *[0-9]+\])[[:space:]]+[A-Za-z_].*@[0-9]+$" <<<"$headers" >/dev/null &&
        fail "$file" "imports or exports a decorated name"
done <<<"$EXPECTED"

# The vendor functions by their plain names, as the vendor's DLL exports them.
wps_imports=$($OBJDUMP -p "$BUILD/dist/saddrin.exe" | sed -n '/DLL Name: wps_api.dll/,/^$/p' | awk 'NF == 3 && $2 ~ /^[0-9]+$/ {print $3}' | sort | tr '\n' ' ')
[ "$wps_imports" = "$(tr ' ' '\n' <<<"$WPS_FUNCTIONS" | sort | tr '\n' ' ')" ] ||
    fail saddrin.exe "imports from wps_api.dll: $wps_imports"

if [ $failures -gt 0 ]; then
    echo "$failures PE header check(s) failed in $BUILD"
    exit 1
fi
echo "x86 PE headers: $(grep -c . <<<"$EXPECTED") files are i386 with their subsystems and imports"
