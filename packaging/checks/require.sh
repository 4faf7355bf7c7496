# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the check scripts: require NAME NEED... makes sure the Debian
# packages behind each NEED are installed.  A NEED is "command:package" (the
# command is on PATH), "/path:package" (the file exists) or ":package" (the
# package is installed).  Under CI=true as root what is missing is installed;
# otherwise NAME says what to install and the script stops.
require() {
    local name=$1 need thing missing=()
    shift
    for need in "$@"; do
        thing=${need%%:*}
        case $thing in
            "") [ "$(dpkg-query -W -f='${db:Status-Status}' "${need#:}" 2>/dev/null)" = installed ] ;;
            /*) [ -e "$thing" ] ;;
            *) command -v "$thing" >/dev/null 2>&1 ;;
        esac || missing+=("${need#*:}")
    done
    ((${#missing[@]})) || return 0
    echo "$name: missing Debian packages: ${missing[*]}" >&2
    if [ "${CI:-}" = true ] && [ "$(id -u)" = 0 ]; then
        apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
    else
        echo "$name: install them with: apt-get install ${missing[*]}" >&2
        exit 1
    fi
}
