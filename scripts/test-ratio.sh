#!/usr/bin/env bash
# Prints how large the tests are beside the code they test. The rule: non-blank lines of the C++
# sources and headers (*.cpp, *.h) that git tracks; tests are everything under tests/, code is
# everything else (the programs, tools/ and bench/ included).
set -euo pipefail
cd "$(dirname "$0")/.."
count() { xargs -r cat | grep -c -v '^[[:space:]]*$' || true; }
tests=$(git ls-files -- '*.cpp' '*.h' | grep '^tests/' | count)
code=$(git ls-files -- '*.cpp' '*.h' | grep -v '^tests/' | count)
awk -v t="$tests" -v c="$code" 'BEGIN {
    printf "Test lines %d, code lines %d: tests are %.1f %% of the code\n", t, c, c ? 100 * t / c : 0
}'
