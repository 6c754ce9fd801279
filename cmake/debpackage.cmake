# `make package` configures a build with prefix /usr and runs CPack on it, so
# the .deb holds the system layout (share/traxobench, no run path).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME traxobench)
set(CPACK_PACKAGE_VENDOR "Pelmix Research Software Group")
set(CPACK_PACKAGE_CONTACT "Pelmix Research Software Group <traxobench@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "records, inspects and searches processing histories")
set(CPACK_PACKAGE_DESCRIPTION
  "TRAXObench keeps the processing history of data files: a chain of workflow\n\
steps (tool, command line, host, user, time, attributes, input and output\n\
files with sizes and MD5 checksums) stored in a .traxo container or appended\n\
to a PDF. The package holds the desktop application TRAXObench (viewer,\n\
arg-file editor, runner and finder), the command-line programs traxoadd,\n\
traxodel and traxo (show, validate, extract, find and render histories\n\
without a display, for scripts, CI and clusters; its rendering helper\n\
traxo-render lives in /usr/libexec/traxobench), and the library libtraxolib\n\
with its headers, CMake package and pkg-config file.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages (Qt, zlib, qpdf, the C++ runtime) come from
# dpkg-shlibdeps; what is started at run time is listed by hand: the Qt
# platform plugins that show the windows, and "python" for the run window.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, python3, python-is-python3")
# libtraxolib is a public library in /usr/lib: the package declares its soname
# and lets dpkg run ldconfig through a trigger, not from maintainer scripts.
configure_file(${PROJECT_SOURCE_DIR}/packaging/shlibs.in ${CMAKE_BINARY_DIR}/debian/shlibs @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/triggers ${CMAKE_BINARY_DIR}/debian/triggers COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/shlibs ${CMAKE_BINARY_DIR}/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
