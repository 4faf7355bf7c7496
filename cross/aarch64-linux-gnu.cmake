# SPDX-License-Identifier: MIT
# 64-bit Arm (Debian's arm64), with g++-aarch64-linux-gnu and qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(korvalt_triplet aarch64-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/debian.cmake")
