# Templates, help pages and examples sit where the program looks for them
# (app/shared/paths.h), both in the build tree and in an installed tree:
#
#   <tree>/bin/TRAXObench
#   <tree>/templates/              report templates
#   <tree>/examples/               example arg-files and containers
#   <tree>/doc/generated/usage/    help pages
#
# where <tree> is the build folder, the prefix of a self-contained install, or
# <prefix>/share/traxobench of a system install (TRAXO_INSTALL_DATADIR).
# doc/man holds the manual pages, which are installed as such, not as help.
#
# They are copied on every build, so an edited page shows at the next run.
add_custom_target(traxo_datafiles ALL
  COMMAND ${CMAKE_COMMAND} -DFROM=${PROJECT_SOURCE_DIR}/templates -DTO=${CMAKE_BINARY_DIR}/templates
    -P ${CMAKE_CURRENT_LIST_DIR}/copytree.cmake
  COMMAND ${CMAKE_COMMAND} -DFROM=${PROJECT_SOURCE_DIR}/examples -DTO=${CMAKE_BINARY_DIR}/examples
    -P ${CMAKE_CURRENT_LIST_DIR}/copytree.cmake
  COMMAND ${CMAKE_COMMAND} -DFROM=${PROJECT_SOURCE_DIR}/doc -DTO=${CMAKE_BINARY_DIR}/doc/generated/usage
    -DEXCLUDE=man
    -P ${CMAKE_CURRENT_LIST_DIR}/copytree.cmake
  COMMENT "Copying templates, examples and help pages beside the program"
  VERBATIM)

# The installed tree gets what the build tree holds, including examples the
# build makes itself.
install(DIRECTORY ${CMAKE_BINARY_DIR}/templates/ DESTINATION ${TRAXO_INSTALL_DATADIR}/templates)
install(DIRECTORY ${CMAKE_BINARY_DIR}/examples/ DESTINATION ${TRAXO_INSTALL_DATADIR}/examples)
install(DIRECTORY ${CMAKE_BINARY_DIR}/doc/generated/usage/ DESTINATION ${TRAXO_INSTALL_DATADIR}/doc/generated/usage)
