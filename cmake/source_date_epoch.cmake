# One time for everything a release hands out, the commit's, so that two
# builds of one commit give the same bytes: SOURCE_DATE_EPOCH, which the
# MinGW linker (the PE header's time stamp), strip, CPack and `cmake -E tar`
# honour. It comes from the environment (the Makefile sets it once), else
# from source-date-epoch (git archive writes the commit's time into it),
# else from git. The commit's time rather than zero: some antivirus engines
# take a zeroed PE time stamp for a packer's mark.
#
# The uses of this file:
#   include(cmake/source_date_epoch.cmake)   in the project: the target
#       source_date_epoch, which writes the time to VELMORA_EPOCH_FILE at
#       every build (touching it only when it changes, so that a new commit
#       relinks and repacks what carries it), VELMORA_WITH_EPOCH to put
#       before a command, and velmora_stamp_with_epoch(TARGET);
#   CPack's project configuration file (CPACK_VELMORA_SOURCE_DIR set):
#       sets the time for cpack run by hand;
#   cmake -DSOURCE_DIR=S -P source_date_epoch.cmake
#       prints the time (the Makefile's);
#   cmake -DSOURCE_DIR=S -DEPOCH_FILE=F -P source_date_epoch.cmake
#       refreshes F;
#   cmake -DEPOCH_FILE=F -P source_date_epoch.cmake -- COMMAND ARG...
#       runs COMMAND with SOURCE_DATE_EPOCH read from F, in UTC (a link, a
#       strip, the zip).

# The time in OUT, or "" when none is known: a build without it still
# works, stamped with the current time.
function(velmora_source_date_epoch out source_dir)
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(epoch STREQUAL "" AND EXISTS "${source_dir}/source-date-epoch")
    # "$Format:%ct$" in a checkout, the number in an archive.
    file(STRINGS "${source_dir}/source-date-epoch" epoch LIMIT_COUNT 1 REGEX "^[0-9]+$")
  endif()
  if(epoch STREQUAL "")
    find_program(git_program git)
    if(git_program)
      execute_process(COMMAND ${git_program} log -1 --format=%ct WORKING_DIRECTORY "${source_dir}"
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
  endif()
  if(NOT epoch MATCHES "^[0-9]+$")
    set(epoch "")
  endif()
  set(${out} "${epoch}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  set(command)
  set(after_separator FALSE)
  math(EXPR last "${CMAKE_ARGC} - 1")
  foreach(index RANGE 1 ${last})
    if(after_separator)
      list(APPEND command "${CMAKE_ARGV${index}}")
    elseif(CMAKE_ARGV${index} STREQUAL "--")
      set(after_separator TRUE)
    endif()
  endforeach()
  list(LENGTH command command_length)
  if(command_length GREATER 0)
    file(READ "${EPOCH_FILE}" epoch)
    if(epoch STREQUAL "")
      unset(ENV{SOURCE_DATE_EPOCH})
    else()
      set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    endif()
    # In UTC: a zip's entries keep their times in local time.
    set(ENV{TZ} UTC)
    execute_process(COMMAND ${command} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${command} exited with ${status}")
    endif()
  elseif(DEFINED EPOCH_FILE)
    velmora_source_date_epoch(epoch "${SOURCE_DIR}")
    set(old "-")
    if(EXISTS "${EPOCH_FILE}")
      file(READ "${EPOCH_FILE}" old)
    endif()
    if(NOT old STREQUAL epoch)
      file(WRITE "${EPOCH_FILE}" "${epoch}")
    endif()
  else()
    velmora_source_date_epoch(epoch "${SOURCE_DIR}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${epoch}")
  endif()
  return()
endif()

if(DEFINED CPACK_VELMORA_SOURCE_DIR)
  if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    velmora_source_date_epoch(epoch "${CPACK_VELMORA_SOURCE_DIR}")
    if(NOT epoch STREQUAL "")
      set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    endif()
  endif()
  return()
endif()

set(VELMORA_EPOCH_FILE ${PROJECT_BINARY_DIR}/source_date_epoch)
add_custom_target(source_date_epoch
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DEPOCH_FILE=${VELMORA_EPOCH_FILE}
    -P ${CMAKE_CURRENT_LIST_FILE}
  BYPRODUCTS ${VELMORA_EPOCH_FILE}
  VERBATIM)
set(VELMORA_WITH_EPOCH ${CMAKE_COMMAND} -DEPOCH_FILE=${VELMORA_EPOCH_FILE} -P ${CMAKE_CURRENT_LIST_FILE} --)

# TARGET linked with the commit's time, and linked again when it changes.
function(velmora_stamp_with_epoch target)
  add_dependencies(${target} source_date_epoch)
  set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER "${VELMORA_WITH_EPOCH}"
    LINK_DEPENDS ${VELMORA_EPOCH_FILE})
endfunction()
