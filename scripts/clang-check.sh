#!/bin/bash
# The product's sources compiled again by Clang, as a second opinion on
# warnings: with the very flags of the GCC build (its compile_commands.json),
# mingw-w64's headers and libstdc++, and -Werror. Compiles only; links nothing.
#   scripts/clang-check.sh BUILD [FOLDER...]   top folders of the source tree;
#                                               common service agent by default
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$1"
shift
[ $# -gt 0 ] || set -- common service agent

commands="$BUILD/compile_commands.json"
[ -f "$commands" ] || { echo "no $commands: build with GCC first" >&2; exit 1; }

gcc_include="$(x86_64-w64-mingw32-g++-posix -print-file-name=include)"
CLANG=(clang++ --target=x86_64-w64-mingw32
    -I"$gcc_include/c++" -I"$gcc_include/c++/x86_64-w64-mingw32"
    -isystem /usr/x86_64-w64-mingw32/include
    -Werror -fsyntax-only)

# One line per C++ source in those folders: the GCC command without its
# compiler and its output file.
jq -r --arg root "$ROOT/" '
    [.[] | select(.file | endswith(".cpp"))
         | select(.file | ltrimstr($root) | split("/")[0] | IN($ARGS.positional[]))]
    | unique_by(.file)[] | .command | sub("^[^ ]+ "; "") | sub(" -o [^ ]+"; "")' "$commands" --args "$@" \
| (cd "$BUILD" && xargs -r -P "$(nproc)" -L 1 "${CLANG[@]}")
