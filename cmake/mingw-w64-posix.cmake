# Cross-compiling for 64-bit Windows with mingw-w64, posix thread model
# (the win32 thread model lacks std::mutex, which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under Wine: the loader that scripts/env.sh found, given
# at the first configuration (-DVORLIX_WINE=...) and kept in the cache. CMake's
# own compiler checks read this file again in scratch projects, which get the
# loader handed on.
set(VORLIX_WINE "" CACHE FILEPATH "The Wine loader that runs the test programs")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORLIX_WINE)
if(NOT VORLIX_WINE)
  message(FATAL_ERROR "Configure through scripts/env.sh (scripts/test), which finds Wine")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLIX_WINE})
