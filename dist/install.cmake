# `cmake --install build` (prefix /usr/local unless told otherwise) lays:
#   <prefix>/lib/velmora/        the program, velmora-install, velmora-server, docs/
#                                (the user guide), and db, copie: links to the data below
#   <prefix>/bin/velmora         the program on the PATH (a link)
#   <prefix>/sbin/velmora-install, velmora-server  the administrator's commands (links)
#   /var/lib/velmora/db/         the data folder, laid only when missing, so a
#                                reinstall keeps the records
#   /var/lib/velmora/copie/      the daily copies
#   <prefix>/share/applications/velmora.desktop   the menu entry
#   <prefix>/share/icons/hicolor/<size>/apps/     the program's icon
# /usr/local/share is one of the folders the desktop reads menu entries and
# icons from (XDG_DATA_DIRS), so the entry shows in the menu at once. The
# program finds its data through the db link beside it, as in the build
# folder (build/db beside build/Velmora).
#
# The data is private to the group VELMORA_DATA_GROUP (created when missing,
# when the install runs as root): db/ and copie/ and every folder in them
# 2770 (the set-group bit makes everything made in them later belong to the
# group), every file 0660, owner root; no access for other accounts. The
# program gives what it creates there the same group and mode, whatever the
# umask. A reinstall lays these again on the data it finds.
#
# An older install kept the data in <prefix>/velmora/db and copie: when the
# new data folder is missing, the install moves them there.
set(VELMORA_PROGRAM_DIR lib/velmora CACHE STRING "Folder, under the install prefix, that holds the program")
set(VELMORA_DATA_DIR /var/lib/velmora CACHE STRING "Folder of the data folder db/ and its copies (VELMORA_DATA_DIR in the environment of the install overrides it)")
set(VELMORA_DATA_GROUP velmora CACHE STRING "Group whose members may read and write the installed data (VELMORA_DATA_GROUP in the environment of the install overrides it)")
install(TARGETS Velmora velmora-install velmora-server RUNTIME DESTINATION ${VELMORA_PROGRAM_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${VELMORA_PROGRAM_DIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN "*.html" PATTERN "*.png")
install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/velmora.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/velmora-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME velmora.png)
endforeach()
install(CODE "
  set(prog \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_PROGRAM_DIR}\")
  set(data \"${VELMORA_DATA_DIR}\")
  if(DEFINED ENV{VELMORA_DATA_DIR})
    set(data \"\$ENV{VELMORA_DATA_DIR}\")
  endif()
  set(group \"${VELMORA_DATA_GROUP}\")
  if(DEFINED ENV{VELMORA_DATA_GROUP})
    set(group \"\$ENV{VELMORA_DATA_GROUP}\")
  endif()
  set(dprog \"\$ENV{DESTDIR}\${prog}\")
  set(ddata \"\$ENV{DESTDIR}\${data}\")
  file(MAKE_DIRECTORY \"\${ddata}\")

  # The data of an older install (program and data in <prefix>/velmora).
  set(old \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/velmora\")
  if(IS_DIRECTORY \"\${old}/db\" AND NOT IS_SYMLINK \"\${old}/db\" AND NOT EXISTS \"\${ddata}/db\")
    foreach(sub db copie)
      if(IS_DIRECTORY \"\${old}/\${sub}\" AND NOT IS_SYMLINK \"\${old}/\${sub}\")
        execute_process(COMMAND mv \"\${old}/\${sub}\" \"\${ddata}/\${sub}\" RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
          message(FATAL_ERROR \"Impossibile spostare \${old}/\${sub} in \${ddata}/\${sub}\")
        endif()
        file(CREATE_LINK \"\${data}/\${sub}\" \"\${old}/\${sub}\" SYMBOLIC)
      endif()
    endforeach()
    message(STATUS \"Dati della versione precedente spostati da \${old} in \${ddata}\")
  endif()

  if(NOT EXISTS \"\${ddata}/db\")
    execute_process(COMMAND \"\${dprog}/velmora-install\" \"\${ddata}/db\" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"Impossibile creare la cartella dati \${ddata}/db\")
    endif()
  endif()
  file(MAKE_DIRECTORY \"\${ddata}/copie\")

  # The program finds db/ beside itself; copie/ beside it too, for whoever
  # looks for the copies there.
  foreach(sub db copie)
    if(IS_SYMLINK \"\${dprog}/\${sub}\" OR NOT EXISTS \"\${dprog}/\${sub}\")
      file(REMOVE \"\${dprog}/\${sub}\")
      file(CREATE_LINK \"\${data}/\${sub}\" \"\${dprog}/\${sub}\" SYMBOLIC)
    endif()
  endforeach()
  foreach(link \"bin/velmora:Velmora\" \"sbin/velmora-install:velmora-install\" \"sbin/velmora-server:velmora-server\")
    string(REPLACE \":\" \";\" parts \"\${link}\")
    list(GET parts 0 where)
    list(GET parts 1 what)
    get_filename_component(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${where}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${dir}\")
    file(REMOVE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${where}\")
    file(CREATE_LINK \"\${prog}/\${what}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${where}\" SYMBOLIC)
  endforeach()

  # The data private to its group: only a real install as root can give it
  # to a group; a packaging run (DESTDIR) leaves it to the package.
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL \"0\" AND \"\$ENV{DESTDIR}\" STREQUAL \"\")
    execute_process(COMMAND getent group \${group} RESULT_VARIABLE missing OUTPUT_QUIET)
    if(NOT missing EQUAL 0)
      execute_process(COMMAND groupadd -r \${group} RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR \"Impossibile creare il gruppo \${group}\")
      endif()
    endif()
    execute_process(COMMAND chmod 0755 \"\${data}\")
    foreach(sub db copie)
      execute_process(COMMAND chown -R root:\${group} \"\${data}/\${sub}\" RESULT_VARIABLE rc1)
      execute_process(COMMAND find \"\${data}/\${sub}\" -type d -exec chmod 2770 {} + RESULT_VARIABLE rc2)
      execute_process(COMMAND find \"\${data}/\${sub}\" -type f -exec chmod 0660 {} + RESULT_VARIABLE rc3)
      if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0 OR NOT rc3 EQUAL 0)
        message(FATAL_ERROR \"Impossibile dare la cartella \${data}/\${sub} al gruppo \${group}\")
      endif()
    endforeach()
    message(STATUS \"Dati in \${data}, riservati al gruppo \${group}: aggiungere ogni educatrice con usermod -aG \${group} <utente>\")
  endif()
  set(VELMORA_DIR \"\${prog}\")
  set(VELMORA_BIN \"\${CMAKE_INSTALL_PREFIX}/bin/velmora\")
  configure_file(\"${PROJECT_SOURCE_DIR}/dist/velmora.desktop.in\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/velmora.desktop\" @ONLY)
")
