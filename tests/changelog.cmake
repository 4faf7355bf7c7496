# SPDX-License-Identifier: MIT
# The packaging's changelog against the project:
# cmake -DCHANGELOG=... -DPROJECT_VERSION=... -P changelog.cmake
# Its top version must be the project's, and its dates must read as the
# seconds that a source release's packages take for their time stamps.
include("${CMAKE_CURRENT_LIST_DIR}/../packaging/changelog.cmake")

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
