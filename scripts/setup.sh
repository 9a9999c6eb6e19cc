#!/bin/bash
# Installs what this Debian 12 machine lacks for building, testing and the
# demo; does nothing (in well under a second) when everything is there.
# Used by scripts/test.sh, scripts/demo.sh and .ci/run. Any failure ends it
# with a message and a non-zero exit; it never leaves a package missing.
#   --x86   also 32-bit Wine (wine32:i386, about 1.1 GB), to run the x86 build
#   --list-missing PACKAGE...   only print which of these are not installed
set -Eeuo pipefail
trap 'echo "scripts/setup.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

PACKAGES=(
    wine wine64
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
    cmake ninja-build googletest
    wixl msitools
    # A second compiler's warnings (scripts/clang-check.sh reads the build's
    # compile commands with jq).
    clang jq
    xvfb imagemagick
    # Signing with a throwaway certificate, and reading the PE files' resources.
    osslsigncode openssl icoutils
    # Chinese, Japanese and Korean texts in the agent's screenshots.
    fonts-wqy-microhei
)

missing_packages()
{
    # One dpkg-query for the whole list: a missing package prints no "installed"
    # line. It exits 1 when dpkg has never heard of one of them, which is the
    # usual case on a fresh machine, so only its output counts.
    local installed
    installed=$( { dpkg-query -W -f='${Package}:${Status}\n' "$@" 2>/dev/null || true; } |
                 sed -n 's/:install ok installed$//p')
    local p
    for p in "$@"; do
        grep -qx "${p%%:*}" <<<"$installed" || echo "$p"
    done
}

as_root()
{
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

apt_install()
{
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -qq
    as_root apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

if [ "${1:-}" = "--list-missing" ]; then
    shift
    missing_packages "$@"
    exit 0
fi

# A plain assignment, not mapfile < <(...): a failure inside it must end the script.
missing=$(missing_packages "${PACKAGES[@]}")
if [ -n "$missing" ]; then
    mapfile -t need <<<"$missing"
    echo "== installing ${need[*]}"
    apt_install "${need[@]}"
    still=$(missing_packages "${need[@]}")
    if [ -n "$still" ]; then
        echo "scripts/setup.sh: still missing after apt-get install: $still" >&2
        exit 1
    fi
fi

# A failed attempt leaves no i386 architecture behind, which would make every
# later apt-get update fetch (and here fail on) the i386 indexes.
drop_i386_if_unused()
{
    if [ -z "$(dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -x i386)" ]; then
        as_root dpkg --remove-architecture i386 2>/dev/null || true
    fi
}

if [ "${1:-}" = "--x86" ] && [ -n "$(missing_packages wine32:i386)" ]; then
    echo "== installing wine32:i386"
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
    trap drop_i386_if_unused EXIT
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -qq
    # Exactly the installed Wine's version, and nothing already installed
    # changed: a mixed Wine would break the 64-bit one too.
    wine_version=$(dpkg-query -W -f='${Version}' wine64)
    plan=$(as_root apt-get install -s -y --no-install-recommends "wine32:i386=$wine_version")
    if grep -E '^(Remv|Inst [^ ]+ \[)' <<<"$plan"; then
        echo "wine32:i386 would change the packages above; not installed" >&2
        exit 1
    fi
    as_root apt-get install -y -qq --no-install-recommends "wine32:i386=$wine_version" >/dev/null
fi
