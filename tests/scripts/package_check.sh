#!/bin/bash
# Checks a built package against package_rows.txt, with msiinfo and no Wine.
#   package_check.sh PACKAGE [NAME=VALUE]...   (values for @NAME in the rows)
# Prints every row that does not hold and ends with 1 if any did not.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
MSI=$(realpath "$1")
shift

declare -A given
for pair in "$@"; do given[${pair%%=*}]=${pair#*=}; done

# Each table exported once.
TABLES=$(mktemp -d)
trap 'rm -rf "$TABLES"' EXIT
# msiinfo writes a table's streams (Binary) into the folder it runs in.
cd "$TABLES"
table_text()
{
    [ -f "$TABLES/$1" ] || { msiinfo export "$MSI" "$1" 2>/dev/null || true; } | sed 's/\r$//' >"$TABLES/$1"
    cat "$TABLES/$1"
}

# TABLE KEY COLUMN: the cell, "<none>" when there is no such row or it is empty.
cell()
{
    local key_column=1 key=$2
    if [[ $key == *=* ]]; then key_column=${key%%=*}; key=${key#*=}; fi
    table_text "$1" | awk -F'\t' -v kc="$key_column" -v key="$key" -v col="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) index_of[$i] = i; if (kc !~ /^[0-9]+$/) kc = index_of[kc]; next }
        NR <= 3 { next }
        $kc == key { value = $(index_of[col]); found = 1; exit }
        END { print (found && value != "") ? value : "<none>" }'
}

given[ProductVersion]=$(cell Property ProductVersion Value)
failures=0
while IFS= read -r line; do
    [[ -z $line || $line == \#* ]] && continue
    # The first three fields are single words; the expected value is the rest.
    read -r table key column expected <<<"$line"
    while [[ $expected =~ @([A-Za-z]+) ]]; do
        name=${BASH_REMATCH[1]}
        value=${given[$name]-}
        expected=${expected//@$name/${value:-<none>}}
    done
    actual=$(cell "$table" "$key" "$column")
    case $expected in
    \<[A-Z]* | \>[A-Z]*)
        other=$(cell "$table" "${expected:1}" "$column")
        if [[ $actual == "<none>" || $other == "<none>" ]] ||
           { [[ $expected == \<* ]] && ((actual >= other)); } || { [[ $expected == \>* ]] && ((actual <= other)); }; then
            echo "$MSI: $table $key $column is $actual, not $expected ($other)"
            failures=$((failures + 1))
        fi ;;
    *)
        if [[ $actual != "$expected" ]]; then
            echo "$MSI: $table $key $column is '$actual', not '$expected'"
            failures=$((failures + 1))
        fi ;;
    esac
done <"$HERE/package_rows.txt"
echo "$MSI: $failures of the rows do not hold"
[ "$failures" -eq 0 ]
