# SPDX-License-Identifier: MIT
# Included by cpack-config.cmake.  The packages' time stamps are
# SOURCE_DATE_EPOCH, so that every build of one commit gives the same bytes.
# Unless the packager has set it, it is the commit's time, or, outside a git
# work tree of its own (an unpacked source release), the date of the
# changelog's top entry.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    return()
endif()

if(korvalt_git_work_tree)
    execute_process(
        COMMAND "${CPACK_KORVALT_GIT}" -C "${CPACK_KORVALT_SOURCE_DIR}" log -1 --format=%ct
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    set(origin "the commit's time")
else()
    include("${CMAKE_CURRENT_LIST_DIR}/read-changelog.cmake")
    korvalt_changelog_epoch("${CPACK_KORVALT_SOURCE_DIR}/packaging/changelog" epoch)
    set(origin "the changelog's top entry")
endif()
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
message(STATUS "SOURCE_DATE_EPOCH=${epoch}, ${origin}")
