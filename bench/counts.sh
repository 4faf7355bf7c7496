#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Instruction counts at start-up (callgrind) and write calls for a long
# listing (strace), for korvalt beside /bin/true and /bin/echo.  Several
# korvalts, an earlier build and this one say, are counted side by side.
# Usage: bench/counts.sh path/to/korvalt [path/to/korvalt ...]
set -euo pipefail

(($#)) || { echo "usage: $0 path/to/korvalt [path/to/korvalt ...]" >&2; exit 2; }
for tool in valgrind strace; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: $tool is not installed (apt-get install $tool)" >&2
        exit 1
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# User-space instructions of one run; the program's own output is discarded.
# A run that fails leaves no count, rather than the one before it.
instructions() {
    rm -f "$scratch/log"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null --log-file="$scratch/log" \
        "$@" >/dev/null 2>&1 || { echo "$0: $1 did not run under valgrind" >&2; exit 1; }
    sed -n 's/.*Collected : //p' "$scratch/log"
}

# write and writev calls of one run, its output discarded.
write_calls() {
    strace -f -c -e trace=write,writev -o "$scratch/calls" "$@" >/dev/null 2>&1
    awk '$NF == "total" { print $4 }' "$scratch/calls"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "User-space instructions at start-up (valgrind --tool=callgrind)"
printf '%-12s %12s %12s %8s  %s\n' arguments korvalt /bin/true ratio korvalt
for args in "" "a b"; do
    # shellcheck disable=SC2086 # the arguments are meant to split
    t=$(instructions /bin/true $args)
    for korvalt in "$@"; do
        # shellcheck disable=SC2086
        k=$(instructions "$korvalt" $args)
        printf '%-12s %12s %12s %8s  %s\n' "${args:-none}" "$k" "$t" "$(ratio "$k" "$t")" "$korvalt"
    done
done

mapfile -t many < <(seq -f '%06g' 0 9999)
e=$(write_calls /bin/echo "${many[@]}")
echo
echo "write and writev calls for 10,000 arguments of 6 bytes (strace -f -c)"
printf '%-12s %12s %12s %22s  %s\n' bytes korvalt /bin/echo "limit 3 + bytes/4 KiB" korvalt
for korvalt in "$@"; do
    bytes=$("$korvalt" "${many[@]}" 2>&1 | wc -c)
    k=$(write_calls "$korvalt" "${many[@]}")
    printf '%-12s %12s %12s %22s  %s\n' "$bytes" "$k" "$e" "$((3 + (bytes + 4095) / 4096))" "$korvalt"
done
