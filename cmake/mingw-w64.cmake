# SPDX-License-Identifier: MIT
# What both MinGW-w64 toolchains share; the including file sets CMAKE_SYSTEM_PROCESSOR and
# VEXTRA_MINGW_TARGET (the compilers' target triple). The -posix compilers give std::mutex, which
# GoogleTest needs; -static keeps libgcc, libstdc++ and winpthread out of the imports, and each
# function in a section of its own lets the linker leave out what the program never calls.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VEXTRA_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXTRA_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXTRA_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VEXTRA_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")
