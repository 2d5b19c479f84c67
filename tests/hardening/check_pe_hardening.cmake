# SPDX-License-Identifier: MIT
# Fails unless EXECUTABLE (a PE file) carries the hardening cmake/hardening.cmake asks for:
# DllCharacteristics with a relocatable image (and relocations to do it with), data pages that never
# execute and terminal-server awareness; 64-bit entropy for a 64-bit program; for a 32-bit one the
# NO_SEH bit and, to keep that promise true, no code that registers a handler through fs:[0]; and the
# stack protector's failure handler linked in; imports, which Windows loads before the program's
# first instruction, of kernel32 and msvcrt alone; and a load configuration that keeps the
# imports' own imports to the system folder.
# Usage: cmake -DOBJDUMP=... -DEXECUTABLE=... -DPOINTER_SIZE=4|8 -P check_pe_hardening.cmake
execute_process(COMMAND ${OBJDUMP} -p -t ${EXECUTABLE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p -t ${EXECUTABLE} failed")
endif()
if(NOT dump MATCHES "DllCharacteristics[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "no DllCharacteristics in ${EXECUTABLE}: not a PE executable?")
endif()
math(EXPR characteristics "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)

set(required DYNAMIC_BASE=0x40 NX_COMPAT=0x100 TERMINAL_SERVER_AWARE=0x8000)
if(POINTER_SIZE EQUAL 8)
  list(APPEND required HIGH_ENTROPY_VA=0x20)
else()
  list(APPEND required NO_SEH=0x400)
endif()
set(missing "")
foreach(entry IN LISTS required)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 bit)
  math(EXPR set "${characteristics} & ${bit}")
  if(set EQUAL 0)
    list(APPEND missing "DllCharacteristics ${name}")
  endif()
endforeach()

# A random base needs the relocations: the directory must be there and not empty.
if(NOT dump MATCHES "Entry 5 [0-9a-fA-F]+ ([0-9a-fA-F]+) Base Relocation Directory")
  message(FATAL_ERROR "no data directory listing in the dump of ${EXECUTABLE}")
endif()
if(CMAKE_MATCH_1 MATCHES "^0+$")
  list(APPEND missing "base relocations (the random load address needs them)")
endif()

if(NOT dump MATCHES "__stack_chk_fail")
  list(APPEND missing "the stack protector (__stack_chk_fail not linked in)")
endif()

# Every other system DLL is loaded on first use, once the program has limited the search to the
# system folder (cmake/delay-load.cmake).
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
list(TRANSFORM imports TOLOWER)
list(REMOVE_ITEM imports kernel32.dll msvcrt.dll)
if(imports)
  list(APPEND missing "imports of kernel32 and msvcrt alone (it also imports ${imports})")
endif()

if(NOT POINTER_SIZE EQUAL 8)
  execute_process(COMMAND ${OBJDUMP} -d ${EXECUTABLE} OUTPUT_VARIABLE code RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -d ${EXECUTABLE} failed")
  endif()
  if(code MATCHES "%fs:0x0([^0-9a-fA-Fx]|$)")
    list(APPEND missing "a true NO_SEH: code reads or writes the handler chain at fs:[0]")
  endif()
endif()

# Windows 10 and later look for the imports' own imports in the system folder only: the load
# configuration directory is there, and its DependentLoadFlags (a WORD at 78 in the 64-bit
# structure, at 54 in the 32-bit one) hold LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800).
if(NOT dump MATCHES "ImageBase[ \t]+([0-9a-fA-F]+)")
  message(FATAL_ERROR "no ImageBase in the dump of ${EXECUTABLE}")
endif()
set(image_base "0x${CMAKE_MATCH_1}")
if(NOT dump MATCHES "Entry a ([0-9a-fA-F]+) ([0-9a-fA-F]+) Load Configuration Directory")
  message(FATAL_ERROR "no data directory listing in the dump of ${EXECUTABLE}")
endif()
math(EXPR load_config "${image_base} + 0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
math(EXPR load_config_end "${load_config} + 0x${CMAKE_MATCH_2}" OUTPUT_FORMAT HEXADECIMAL)
if(POINTER_SIZE EQUAL 8)
  set(dependent_load_flags_offset 78)
else()
  set(dependent_load_flags_offset 54)
endif()
set(load_config_bytes "")
if(load_config_end GREATER load_config)
  execute_process(COMMAND ${OBJDUMP} -s --start-address=${load_config} --stop-address=${load_config_end} ${EXECUTABLE}
                  OUTPUT_VARIABLE contents RESULT_VARIABLE status)
  string(REPLACE "\n" ";" contents "${contents}")
  foreach(line IN LISTS contents)
    # " ADDRESS 70000000 00000000 00000000 00000000  p..............."
    if(line MATCHES "^ [0-9a-f]+ (.*)$")
      string(SUBSTRING "${CMAKE_MATCH_1}" 0 35 hex)
      string(REPLACE " " "" hex "${hex}")
      string(APPEND load_config_bytes "${hex}")
    endif()
  endforeach()
endif()
math(EXPR flags_at "${dependent_load_flags_offset} * 2")
math(EXPR flags_end "${flags_at} + 4")
string(LENGTH "${load_config_bytes}" load_config_length)
if(load_config_length LESS flags_end)
  list(APPEND missing "a load configuration directory holding DependentLoadFlags")
else()
  string(SUBSTRING "${load_config_bytes}" ${flags_at} 4 flags)
  if(NOT flags STREQUAL "0008")
    list(APPEND missing "DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32 (the bytes are ${flags})")
  endif()
endif()

message(STATUS "${EXECUTABLE}: DllCharacteristics ${characteristics}")
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "${EXECUTABLE} lacks:\n  ${missing}")
endif()
