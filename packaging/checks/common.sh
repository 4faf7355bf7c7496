# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by each check script: moves to the top of the tree and gives the
# script a scratch folder, step, fail and finish, the shared checks, and
# release_build.  A failed check is counted, and the script goes on to the
# next one; finish exits non-zero if any failed.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check_name=$(realpath --relative-to="$top" "$0")
cd "$top"
. packaging/checks/require.sh
. packaging/checks/hardening.sh
. packaging/checks/lint.sh
. tests/behaviour.sh

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

step() { printf '\n== %s\n' "$*"; }
failures=0
fail() {
    echo "$check_name: $*" >&2
    failures=$((failures + 1))
}
finish() {
    if ((failures)); then
        step "$check_name: $failures check(s) failed"
        exit 1
    fi
    step "$check_name: all checks passed"
}

# release_build configures and builds the release preset's korvalt, and sets
# version, static_pie (true or false), and deb and rpm, the paths of the
# packages that cpack makes in build/release.
release_build() {
    cmake --preset release >/dev/null
    cmake --build --preset release --target korvalt
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
    deb=build/release/korvalt_${version}_$(target_deb_arch build/release).deb
    rpm=build/release/korvalt-${version}-1.$(target_processor build/release).rpm
    static_pie=false
    ! static_pie build/release || static_pie=true
}
