# Cross build for 64-bit ARM (Debian arm64) with Debian's cross compilers and
# multiarch libraries: scripts/cross arm64.
set(TQ_TARGET_TRIPLET aarch64-linux-gnu)
set(TQ_DEBIAN_ARCH arm64)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TQ_TARGET_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-debian-cross.cmake)
