# A program folder holds both programs, the tools, the catalogue local.mdb and skin/.
# The build tree's bin/ is one (for running and tests); `cmake --install` lays out another.

set(TUNELIX_PRISTINE_CATALOGUE ${CMAKE_BINARY_DIR}/share/local.mdb)
add_custom_command(
  OUTPUT ${TUNELIX_PRISTINE_CATALOGUE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TUNELIX_PRISTINE_CATALOGUE}
  COMMAND tunelix-mkdb ${TUNELIX_PRISTINE_CATALOGUE}
  DEPENDS tunelix-mkdb ${PROJECT_SOURCE_DIR}/src/core/catalogue/schema.sql
  COMMENT "Writing the empty catalogue local.mdb")

# The build tree's program folder gets the catalogue once and the current skin always.
add_custom_target(program_folder ALL
  DEPENDS ${TUNELIX_PRISTINE_CATALOGUE}
  COMMAND ${CMAKE_COMMAND} -DSRC=${TUNELIX_PRISTINE_CATALOGUE} -DDST=${CMAKE_BINARY_DIR}/bin/local.mdb
          -P ${PROJECT_SOURCE_DIR}/cmake/CopyIfMissing.cmake
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/artwork/skin ${CMAKE_BINARY_DIR}/bin/skin
  VERBATIM)

install(TARGETS tunelix kelvox tunelix-mkdb tunelix-get tunelix-publish RUNTIME DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/artwork/skin/ DESTINATION skin)
# An installed catalogue is the user's data: a re-install never replaces it.
install(CODE "
  if(NOT EXISTS \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/local.mdb\")
    file(INSTALL \"${TUNELIX_PRISTINE_CATALOGUE}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endif()")
