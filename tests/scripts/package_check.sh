#!/bin/bash
# Checks a built package against package_rows.txt and the rows of each
# language library in the build's list of them, with msiinfo and no Wine.
#   package_check.sh PACKAGE LANGUAGES [NAME=VALUE]...   (values for @NAME in the rows;
#   LibraryVersion is the version the language libraries were built with)
# Prints every row that does not hold and ends with 1 if any did not.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
MSI=$(realpath "$1")
LANGUAGES=$(realpath "$2")
shift 2

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
done < <(cat "$HERE/package_rows.txt"
         while read -r library language short; do
             [[ -z $library || $library == \#* ]] && continue
             printf 'File %s Version @LibraryVersion.0\nFile %s Language %d\n' "$library" "$library" $((16#$language))
             printf 'MsiFileHash %s Options <none>\nFile %s FileName %s|%s\n' "$library" "$library" "$short" "$library"
         done <"$LANGUAGES")
echo "$MSI: $failures of the rows do not hold"
[ "$failures" -eq 0 ]
