# SPDX-License-Identifier: MIT
# How the suites run when the build is compiled with the sanitizers (the asan preset): every report
# of AddressSanitizer, UndefinedBehaviorSanitizer or LeakSanitizer ends the process with a failure,
# and only the leaks of system libraries listed in lsan.supp are set aside. The variables go into
# each test's environment, so a plain ctest uses them, and as-ordinary-user passes them on as is.
# Elsewhere the functions below change nothing.
if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
  set(asan_options detect_leaks=1 detect_stack_use_after_return=1
                   check_initialization_order=1 strict_init_order=1)
  list(JOIN asan_options : asan_options)
  set(VEXTRA_SANITIZER_ENVIRONMENT
    "ASAN_OPTIONS=${asan_options}"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")
endif()

function(vextra_sanitizer_environment)
  if(VEXTRA_SANITIZER_ENVIRONMENT)
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT ${VEXTRA_SANITIZER_ENVIRONMENT})
  endif()
endfunction()

# Tests that gtest_discover_tests finds only when ctest runs: its PROPERTIES cannot carry a list,
# so a script that ctest reads after the discovery gives them the environment by their list.
function(vextra_sanitizer_environment_of_discovered target)
  if(VEXTRA_SANITIZER_ENVIRONMENT)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_sanitizer_environment.cmake)
    file(WRITE ${script}
      "if(${target}_TESTS)\n"
      "  set_tests_properties(\${${target}_TESTS}\n"
      "    PROPERTIES ENVIRONMENT \"${VEXTRA_SANITIZER_ENVIRONMENT}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()
