# SPDX-License-Identifier: MIT
# Fails unless EXECUTABLE (a PE file) carries the hardening cmake/hardening.cmake asks for:
# DllCharacteristics with a relocatable image (and relocations to do it with), data pages that never
# execute and terminal-server awareness; 64-bit entropy for a 64-bit program; for a 32-bit one the
# NO_SEH bit and, to keep that promise true, no code that registers a handler through fs:[0]; and the
# stack protector's failure handler linked in.
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

if(NOT POINTER_SIZE EQUAL 8)
  execute_process(COMMAND ${OBJDUMP} -d ${EXECUTABLE} OUTPUT_VARIABLE code RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -d ${EXECUTABLE} failed")
  endif()
  if(code MATCHES "%fs:0x0([^0-9a-fA-Fx]|$)")
    list(APPEND missing "a true NO_SEH: code reads or writes the handler chain at fs:[0]")
  endif()
endif()

message(STATUS "${EXECUTABLE}: DllCharacteristics ${characteristics}")
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "${EXECUTABLE} lacks:\n  ${missing}")
endif()
