# `cmake --install build` (prefix /usr/local unless told otherwise) lays:
#   <prefix>/velmora/            the program, velmora-install, docs/ (the user guide)
#   <prefix>/velmora/db/         the data folder, laid only when missing, so a
#                                reinstall keeps the records
#   <prefix>/velmora/copie/      the daily copies
#   <prefix>/share/applications/velmora.desktop   the menu entry
#   <prefix>/share/icons/hicolor/<size>/apps/     the program's icon
# /usr/local/share is one of the folders the desktop reads menu entries and
# icons from (XDG_DATA_DIRS), so the entry shows in the menu at once.
#
# The data folder is shared by every educator's account: db/ and copie/
# belong to the group VELMORA_DATA_GROUP (created when missing, when the
# install runs as root), with the set-group bit so that every file made in
# them later belongs to that group too, and group write on folders and
# files. The program keeps group write on what it creates (umask 002).
set(VELMORA_INSTALL_DIR velmora CACHE STRING "Folder, under the install prefix, that holds the program and db/")
set(VELMORA_DATA_GROUP velmora CACHE STRING "Group whose members may write the installed data folder (VELMORA_DATA_GROUP in the environment of the install overrides it)")
install(TARGETS Velmora velmora-install RUNTIME DESTINATION ${VELMORA_INSTALL_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${VELMORA_INSTALL_DIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN "*.html" PATTERN "*.png")
install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/velmora.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/velmora-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME velmora.png)
endforeach()
install(CODE "
  set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DIR}\")
  if(NOT EXISTS \"\${dir}/db\")
    execute_process(COMMAND \"\${dir}/velmora-install\" \"\${dir}/db\" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"Impossibile creare la cartella dati \${dir}/db\")
    endif()
  endif()
  file(MAKE_DIRECTORY \"\${dir}/copie\")
  set(group \"${VELMORA_DATA_GROUP}\")
  if(DEFINED ENV{VELMORA_DATA_GROUP})
    set(group \"\$ENV{VELMORA_DATA_GROUP}\")
  endif()
  # Shared writing of the data folder: only a real install as root can give
  # folders to a group; a packaging run (DESTDIR) leaves it to the package.
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL \"0\" AND \"\$ENV{DESTDIR}\" STREQUAL \"\")
    execute_process(COMMAND getent group \${group} RESULT_VARIABLE missing OUTPUT_QUIET)
    if(NOT missing EQUAL 0)
      execute_process(COMMAND groupadd -r \${group} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR \"Impossibile creare il gruppo \${group}\")
      endif()
    endif()
    foreach(sub db copie)
      execute_process(COMMAND chgrp -R \${group} \"\${dir}/\${sub}\" RESULT_VARIABLE rc1)
      execute_process(COMMAND chmod -R g+rwX \"\${dir}/\${sub}\" RESULT_VARIABLE rc2)
      execute_process(COMMAND find \"\${dir}/\${sub}\" -type d -exec chmod g+s {} +  RESULT_VARIABLE rc3)
      if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0 OR NOT rc3 EQUAL 0)
        message(FATAL_ERROR \"Impossibile dare la cartella \${dir}/\${sub} al gruppo \${group}\")
      endif()
    endforeach()
    message(STATUS \"Cartella dati condivisa dal gruppo \${group}: aggiungere le educatrici con usermod -aG \${group} <utente>\")
  endif()
  set(VELMORA_DIR \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DIR}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/dist/velmora.desktop.in\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/velmora.desktop\" @ONLY)
")
