# Lets other projects find an installed libtraxolib, either with
#   find_package(traxolib 1.83 REQUIRED)   -> imported target traxo::traxolib
# or with pkg-config (traxolib.pc). Included from lib/CMakeLists.txt.
include(CMakePackageConfigHelpers)

set(TRAXOLIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/traxolib)
install(EXPORT traxolibTargets NAMESPACE traxo:: FILE traxolibTargets.cmake
  DESTINATION ${TRAXOLIB_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/traxolibConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/traxolibConfig.cmake
  INSTALL_DESTINATION ${TRAXOLIB_CMAKE_DIR})
# Within one major version the library keeps its interface (it is the soname).
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/traxolibConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/traxolibConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/traxolibConfigVersion.cmake
  DESTINATION ${TRAXOLIB_CMAKE_DIR})

# A system installation names /usr; any other tree finds its prefix from the
# .pc file's own place, so it can be moved (or installed with --prefix).
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$")
  set(TRAXO_PC_PREFIX /usr)
else()
  file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(TRAXO_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/traxolib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/traxolib.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/traxolib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
