# Cross build of the portable core for 32-bit x86 Linux, x87 only, as the
# 32-bit Windows saver computes: its arithmetic is checked against the 64-bit
# build under QEMU's user-mode emulator, which runs 32-bit programs on any
# x86-64 machine, also where the kernel refuses to.
include(${CMAKE_CURRENT_LIST_DIR}/x87.cmake)
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_C_FLAGS_INIT "${VELMORA_X87_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VELMORA_X87_FLAGS}")
# Linked statically, so that the emulator needs no 32-bit loader or
# libraries; ctest and try_run run the programs under it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
