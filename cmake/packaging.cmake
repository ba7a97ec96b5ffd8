# The Debian package: `cpack -G DEB` in the native build (`make package`)
# makes velmora_<version>_<arch>.deb from the install rules, with /usr as its
# prefix: the hack in /usr/libexec/xscreensaver, where XScreenSaver and the
# MATE screen saver run hacks from.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora maintainers <maintainers@users.noreply.c-seed-a09aea47.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The desktop entry is made at install time from the prefix: the package's
# files are installed under DESTDIR with the real prefix, /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
# Debian ships no debugging symbols in the binary package.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | mate-screensaver")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Mandelbrot set screen saver for XScreenSaver and MATE
Velmora draws, with OpenGL, the Mandelbrot set emerging pass by pass from
an opaque black plane over about two and a half minutes, with 128 walkers
gliding along the orbits of random points and up to 50 orbits that settle
down drawn as sliding line strips.
.
This package holds the hack for XScreenSaver (and the MATE and Xfce screen
savers), its XScreenSaver configuration, the screen saver theme, and
velmora-render, which draws the same scene into PNG files without a window.")
# The package's file times and its archives' stamps: the commit's, also
# for cpack run by hand.
set(CPACK_VELMORA_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake)
include(CPack)
