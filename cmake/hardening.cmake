# The native build compiled and linked as Debian builds its packages, with
# every hardening feature of dpkg-buildflags: fortified libc calls
# (-D_FORTIFY_SOURCE=2), stack protection, read-only relocations bound at
# load (-z relro -z now), position-independent executables. The native preset
# turns it on, so that the tests run the programs the .deb ships. The flags
# come before the project's own (the build type's -O2, -ffp-contract=off),
# and none of them touches floating-point arithmetic.
option(VELMORA_DEB_BUILDFLAGS "Build with dpkg-buildflags' hardening flags" OFF)
if(VELMORA_DEB_BUILDFLAGS)
  find_program(VELMORA_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    # From the source folder, so that -ffile-prefix-map names it ".".
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${VELMORA_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE deb_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  # PIE comes from Debian's gcc, which makes position-independent
  # executables by default (dpkg-buildflags adds nothing for it there);
  # lintian's check of the package says when it does not.
  string(APPEND CMAKE_C_FLAGS " ${deb_CPPFLAGS} ${deb_CFLAGS}")
  string(APPEND CMAKE_CXX_FLAGS " ${deb_CPPFLAGS} ${deb_CXXFLAGS}")
  foreach(kind EXE SHARED MODULE)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${deb_LDFLAGS}")
  endforeach()
  message(STATUS "dpkg-buildflags (hardening=+all): ${deb_CPPFLAGS} ${deb_CXXFLAGS} ${deb_LDFLAGS}")
endif()
