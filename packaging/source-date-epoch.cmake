# SPDX-License-Identifier: MIT
# Read by cpack before it makes a package (CPACK_PROJECT_CONFIG_FILE).  The
# package's time stamps are SOURCE_DATE_EPOCH, so that every build of one
# commit gives the same bytes.  Unless the packager has set it, it is the
# commit's time, or, outside a git work tree of its own (an unpacked source
# release), the date of the changelog's top entry.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    return()
endif()

set(epoch "")
if(CPACK_KORVALT_GIT)
    execute_process(
        COMMAND "${CPACK_KORVALT_GIT}" -C "${CPACK_KORVALT_SOURCE_DIR}" rev-parse --show-toplevel
        OUTPUT_VARIABLE work_tree OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status ERROR_QUIET)
    file(REAL_PATH "${CPACK_KORVALT_SOURCE_DIR}" source_dir)
    if(status EQUAL 0 AND work_tree STREQUAL source_dir)
        execute_process(
            COMMAND "${CPACK_KORVALT_GIT}" -C "${CPACK_KORVALT_SOURCE_DIR}" log -1 --format=%ct
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
            COMMAND_ERROR_IS_FATAL ANY)
        set(origin "the commit's time")
    endif()
endif()
if(NOT epoch)
    include("${CMAKE_CURRENT_LIST_DIR}/changelog.cmake")
    korvalt_changelog_epoch("${CPACK_KORVALT_SOURCE_DIR}/packaging/changelog" epoch)
    set(origin "the changelog's top entry")
endif()
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
message(STATUS "SOURCE_DATE_EPOCH=${epoch}, ${origin}")
