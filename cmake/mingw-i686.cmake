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
# At most a Pentium III: SSE, no SSE2. Single precision runs on the SSE
# unit, exactly as in the 64-bit build (the x87 unit would keep float
# intermediates in extended precision); double precision runs on the x87
# unit, which CRT_fp8.o sets to round to 53 bits at start-up instead of the
# runtime's default 64 (threads set it themselves).
set(CMAKE_CXX_FLAGS_INIT "-march=pentium3 -mtune=generic -mfpmath=sse")
set(CMAKE_C_FLAGS_INIT "-march=pentium3 -mtune=generic -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CMAKE_FIND_ROOT_PATH}/lib/CRT_fp8.o")
