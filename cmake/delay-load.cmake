# SPDX-License-Identifier: MIT
# System DLLs the Windows programs load on first use instead of at start-up.
#
# Windows looks for a DLL the program imports in the program's own folder first, before any of
# the program's code runs, and so do the DLLs those import in turn: a portable program started
# from a download folder would run whatever lies there under such a name. Only kernel32 and msvcrt,
# which Windows always maps from its system folder, stay imported; every other system DLL is
# reached through a delay-load import library, so that it is loaded at its first call, once the
# program has restricted the search to the system folder (src/app/dll_search_win32.cpp).
#
# MinGW ships no delay-load libraries. Each is made at configure time from the ordinary import
# library's own list of entry points; a 32-bit name's "@n" (its stdcall argument size) is part of
# the symbol and not of the DLL's export.
#
#   vextra_delay_loaded(<target> <PRIVATE|PUBLIC|INTERFACE> <dll-name>...)   e.g. user32 ole32
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(delay_load_machine i386:x86-64)
  set(delay_load_kill_at)
  set(delay_load_prefix "__imp_")
else()
  set(delay_load_machine i386)
  set(delay_load_kill_at --kill-at)
  set(delay_load_prefix "__imp__")
endif()

function(vextra_delay_loaded target scope)
  foreach(dll ${ARGN})
    set(imported vextra_delay_${dll})
    if(NOT TARGET ${imported})
      set(folder ${CMAKE_BINARY_DIR}/delay-load)
      set(library ${folder}/lib${dll}-delay.a)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
        OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      if(NOT IS_ABSOLUTE "${import_library}")
        message(FATAL_ERROR "The compiler knows no import library lib${dll}.a")
      endif()
      if(NOT EXISTS ${library} OR ${import_library} IS_NEWER_THAN ${library})
        execute_process(COMMAND ${CMAKE_NM} --defined-only ${import_library}
          OUTPUT_VARIABLE symbols ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
        string(REGEX MATCHALL "I ${delay_load_prefix}[^\n]+" entries "${symbols}")
        list(TRANSFORM entries REPLACE "^I ${delay_load_prefix}" "")
        list(REMOVE_DUPLICATES entries)
        list(SORT entries)
        list(JOIN entries "\n" exports)
        file(MAKE_DIRECTORY ${folder})
        file(WRITE ${folder}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
        # Run in the library's folder with relative names: dlltool names symbols after the output's
        # path, which would otherwise put the build folder into the programs.
        execute_process(COMMAND ${CMAKE_DLLTOOL} --machine ${delay_load_machine} ${delay_load_kill_at}
            --input-def ${dll}.def --dllname ${dll}.dll --output-delaylib lib${dll}-delay.a
          WORKING_DIRECTORY ${folder}
          COMMAND_ERROR_IS_FATAL ANY)
      endif()
      add_library(${imported} STATIC IMPORTED GLOBAL)
      set_target_properties(${imported} PROPERTIES IMPORTED_LOCATION ${library})
    endif()
    target_link_libraries(${target} ${scope} ${imported})
  endforeach()
endfunction()
