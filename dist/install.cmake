# `cmake --install` lays a self-contained folder: the program with its data
# folder db/ beside it (laid only when missing, so reinstalling keeps the
# records), and a desktop entry that starts it from there.
set(VELMORA_INSTALL_DIR velmora CACHE STRING "Folder, under the install prefix, that holds the program and db/")
install(TARGETS Velmora velmora-install RUNTIME DESTINATION ${VELMORA_INSTALL_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${VELMORA_INSTALL_DIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN "*.html" PATTERN "*.png")
install(CODE "
  set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DIR}\")
  if(NOT EXISTS \"\${dir}/db\")
    execute_process(COMMAND \"\${dir}/velmora-install\" \"\${dir}/db\" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"Impossibile creare la cartella dati \${dir}/db\")
    endif()
  endif()
  set(VELMORA_DIR \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DIR}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/dist/velmora.desktop.in\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/velmora.desktop\" @ONLY)
")
