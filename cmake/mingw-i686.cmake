# Cross build for Windows with the mingw-w64 posix-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Any i686-class processor, the x87 unit only (cmake/x87.cmake, shared with
# the 32-bit Linux build). CRT_fp8.o sets the x87 precision control to 53
# bits at start-up instead of the runtime's default 64, so that double
# results round as on SSE2 and each stored float result rounds to exactly
# the single-precision one (threads set it themselves).
include(${CMAKE_CURRENT_LIST_DIR}/x87.cmake)
set(CMAKE_CXX_FLAGS_INIT "${VELMORA_X87_FLAGS}")
set(CMAKE_C_FLAGS_INIT "${VELMORA_X87_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_FIND_ROOT_PATH}/lib/CRT_fp8.o")
