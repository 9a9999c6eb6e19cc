#!/bin/bash
# Every line of the README's deliberate differences names the tests that
# guard it, as "Guard: `name`" with one or more names in back quotes: a CTest
# test, or binary:Suite.Case as the binary's --gtest_list_tests gives it (a
# parameterised case may leave out its /parameter). Fails on a line without a
# guard and on a name this build does not have.
#   readme_guards.sh README BUILD
set -euo pipefail
README="$1"
BUILD="$2"

# The section's items, each joined into one line.
items=$(awk '/^## Deliberate differences/ {inside = 1; next} inside && /^## / {exit}
             inside && /^- / {if (item != "") print item; item = $0; next}
             inside && /^  +[^ ]/ && item != "" {sub(/^ +/, " "); item = item $0}
             END {if (item != "") print item}' "$README")
[ -n "$items" ] || { echo "no deliberate differences in $README" >&2; exit 1; }

# The names this build knows: CTest tests, and each GoogleTest case.
known=$(cd "$BUILD" && ctest --show-only=json-v1 | jq -r '.tests[].name')
while read -r binary; do
    name=$(basename "$binary" .exe)
    known+=$'\n'$("$BUILD/wine-run" "$binary" --gtest_list_tests </dev/null 2>/dev/null | tr -d '\r' |
        awk -v binary="$name" '/^[^ ]/ {suite = $1; next} /^  [^ ]/ {print binary ":" suite $1}')
done < <(cd "$BUILD" && ctest --show-only=json-v1 |
         jq -r '.tests[] | select(.command[0] | endswith("wine-run")) | .command[1]' | sort -u)

is_known()
{
    grep -qxF "$1" <<<"$known" || grep -qF "$1/" <<<"$known"
}

failures=0 guards=0
while read -r item; do
    names=$(grep -o 'Guard[s]*: .*' <<<"$item" | grep -o '`[^`]*`' | tr -d '`' || true)
    if [ -z "$names" ]; then
        echo "FAIL no guard: ${item:0:100}"
        failures=$((failures + 1))
        continue
    fi
    for name in $names; do
        guards=$((guards + 1))
        if ! is_known "$name"; then
            echo "FAIL unknown guard $name: ${item:0:60}"
            failures=$((failures + 1))
        fi
    done
done <<<"$items"

[ $failures -eq 0 ] || { echo "$failures README guard check(s) failed"; exit 1; }
echo "$(grep -c . <<<"$items") deliberate differences, $guards guards, all in this build"
