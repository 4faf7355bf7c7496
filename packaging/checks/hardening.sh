# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the packaging checks and cross/check.  Each function reads a build
# folder's korvalt, or its compile command, and reports what it lacks
# through the caller's fail function.

# static_pie BUILD: whether the build folder's korvalt is linked static-pie.
static_pie() {
    local cache=$1/CMakeCache.txt
    grep -qx 'KORVALT_STATIC:BOOL=ON' "$cache" && grep -qx 'KORVALT_HAVE_STATIC_PIE:INTERNAL=1' "$cache"
}

# korvalt_compile_command BUILD: the command that compiles korvalt.cpp, from
# Ninja or, with another generator, from compile_commands.json.
korvalt_compile_command() {
    if [ -f "$1/build.ninja" ]; then
        ninja -C "$1" -t commands korvalt | grep -E ' -c [^ ]*korvalt\.cpp$'
    else
        /usr/bin/python3 -c 'import json, sys
print(*(entry["command"] for entry in json.load(sys.stdin) if entry["file"].endswith("/korvalt.cpp")))' \
            <"$1/compile_commands.json"
    fi
}

# target_gnu_type BUILD: the GNU type the build's compiler makes code for
# (x86_64-linux-gnu, s390x-linux-gnu); target_processor BUILD: its
# processor; target_deb_arch BUILD: Debian's name for it (amd64, s390x).
target_gnu_type() {
    local compiler
    compiler=$(korvalt_compile_command "$1" | cut -d ' ' -f 1)
    "$compiler" -dumpmachine
}
target_processor() {
    target_gnu_type "$1" | cut -d - -f 1
}
target_deb_arch() {
    dpkg-architecture -t "$(target_gnu_type "$1")" -qDEB_HOST_ARCH 2>/dev/null
}

# check_elf BUILD: position-independent (type DYN, PIE), bound at once,
# read-only relocations, no executable stack; and, linked static-pie, no
# dynamic loader and no shared library.
check_elf() {
    local program=$1/korvalt header segments dynamic stack
    header=$(readelf -hW "$program")
    segments=$(readelf -lW "$program")
    dynamic=$(readelf -dW "$program")
    printf '%s\n' "$header" | grep -E '^ *(Machine|Type):'
    printf '%s\n' "$segments" | grep -E '^ *(INTERP|GNU_RELRO|GNU_STACK) '
    printf '%s\n' "$dynamic" | grep -E '\((NEEDED|FLAGS|FLAGS_1)\)' || true

    grep -Eq '^ *Type: +DYN ' <<<"$header" || fail "$program is not of ELF type DYN"
    grep -Eq '\(FLAGS_1\) .*\bPIE\b' <<<"$dynamic" || fail "$program has no PIE in FLAGS_1"
    grep -Eq '\(FLAGS\) .*\bBIND_NOW\b' <<<"$dynamic" || fail "$program is not bound at once (BIND_NOW)"
    grep -Eq '^ *GNU_RELRO ' <<<"$segments" || fail "$program has no GNU_RELRO segment"
    stack=$(awk '$1 == "GNU_STACK" { print $(NF - 1) }' <<<"$segments")
    [ -n "$stack" ] || fail "$program has no GNU_STACK segment"
    [[ $stack != *E* ]] || fail "$program has an executable stack ($stack)"
    if static_pie "$1"; then
        echo "linked static-pie: no INTERP segment and no NEEDED entry allowed"
        ! grep -Eq '^ *INTERP ' <<<"$segments" || fail "$program has an INTERP segment"
        ! grep -Eq '\(NEEDED\)' <<<"$dynamic" || fail "$program needs shared libraries"
    else
        echo "not linked static-pie: KORVALT_STATIC is off, or there are no static libraries"
    fi
}

# check_compile_command BUILD: korvalt.cpp is compiled optimised, with each
# protection, and with -fcf-protection where the target is x86.
check_compile_command() {
    local command flag flags=(-fstack-protector-strong -fstack-clash-protection -D_FORTIFY_SOURCE=2)
    command=$(korvalt_compile_command "$1")
    printf '%s\n' "$command"
    case $(target_processor "$1") in
        x86_64 | i?86) flags+=(-fcf-protection) ;;
    esac
    grep -Eq -- ' -O[123s] ' <<<"$command " || fail "$1: korvalt.cpp is compiled without optimisation"
    for flag in "${flags[@]}"; do
        grep -q -- " $flag " <<<"$command " || fail "$1: korvalt.cpp is compiled without $flag"
    done
}
