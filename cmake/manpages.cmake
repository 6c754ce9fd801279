# Every doc/man/<program>.1 is installed compressed, as Debian wants it, into
# share/man/man1. A new page needs no edit here (re-run cmake once).
file(GLOB TRAXO_MANPAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/*.1)
set(compressed_pages)
foreach(page ${TRAXO_MANPAGES})
  get_filename_component(name ${page} NAME)
  set(compressed ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" ${page} ${compressed}
    DEPENDS ${page} VERBATIM)
  list(APPEND compressed_pages ${compressed})
endforeach()
add_custom_target(traxo_manpages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
