# SPDX-License-Identifier: MIT
# The source release, made by the dist target:
# cmake -DGIT=... -DGZIP=... -DSOURCE_DIR=... -DNAME=korvalt-<version>
#       -DOUTPUT=.../korvalt-<version>.tar.gz -P source-release.cmake
# It is the commit checked out, HEAD, as git archives it: exactly the files
# that git tracks, under NAME/, owned by 0/0, in git's tree order, stamped
# with the commit's time.  Edits that are not committed stay out of it.
if(NOT GIT)
    message(FATAL_ERROR "The source release is made by git, which was not found: "
                        "apt-get install git")
endif()
include("${CMAKE_CURRENT_LIST_DIR}/git-work-tree.cmake")
korvalt_git_work_tree("${GIT}" "${SOURCE_DIR}" work_tree)
if(NOT work_tree)
    message(FATAL_ERROR "A source release is made from a git clone of korvalt, and git "
                        "does not take ${SOURCE_DIR} for one.")
endif()

execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short HEAD
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" diff --name-only HEAD --
                OUTPUT_VARIABLE edited OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
cmake_path(GET OUTPUT FILENAME release)
if(edited)
    string(REPLACE "\n" ", " edited "${edited}")
    message(NOTICE "${release} holds commit ${commit}, without the uncommitted edits to: ${edited}")
endif()

# git's tar.umask of 0002 would give modes 0664 and 0775.  git's own gzip
# writes other bytes than gzip itself, so the release is compressed with
# the gzip that the build found, as everything else is, -n for no name or
# time in its header.
execute_process(
    COMMAND "${GIT}" -C "${SOURCE_DIR}" -c tar.umask=0022 archive --format=tar "--prefix=${NAME}/" HEAD
    COMMAND "${GZIP}" -9n
    OUTPUT_FILE "${OUTPUT}.part"
    COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
message(STATUS "${release}: commit ${commit}")
