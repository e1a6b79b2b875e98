# Cross build for 32-bit ARM with hardware floating point (Debian armhf):
# scripts/cross armhf.
set(TQ_TARGET_TRIPLET arm-linux-gnueabihf)
set(TQ_DEBIAN_ARCH armhf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TQ_TARGET_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-debian-cross.cmake)
