# Tests that execute 32-bit x86 code: the 32-bit Windows build's programs
# and the (32-bit) installer, under Wine's WoW64 mode. Some kernels cannot
# run 32-bit code at all; there those tests are reported as skipped, with
# the reason, and everywhere else they run and count as any other test.
find_program(VELMORA_HOST_AS NAMES as REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(VELMORA_HOST_LD NAMES ld REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(VELMORA_X86_PROBE ${CMAKE_BINARY_DIR}/x86_probe)
set(VELMORA_X86_RUNTIME_SCRIPT ${PROJECT_SOURCE_DIR}/tests/x86_runtime/x86_runtime.sh)
add_custom_command(OUTPUT ${VELMORA_X86_PROBE}
  COMMAND ${VELMORA_HOST_AS} --32 -o ${VELMORA_X86_PROBE}.o ${PROJECT_SOURCE_DIR}/tests/x86_runtime/x86_probe.S
  COMMAND ${VELMORA_HOST_LD} -m elf_i386 -o ${VELMORA_X86_PROBE} ${VELMORA_X86_PROBE}.o
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/x86_runtime/x86_probe.S
  COMMENT "Building the 32-bit probe x86_probe")
add_custom_target(x86_probe ALL DEPENDS ${VELMORA_X86_PROBE})

# The 32-bit programs of this build run only where 32-bit code runs.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VELMORA_X86_BUILD TRUE)
else()
  set(VELMORA_X86_BUILD FALSE)
endif()

# add_test(NAME name COMMAND ...) for a command that runs 32-bit code.
function(velmora_add_x86_test name)
  add_test(NAME ${name} COMMAND bash ${VELMORA_X86_RUNTIME_SCRIPT} ${VELMORA_X86_PROBE} -- ${ARGN})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# Wraps the ctest include file that gtest_discover_tests just added to the
# current directory: where 32-bit code cannot run, the program's cases
# cannot even be listed, so one skipped test stands for them.
function(velmora_wrap_discovered_x86_tests target include_files_before)
  get_property(after DIRECTORY PROPERTY TEST_INCLUDE_FILES)
  set(added ${after})
  if(include_files_before)
    list(REMOVE_ITEM added ${include_files_before})
  endif()
  set_property(DIRECTORY PROPERTY TEST_INCLUDE_FILES ${include_files_before})
  set(gtest_include ${added})
  set(script ${VELMORA_X86_RUNTIME_SCRIPT})
  set(probe ${VELMORA_X86_PROBE})
  set(wrapper ${CMAKE_CURRENT_BINARY_DIR}/${target}_x86_runtime.cmake)
  configure_file(${PROJECT_SOURCE_DIR}/tests/x86_runtime/discovered_tests.cmake.in ${wrapper} @ONLY)
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${wrapper})
endfunction()
