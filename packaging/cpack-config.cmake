# SPDX-License-Identifier: MIT
# Read by cpack before it makes any package (CPACK_PROJECT_CONFIG_FILE), with
# CPACK_GENERATOR set to the one generator at work.

# Whether the source folder is a git work tree of its own, not an unpacked
# source release that happens to lie inside some other repository.
set(korvalt_git_work_tree FALSE)
if(CPACK_KORVALT_GIT)
    execute_process(
        COMMAND "${CPACK_KORVALT_GIT}" -C "${CPACK_KORVALT_SOURCE_DIR}" rev-parse --show-toplevel
        OUTPUT_VARIABLE work_tree OUTPUT_STRIP_TRAILING_WHITESPACE
        ERROR_VARIABLE git_error RESULT_VARIABLE status)
    file(REAL_PATH "${CPACK_KORVALT_SOURCE_DIR}" source_dir)
    if(status EQUAL 0 AND work_tree STREQUAL source_dir)
        set(korvalt_git_work_tree TRUE)
    endif()
endif()

include("${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake")

if(CPACK_TOPLEVEL_TAG STREQUAL CPACK_SOURCE_TOPLEVEL_TAG)
    # The source release (package_source): the files that git tracks.
    if(NOT korvalt_git_work_tree)
        message(FATAL_ERROR "A source release is made from a git clone of korvalt, "
                            "and git does not take ${CPACK_KORVALT_SOURCE_DIR} for one. "
                            "${git_error}")
    endif()
    set(CPACK_INSTALL_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/source-files.cmake")
    list(APPEND CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/source-tarball.cmake")
elseif(CPACK_GENERATOR STREQUAL "RPM")
    # The RPM carries the licence where RPM-based systems keep licences; the
    # .deb has Debian's copyright file instead.
    set(CPACK_COMPONENTS_ALL korvalt rpm)
endif()
