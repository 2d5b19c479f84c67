# SPDX-License-Identifier: MIT
# Compiler and linker hardening of every program and library this build makes, the programs we ship
# among them. Included from the top-level CMakeLists.txt before any target.
#
# Both systems: canaries in every function holding an array or taking a local's address, printf-style
# calls with a format that is not a literal refused, and the C library's checked variants of memcpy,
# strcpy and the like where the size is known at compile time. _FORTIFY_SOURCE works only with the
# optimiser on, so the Debug build and an empty build type go without it; so do sanitizer builds,
# whose own checks replace the library's.
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(VEXTRA_FORTIFY ON)
  add_compile_definitions(_FORTIFY_SOURCE=2)
else()
  set(VEXTRA_FORTIFY OFF)
endif()

if(WIN32)
  # MinGW: the stack protector's run time (libssp) is linked statically with the rest, so the
  # programs still import only system DLLs. The PE header asks Windows for a random load address
  # (the relocations stay in), with 64-bit entropy on 64-bit Windows, for data pages that never
  # execute, and says the program needs no terminal-server compatibility shims. A 32-bit program
  # registers no exception handler of its own (GCC unwinds C++ exceptions from DWARF tables), so
  # it says so: Windows then runs no handler from its image, which is all GNU ld offers towards
  # safe exception handling (it cannot write a SafeSEH handler table).
  # Beyond MinGW's reach: Control Flow Guard (GCC emits no guard checks and GNU ld writes no guard
  # tables), and shadow-stack compatibility (the CET_COMPAT mark lives in a debug directory entry
  # GNU ld has no option to write).
  set(windows_program_flags -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND windows_program_flags -Wl,--high-entropy-va)
  else()
    list(APPEND windows_program_flags -Wl,--no-seh)
  endif()
  add_link_options(-fstack-protector-strong
                   "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${windows_program_flags}>")

  # A shipped program's DLL search limited to the system folder from its first instruction on
  # (src/app/dll_search_win32.cpp), and its load configuration (src/app/load_config_win32.cpp),
  # which asks Windows 10 and later to do the same for the DLLs it imports: the linker is told to
  # keep the structure, which nothing references, and since GNU ld leaves the header's directory
  # entry for it empty, cmake/set-load-config fills it in after linking. A 32-bit C symbol has a
  # leading underscore of its own.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VEXTRA_LOAD_CONFIG_SYMBOL _load_config_used)
  else()
    set(VEXTRA_LOAD_CONFIG_SYMBOL __load_config_used)
  endif()
  function(vextra_protect_windows_program target)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/app/load_config_win32.cpp
                                     ${PROJECT_SOURCE_DIR}/src/app/dll_search_win32.cpp)
    target_link_options(${target} PRIVATE -Wl,--require-defined=${VEXTRA_LOAD_CONFIG_SYMBOL})
    # The stack protector's run time asks advapi32 for its random canary before main. Its library
    # is named here, ahead of advapi32's delay-load library, so that advapi32 too is loaded only
    # once the search is restricted, rather than imported by the compiler's own later -ladvapi32.
    target_link_libraries(${target} PRIVATE ssp)
    vextra_delay_loaded(${target} PRIVATE advapi32)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/set-load-config ${CMAKE_NM} $<TARGET_FILE:${target}>
      VERBATIM)
  endfunction()
  include(${CMAKE_CURRENT_LIST_DIR}/delay-load.cmake)
else()
  # Linux, as Debian's dpkg-buildflags gives them: position-independent executables, the stack
  # probed page by page so it cannot jump over its guard page, Intel CET's branch and return checks
  # on x86, and every relocation resolved at start-up so the GOT can be made read-only (full RELRO).
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-clash-protection)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
    add_compile_options(-fcf-protection)
  endif()
  add_link_options(-Wl,-z,relro,-z,now)
endif()
