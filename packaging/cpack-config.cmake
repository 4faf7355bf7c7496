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

# A .deb of a cross build names the target's architecture, and depends on
# the target's own packages.  The cross compiler's copies of the libraries
# (libc6-s390x-cross and the like) are not what a system of that
# architecture installs, so dpkg-shlibdeps reads Debian's packages of them
# for that architecture instead, as when Debian builds for it.
function(korvalt_cross_deb)
    set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
    if(NOT arch)
        message(FATAL_ERROR "No .deb of this cross build: dpkg-architecture (dpkg-dev) "
                            "names no Debian architecture for ${CPACK_KORVALT_CROSS_GNU_TYPE}")
    endif()
    set(ENV{DEB_HOST_ARCH} "${arch}")
    if(CPACK_KORVALT_STATIC_PIE)
        return()
    endif()
    set(missing "")
    foreach(package IN ITEMS libc6 libstdc++6 libgcc-s1)
        execute_process(COMMAND dpkg-query -W "-f=\${db:Status-Status}" "${package}:${arch}"
                        OUTPUT_VARIABLE status ERROR_QUIET)
        if(NOT status STREQUAL "installed")
            list(APPEND missing "${package}:${arch}")
        endif()
    endforeach()
    if(missing)
        list(JOIN missing " " missing)
        message(FATAL_ERROR
            "The ${arch} .deb's dependencies are read from Debian's ${arch} packages of the "
            "libraries korvalt needs, which are not installed (the cross compiler's copies "
            "name packages no ${arch} system has): dpkg --add-architecture ${arch} && "
            "apt-get update && apt-get install ${missing}")
    endif()
endfunction()

# korvalt_embedded_c_library(VAR) sets VAR to the glibc source version of
# the libc.a that the static program embeds, as "glibc (= version)": the
# source of the package that holds it, or, for Debian's cross C libraries,
# the glibc that package declares it was built from.
function(korvalt_embedded_c_library var)
    set(archive "${CPACK_KORVALT_C_LIBRARY_ARCHIVE}")
    execute_process(COMMAND dpkg-query --search "${archive}"
                    OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
    string(REGEX REPLACE ":[^:]*$" "" owner "${owner}")
    if(status EQUAL 0)
        execute_process(
            COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})\n\${Built-Using}"
                    "${owner}"
            OUTPUT_VARIABLE fields)
    endif()
    # One pattern at a time: if() evaluates every MATCHES, and a failed one
    # clears CMAKE_MATCH_1.
    foreach(where IN ITEMS "^" "\n" "\n.*, ")
        if(fields MATCHES "${where}(glibc \\(= [^)]+\\))(\n|,|$)")
            set(${var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "Cannot tell which glibc the static korvalt embeds: ${archive} "
                        "belongs to no package built from glibc that dpkg knows (${owner})")
endfunction()

if(CPACK_GENERATOR STREQUAL "DEB")
    # Without dpkg-shlibdeps, CPack would quietly write a .deb that depends
    # on nothing.  The tools are those that configure found.
    if(NOT CPACK_KORVALT_DPKG_SHLIBDEPS)
        message(FATAL_ERROR "The .deb needs dpkg-shlibdeps to find what it depends on: "
                            "apt-get install dpkg-dev, then configure again")
    endif()
    if(CPACK_KORVALT_CROSSCOMPILING)
        korvalt_cross_deb()
    endif()
    # The static program embeds the C library, whose licence (LGPL) asks
    # that its source stays available: the .deb names the source version it
    # was linked with, as Debian's own static packages do.  CMake 3.25 writes
    # a fixed set of control fields, each "Name: value" on its own line, so
    # the field rides on a line feed in the value of Source, which it writes.
    if(CPACK_KORVALT_STATIC_PIE)
        korvalt_embedded_c_library(c_library)
        set(CPACK_DEBIAN_PACKAGE_SOURCE "${CPACK_PACKAGE_NAME}\nBuilt-Using: ${c_library}")
    endif()
    # Set here, not in the project, so that it runs for the .deb only.
    set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/deb-member-modes.cmake")
elseif(CPACK_GENERATOR STREQUAL "RPM")
    if(NOT CPACK_KORVALT_RPMBUILD)
        message(FATAL_ERROR "The RPM needs rpmbuild: apt-get install rpm "
                            "(on RPM-based systems: rpm-build), then configure again")
    endif()
    if(CPACK_KORVALT_CROSSCOMPILING AND NOT CPACK_RPM_PACKAGE_ARCHITECTURE)
        message(FATAL_ERROR "No RPM of this cross build: RPM's name for the processor of "
                            "${CPACK_KORVALT_CROSS_GNU_TYPE} is not known to korvalt's build")
    endif()
    # The RPM carries the licence where RPM-based systems keep licences; the
    # .deb has Debian's copyright file instead.
    set(CPACK_COMPONENTS_ALL korvalt rpm)
endif()
