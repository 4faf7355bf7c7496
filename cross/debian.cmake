# SPDX-License-Identifier: MIT
# Included by the toolchain files beside it, which set korvalt_triplet and
# CMAKE_SYSTEM_PROCESSOR: a build with Debian's cross compiler for that GNU
# triplet (package g++-<triplet>), against the C and C++ libraries it brings
# in /usr/<triplet>, whose programs and tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)

set(korvalt_sysroot "/usr/${korvalt_triplet}")
find_program(KORVALT_CROSS_CXX "${korvalt_triplet}-g++")
find_program(KORVALT_CROSS_CC "${korvalt_triplet}-gcc")
find_program(KORVALT_QEMU "qemu-${CMAKE_SYSTEM_PROCESSOR}")
set(missing "")
if(NOT KORVALT_CROSS_CXX OR NOT KORVALT_CROSS_CC)
    list(APPEND missing "g++-${korvalt_triplet}")
endif()
if(NOT KORVALT_QEMU)
    list(APPEND missing qemu-user)
endif()
if(missing)
    list(JOIN missing " " missing)
    message(FATAL_ERROR "A build for ${korvalt_triplet} needs Debian's cross compiler and "
                        "qemu-user: apt-get install ${missing}")
endif()
set(CMAKE_CXX_COMPILER "${KORVALT_CROSS_CXX}")
# GoogleTest, built here for the target, is also C.
set(CMAKE_C_COMPILER "${KORVALT_CROSS_CC}")

# Libraries and headers of the target only; programs (strace, gzip, the
# packaging tools) of the build machine.
set(CMAKE_FIND_ROOT_PATH "${korvalt_sysroot}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The tests run every target program through this, so that they need
# neither binfmt_misc nor a change to the machine.  -L finds the target's
# dynamic loader in the sysroot.  The loader would still read the machine's
# /etc/ld.so.cache, which lists Debian's own libraries for the target where
# they are installed (multiarch); a C library of another build than the
# loader's crashes at start-up, so the library path names the sysroot's.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${KORVALT_QEMU};-L;${korvalt_sysroot};-E;LD_LIBRARY_PATH=${korvalt_sysroot}/lib"
    CACHE STRING "The command that runs the target's programs on this machine")
