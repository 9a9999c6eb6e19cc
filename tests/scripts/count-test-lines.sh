#!/bin/bash
# Non-blank lines of the product and of its tests, the tests split into
# cases (TEST bodies, parameter lists and tables of cases) and support
# (everything else: tests/support, fixtures, fakes, helpers).
#   tests/scripts/count-test-lines.sh [GIT_REVISION]   the work tree by default
set -euo pipefail
cd "$(dirname "$0")/../.."
REV="${1:-}"

files() { if [ -n "$REV" ]; then git ls-tree -r --name-only "$REV" -- "$@"; else git ls-files -- "$@"; fi; }
show() { if [ -n "$REV" ]; then git show "$REV:$1"; else cat "$1"; fi; }
non_blank() { grep -c '[^[:space:]]' || true; }

product=0
for f in $(files service agent common | grep -E '\.(cpp|h)$'); do
    product=$((product + $(show "$f" | non_blank)))
done

# A case is a TEST macro's body or a table of cases (an array of ...Case
# records), to its closing brace at the left margin, or a test suite's
# parameter list, to the end of the call.
CASE_AWK='
    /^[[:space:]]*$/ { next }
    !inside && /^INSTANTIATE_TEST_SUITE_P\(/ { inside = "call" }
    !inside && /^(TEST|TEST_F|TEST_P)\(|^(static )?(const |constexpr )*[A-Za-z_:<>]*Case[A-Za-z]* +[A-Za-z_]+\[\] *= *\{/ { inside = "block" }
    inside == "call" { cases++; if ($0 ~ /\);[[:space:]]*$/) inside = ""; next }
    inside == "block" { cases++; if ($0 ~ /^\}/) inside = ""; next }
    { support++ }
    END { print cases + 0, support + 0 }'
cases=0 support=0
for f in $(files tests | grep -E '\.(cpp|h)$'); do
    read -r c s < <(show "$f" | awk "$CASE_AWK")
    case "$f" in tests/support/*) support=$((support + c + s)) ;; *) cases=$((cases + c)); support=$((support + s)) ;; esac
done
tests=$((cases + support))
echo "product $product, tests $tests (cases $cases, support $support), tests/product $(awk -v t=$tests -v p=$product 'BEGIN {printf "%.2f", t / p}')"
