# What the Debian cross builds share (included by toolchain-ARCH.cmake, which
# sets TQ_TARGET_TRIPLET, TQ_DEBIAN_ARCH, CMAKE_SYSTEM_PROCESSOR and
# TQ_TARGET_QEMU).
#
# Debian keeps a foreign architecture's libraries beside the machine's own,
# under /usr/lib/TRIPLET (multiarch), not in a sysroot: no CMAKE_FIND_ROOT_PATH,
# which would hide them. Qt's host tools (moc, uic, rcc) are the machine's own
# from qt6-base-dev-tools. What the build runs for the target (test discovery,
# CTest, the man pages' help2man) goes through QEMU's user emulator, which
# finds the target's loader and libraries under / (-L /).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TQ_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TQ_TARGET_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TQ_TARGET_TRIPLET})
set(CMAKE_PREFIX_PATH /usr/lib/${TQ_TARGET_TRIPLET}/cmake)
set(QT_HOST_PATH /usr)
find_program(TQ_QEMU_PROGRAM ${TQ_TARGET_QEMU} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TQ_QEMU_PROGRAM} -L /)
set(PKG_CONFIG_EXECUTABLE ${TQ_TARGET_TRIPLET}-pkg-config CACHE FILEPATH "")
