# SPDX-License-Identifier: MIT
# IBM Z, big-endian (Debian's s390x), with g++-s390x-linux-gnu and qemu-s390x.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(korvalt_triplet s390x-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/debian.cmake")
