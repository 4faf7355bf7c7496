# SPDX-License-Identifier: MIT
# Run by cpack for the source release (CPACK_INSTALL_SCRIPTS, with
# CMAKE_INSTALL_PREFIX the release's folder): copies there the files that git
# tracks, as they are in the work tree, and nothing else.  Files get git's
# modes, 0644 or 0755, and folders 0755, whatever umask the checkout had.
execute_process(
    COMMAND "${CPACK_KORVALT_GIT}" -C "${CPACK_KORVALT_SOURCE_DIR}" ls-files --stage
    OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(STRIP "${listing}" listing)
string(REPLACE "\n" ";" entries "${listing}")

set(read_write OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(executable OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
string(REGEX REPLACE "/+$" "" release "${CMAKE_INSTALL_PREFIX}")
string(APPEND release "/")
set(folders "${release}")
foreach(entry IN LISTS entries)
    # git quotes a name with unusual characters; those, links, submodules
    # and unmerged files have no place in a release.
    if(NOT entry MATCHES "^(100644|100755) [0-9a-f]+ 0\t([A-Za-z0-9._/+-]+)$")
        message(FATAL_ERROR "Not a regular file with a plain name in git's index: ${entry}")
    endif()
    set(name "${CMAKE_MATCH_2}")
    set(permissions ${read_write})
    if(CMAKE_MATCH_1 STREQUAL "100755")
        list(APPEND permissions ${executable})
    endif()
    set(source "${CPACK_KORVALT_SOURCE_DIR}/${name}")
    if(NOT EXISTS "${source}" OR IS_DIRECTORY "${source}")
        message(FATAL_ERROR "git tracks ${name}, but the work tree has no such file")
    endif()
    cmake_path(GET name PARENT_PATH folder)
    file(MAKE_DIRECTORY "${release}${folder}")
    file(COPY_FILE "${source}" "${release}${name}")
    file(CHMOD "${release}${name}" PERMISSIONS ${permissions})
    while(folder)
        list(APPEND folders "${release}${folder}")
        cmake_path(GET folder PARENT_PATH folder)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
file(CHMOD ${folders} PERMISSIONS ${read_write} ${executable})
