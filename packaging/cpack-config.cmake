# SPDX-License-Identifier: MIT
# Read by cpack before it makes any package (CPACK_PROJECT_CONFIG_FILE), with
# CPACK_GENERATOR set to the one generator at work.

if(CPACK_TOPLEVEL_TAG STREQUAL CPACK_SOURCE_TOPLEVEL_TAG)
    message(FATAL_ERROR "korvalt's source release is a commit, made by git: "
                        "cmake --build --preset release --target dist")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/git-work-tree.cmake")
korvalt_git_work_tree("${CPACK_KORVALT_GIT}" "${CPACK_KORVALT_SOURCE_DIR}" korvalt_git_work_tree)

include("${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake")

if(CPACK_GENERATOR STREQUAL "DEB")
    # Without dpkg-shlibdeps, CPack would quietly write a .deb that depends
    # on nothing.  The tools are those that configure found.
    if(NOT CPACK_KORVALT_DPKG_SHLIBDEPS)
        message(FATAL_ERROR "The .deb needs dpkg-shlibdeps to find what it depends on: "
                            "apt-get install dpkg-dev, then configure again")
    endif()
    # The static program embeds the C library, whose licence (LGPL) asks
    # that its source stays available: the .deb names the source version it
    # was linked with, as Debian's own static packages do.  CMake 3.25 writes
    # a fixed set of control fields, each "Name: value" on its own line, so
    # the field rides on a line feed in the value of Source, which it writes.
    if(CPACK_KORVALT_STATIC_PIE)
        execute_process(
            COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" libc6-dev
            OUTPUT_VARIABLE c_library RESULT_VARIABLE status ERROR_VARIABLE error)
        if(NOT status EQUAL 0 OR NOT c_library MATCHES "^[a-z0-9.+-]+ \\(= [^)]+\\)$")
            message(FATAL_ERROR "Cannot tell which C library the static korvalt embeds: "
                                "dpkg-query knows no libc6-dev. ${error}")
        endif()
        set(CPACK_DEBIAN_PACKAGE_SOURCE "${CPACK_PACKAGE_NAME}\nBuilt-Using: ${c_library}")
    endif()
    # Set here, not in the project, so that it runs for the .deb only.
    set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/deb-member-modes.cmake")
elseif(CPACK_GENERATOR STREQUAL "RPM")
    if(NOT CPACK_KORVALT_RPMBUILD)
        message(FATAL_ERROR "The RPM needs rpmbuild: apt-get install rpm "
                            "(on RPM-based systems: rpm-build), then configure again")
    endif()
    # The RPM carries the licence where RPM-based systems keep licences; the
    # .deb has Debian's copyright file instead.
    set(CPACK_COMPONENTS_ALL korvalt rpm)
endif()
