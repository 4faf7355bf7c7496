# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by tests/compare-builds and the packaging and cross checks.

# behaviour SCRATCH PROGRAM prints, in a form that diff compares, how PROGRAM
# behaves: the bytes on each stream and the status of a run with arguments,
# and of one whose standard output is a full disk.  Two builds of korvalt
# that behave alike print the same.  PROGRAM may be preceded by an emulator
# and its options: behaviour SCRATCH qemu-s390x -L /usr/s390x-linux-gnu
# build/s390x/korvalt.
behaviour() {
    local scratch=$1 status=0
    shift
    local program=("$@")
    "${program[@]}" alpha 'two words' >"$scratch/out" 2>"$scratch/err" || status=$?
    printf 'status %s\nstandard output\n' "$status"
    od -c "$scratch/out"
    printf 'standard error\n'
    od -c "$scratch/err"
    status=0
    "${program[@]}" a b >/dev/full 2>"$scratch/err" || status=$?
    printf 'on /dev/full: status %s\nstandard error\n' "$status"
    od -c "$scratch/err"
}

# write_calls PROGRAM SCRATCH prints the write calls PROGRAM makes, with
# their streams, sizes and order, for a short listing and for one of 10,000
# arguments.  Two builds that buffer alike make the same calls.
write_calls() {
    local program=$1 scratch=$2 many
    mapfile -t many < <(seq -f '%06g' 0 9999)
    strace -qq -o "$scratch/short" -e trace=write,writev "$program" alpha 'two words' >/dev/null 2>&1
    strace -qq -o "$scratch/long" -e trace=write,writev "$program" "${many[@]}" >/dev/null 2>&1
    cat "$scratch/short" "$scratch/long"
}
