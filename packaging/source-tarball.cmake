# SPDX-License-Identifier: MIT
# Run by cpack after it has made the source release (CPACK_POST_BUILD_SCRIPTS).
# CPack's archive lists the files in the order the file system returns them
# and with the builder's user and group.  The tarball is written again from
# the same folder with GNU tar: names sorted, owner and group 0, every time
# stamp SOURCE_DATE_EPOCH, and gzip without a name or time in its header.
find_program(TAR_EXECUTABLE NAMES gtar tar REQUIRED)
cmake_path(GET CPACK_TEMPORARY_DIRECTORY FILENAME release)
cmake_path(GET CPACK_TEMPORARY_DIRECTORY PARENT_PATH parent)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "/${release}\\.tar\\.gz$")
        message(FATAL_ERROR "Not the source release's tarball: ${package}")
    endif()
    execute_process(
        COMMAND "${TAR_EXECUTABLE}" --create --format=ustar --sort=name
            --owner=0 --group=0 --numeric-owner "--mtime=@$ENV{SOURCE_DATE_EPOCH}"
            --directory "${parent}" "${release}"
        COMMAND "${CPACK_KORVALT_GZIP}" -9n
        OUTPUT_FILE "${package}"
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
