# SPDX-License-Identifier: MIT
# Fails unless each of PROGRAMS (x86-64 ELF files) was compiled with -fcf-protection: its main()
# begins with endbr64, the instruction an indirect branch must land on under Intel CET.
# Usage: cmake -DOBJDUMP=... -DPROGRAMS=a;b -P check_branch_targets.cmake
set(unmarked "")
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${OBJDUMP} -d --disassemble=main ${program}
                  OUTPUT_VARIABLE code RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT code MATCHES "<main>:\n[^\n]*\t([a-z0-9]+)")
    message(FATAL_ERROR "no main() in the disassembly of ${program}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL "endbr64")
    list(APPEND unmarked "${program} (main begins with ${CMAKE_MATCH_1})")
  endif()
endforeach()
if(unmarked)
  list(JOIN unmarked "\n  " unmarked)
  message(FATAL_ERROR "compiled without -fcf-protection:\n  ${unmarked}")
endif()
