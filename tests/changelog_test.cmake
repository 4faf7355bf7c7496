# SPDX-License-Identifier: MIT
# The packaging's changelog against the project:
# cmake -DCHANGELOG=... -DPROJECT_VERSION=... -P changelog_test.cmake
# Its top version must be the project's, and its dates must read as the
# seconds that a source release's packages take for their time stamps.  A
# fixture of two entries checks the manual's date and the RPM's changelog
# that the build reads from it.
include("${CMAKE_CURRENT_LIST_DIR}/../packaging/read-changelog.cmake")

korvalt_changelog_version("${CHANGELOG}" version)
if(NOT version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "the changelog's top entry is version ${version}, "
                        "the project is version ${PROJECT_VERSION}")
endif()
korvalt_changelog_epoch("${CHANGELOG}" epoch)
if(NOT epoch GREATER 0)
    message(FATAL_ERROR "the changelog's top entry has no date after 1970: ${epoch}")
endif()

# Each case: a date, and its seconds since the epoch (from date -d DATE +%s).
set(cases
    "Thu, 01 Jan 1970 00:00:00 +0000=0"
    "Fri, 11 Dec 2026 13:30:00 +0000=1796995800"
    "Tue, 29 Feb 2028 23:59:59 +0000=1835481599"
    "Wed, 1 Mar 2000 00:00:00 +1400=951818400"
    "Sun, 31 Dec 2028 22:30:00 -0130=1861920000")
foreach(case IN LISTS cases)
    string(REGEX REPLACE "=.*" "" date "${case}")
    string(REGEX REPLACE ".*=" "" expected "${case}")
    korvalt_date_to_epoch("${date}" actual)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${date}: got ${actual} seconds, expected ${expected}")
    endif()
endforeach()

# Two entries, the older one first written on a single-digit day, with the
# characters that a CMake list would split at (";") or join at ("["): the
# manual's date and the RPM's changelog.
set(fixture "${CMAKE_CURRENT_BINARY_DIR}/changelog-fixture")
file(WRITE "${fixture}" [[
korvalt (1.1.0) unstable; urgency=medium

  * Second release; with [a bracket
    and a continuation line.
  * Another item.

 -- A Maintainer <a@example.org>  Mon, 1 Mar 2027 09:00:00 +0100

korvalt (1.0.0) unstable; urgency=medium

  * Initial release.

 -- korvalt maintainers <m@example.org>  Fri, 11 Dec 2026 13:30:00 +0000
]])
korvalt_changelog_day("${fixture}" day)
if(NOT day STREQUAL "2027-03-01")
    message(FATAL_ERROR "the top entry's day is ${day}, not 2027-03-01")
endif()
korvalt_rpm_changelog("${fixture}" 3 "${fixture}.rpm")
file(READ "${fixture}.rpm" actual)
set(expected [[
* Mon Mar 01 2027 A Maintainer <a@example.org> - 1.1.0-3
- Second release; with [a bracket
  and a continuation line.
- Another item.

* Fri Dec 11 2026 korvalt maintainers <m@example.org> - 1.0.0-3
- Initial release.
]])
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "the RPM changelog is\n${actual}\nnot\n${expected}")
endif()
