# The user guide beside the program in the build folder too: the About box
# opens <program folder>/docs/guida-utente.html, and the program runs from
# build/. Re-copied whenever the guide or one of its pictures changes.
file(GLOB VELMORA_GUIDE_PICTURES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/img/*.png)
set(VELMORA_GUIDE_SOURCES ${PROJECT_SOURCE_DIR}/docs/guida-utente.html ${VELMORA_GUIDE_PICTURES})
set(VELMORA_GUIDE_STAMP ${CMAKE_BINARY_DIR}/docs/.copiata)
add_custom_command(
  OUTPUT ${VELMORA_GUIDE_STAMP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/docs/img
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/docs/guida-utente.html ${CMAKE_BINARY_DIR}/docs/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMORA_GUIDE_PICTURES} ${CMAKE_BINARY_DIR}/docs/img/
  COMMAND ${CMAKE_COMMAND} -E touch ${VELMORA_GUIDE_STAMP}
  DEPENDS ${VELMORA_GUIDE_SOURCES}
  COMMENT "Copia della guida utente in docs/ della cartella di compilazione"
  VERBATIM)
add_custom_target(velmora-guide ALL DEPENDS ${VELMORA_GUIDE_STAMP})
