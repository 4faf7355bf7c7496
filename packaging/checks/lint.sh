# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the packaging checks and cross/check: the distributions' linters on
# korvalt's packages, with korvalt's settings.

# lintian_findings DEB prints every tag lintian --pedantic gives DEB, the
# overridden ones included, without lintian's notes (the overrides'
# comments among them) and its warning that it runs as root.
lintian_findings() {
    lintian --pedantic -I -E --show-overrides "$1" 2>&1 |
        grep -v -e '^N: ' -e '^running with root privileges is not recommended!$' || true
}

# check_rpmlint RPM STATIC SCRATCH: rpmlint finds nothing on RPM, with
# packaging/korvalt.rpmlintrc's filters.  Each filter must match, and one of them is
# for the static-pie link only, so it is left out where STATIC is false.
check_rpmlint() {
    local rpm=$1 static=$2 scratch=$3 rpmlintrc=packaging/korvalt.rpmlintrc
    if ! $static; then
        grep -v '"statically-linked-binary"' "$rpmlintrc" >"$scratch/korvalt.rpmlintrc"
        rpmlintrc=$scratch/korvalt.rpmlintrc
    fi
    rpmlint -c packaging/rpmlint.toml -r "$rpmlintrc" "$rpm" >"$scratch/rpmlint" 2>&1 || true
    cat "$scratch/rpmlint"
    grep -q ' 0 errors, 0 warnings,' "$scratch/rpmlint" || fail "rpmlint reports findings on $rpm"
}
