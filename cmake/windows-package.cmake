# The ready-to-run folder (the program and its data files) packed as
# quarvelin-windows-x64.zip, with one folder "quarvelin" inside.
set(package_folder ${CMAKE_BINARY_DIR}/package/quarvelin)
set(QUARVELIN_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/quarvelin-windows-x64.zip)
add_custom_command(
  OUTPUT ${QUARVELIN_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_folder}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${package_folder}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quarvelin> ${QUARVELIN_CONTENT_OUTPUTS} ${package_folder}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
          ${CMAKE_COMMAND} -E tar cf ${QUARVELIN_PACKAGE_ZIP} --format=zip quarvelin
  DEPENDS quarvelin ${QUARVELIN_CONTENT_OUTPUTS}
  COMMENT "Packing ${QUARVELIN_PACKAGE_ZIP}")
add_custom_target(quarvelin-package ALL DEPENDS ${QUARVELIN_PACKAGE_ZIP})
