# SPDX-License-Identifier: MIT
# 64-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VEXTRA_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
