# SPDX-License-Identifier: MIT
# Run by cpack after it has made the packages (CPACK_POST_BUILD_SCRIPTS).
# CPack gives the members of a .deb's outer ar archive (debian-binary,
# control.tar.gz, data.tar.gz) the modes that the builder's umask gave their
# files.  Each member's mode field is set to 100644 in place, as dpkg-deb
# writes it, so that the package does not depend on who built it.
find_program(DD_EXECUTABLE dd REQUIRED)
set(mode_field "${CPACK_TOPLEVEL_DIRECTORY}/ar-member-mode")
file(WRITE "${mode_field}" "100644  ")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    file(SIZE "${package}" package_size)
    # "!<arch>\n", then each member: a 60-byte header of text fields (name
    # 16, time 12, owner 6, group 6, mode 8, size 10, magic 2) and its data,
    # padded to an even length.
    set(header_offset 8)
    while(header_offset LESS package_size)
        file(READ "${package}" header OFFSET ${header_offset} LIMIT 60)
        string(SUBSTRING "${header}" 58 2 magic)
        string(SUBSTRING "${header}" 48 10 member_size)
        string(STRIP "${member_size}" member_size)
        if(NOT magic STREQUAL "`\n" OR NOT member_size MATCHES "^[0-9]+$")
            message(FATAL_ERROR "${package}: no ar member header at byte ${header_offset}")
        endif()
        math(EXPR mode_offset "${header_offset} + 40")
        execute_process(
            COMMAND "${DD_EXECUTABLE}" "of=${package}" bs=1 "seek=${mode_offset}"
                    conv=notrunc status=none
            INPUT_FILE "${mode_field}"
            COMMAND_ERROR_IS_FATAL ANY)
        math(EXPR header_offset "${header_offset} + 60 + ${member_size} + ${member_size} % 2")
    endwhile()
endforeach()
