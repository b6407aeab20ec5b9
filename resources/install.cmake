# `cmake --install BUILD [--prefix P]`: the program and the song checker in
# bin/, the data files in share/quarvelin/, a desktop entry, its AppStream
# metainfo, the icon in the hicolor theme, man pages and the licence. The program finds its data from
# its own place, so the prefix may be chosen at install time.
include_guard(GLOBAL)

if(TARGET quarvelin)
  install(TARGETS quarvelin quarvelin-cues RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(TRANSFORM QUARVELIN_CONTENT_FILES PREPEND ${QUARVELIN_SHOW_DIR}/ OUTPUT_VARIABLE quarvelin_data_files)
  install(FILES ${quarvelin_data_files} DESTINATION ${QUARVELIN_INSTALL_DATADIR})
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${CMAKE_BINARY_DIR}/resources/quarvelin.6 ${CMAKE_BINARY_DIR}/resources/quarvelin-cues.6
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES ${CMAKE_BINARY_DIR}/resources/${QUARVELIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The desktop entry names the installed places, known only once the
  # install's prefix is: it is written when installing.
  set(desktop_entry ${CMAKE_BINARY_DIR}/install/quarvelin.desktop)
  install(CODE "
    set(QUARVELIN_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quarvelin\")
    set(QUARVELIN_DATA \"\${CMAKE_INSTALL_PREFIX}/${QUARVELIN_INSTALL_DATADIR}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/resources/quarvelin.desktop.in\" \"${desktop_entry}\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
         TYPE FILE FILES \"${desktop_entry}\")")
endif()
