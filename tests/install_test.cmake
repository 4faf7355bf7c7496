# SPDX-License-Identifier: MIT
# Install the build in BUILD_DIR under a scratch DESTDIR with its own prefix,
# then check the installed files and run the installed program.
# cmake -DBUILD_DIR=... -DROOT=... -DMANUAL=... -DGZIP=... [-DEMULATOR=...] -P install_test.cmake
# EMULATOR, in a cross build, is the command that runs the program, its
# words joined by "|".

function(expect_equal what actual expected)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${what}: got [${actual}], expected [${expected}]")
    endif()
endfunction()

set(prefix /opt/korvalt)
file(REMOVE_RECURSE "${ROOT}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${ROOT}"
            "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
    OUTPUT_QUIET
    RESULT_VARIABLE status)
expect_equal("cmake --install status" "${status}" 0)

# The program and its manual, and none of the files only the Debian
# package holds (its copyright file, changelog and lintian override).
set(installed "${ROOT}${prefix}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${installed}" "${installed}/*")
list(SORT files)
expect_equal("installed files" "${files}" "bin/korvalt;share/man/man1/korvalt.1.gz")

string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(
    COMMAND ${emulator} "${installed}/bin/korvalt" alpha "two words"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE status)
expect_equal("standard output" "${out}" "Korvalt ...\n\nArguments:")
expect_equal("standard error" "${err}" "1: alpha2: two words")
expect_equal("exit status" "${status}" 0)

execute_process(
    COMMAND "${GZIP}" -dc "${installed}/share/man/man1/korvalt.1.gz"
    OUTPUT_VARIABLE page
    RESULT_VARIABLE status)
expect_equal("gzip -dc status" "${status}" 0)
file(READ "${MANUAL}" expected_page)
expect_equal("installed manual" "${page}" "${expected_page}")
