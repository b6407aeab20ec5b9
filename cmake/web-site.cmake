# The show as a web site in build-web/site: the program compiled to
# WebAssembly, its ten data files packaged for its in-memory file system, and
# our own page (resources/web).
include(ExternalProject)
set(QUARVELIN_SITE_DIR ${CMAKE_BINARY_DIR}/site)
file(MAKE_DIRECTORY ${QUARVELIN_SITE_DIR})

# The content generator, the icon writer and the tools the browser test uses
# (the cue timeline, the recording and screenshot judges) run on the build machine: a native
# build of the same sources, tools only.
set(QUARVELIN_NATIVE_DIR ${CMAKE_BINARY_DIR}/native)
set(QUARVELIN_NATIVE_SHOW_DIR ${QUARVELIN_NATIVE_DIR}/show)
set(QUARVELIN_NATIVE_TARGETS quarvelin-show-content quarvelin-cues quarvelin-icons)
if(QUARVELIN_TESTS)
  list(APPEND QUARVELIN_NATIVE_TARGETS sound_compare screen_scene)
endif()
ExternalProject_Add(quarvelin-native-tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QUARVELIN_NATIVE_DIR}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DQUARVELIN_TESTS=${QUARVELIN_TESTS} -DQUARVELIN_BENCH=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${QUARVELIN_NATIVE_TARGETS}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${QUARVELIN_NATIVE_SHOW_DIR}/RETRO.XM ${QUARVELIN_NATIVE_DIR}/icons/32x32/apps/quarvelin.png
  INSTALL_COMMAND "")

# The program reads its files from its current folder, "/" in the browser.
set_target_properties(quarvelin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUARVELIN_SITE_DIR} SUFFIX .js)
add_dependencies(quarvelin quarvelin-native-tools)
target_link_options(quarvelin PRIVATE
  # The frame loop runs as it is; its waits give control back to the page
  # (the wait for the next paint among them).
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sASYNCIFY_IMPORTS=screen_web_next_paint
  # The page makes a fresh instance for every start; the end of the program
  # ends the instance and calls the page's onExit.
  -sMODULARIZE=1 -sEXPORT_NAME=createQuarvelin -sEXIT_RUNTIME=1 -sENVIRONMENT=web
  -sINITIAL_MEMORY=33554432)
# The data files one by one, in the table's order: a folder would be packed
# in the order its file system lists it, which differs between machines.
foreach(name ${QUARVELIN_CONTENT_FILES})
  target_link_options(quarvelin PRIVATE "SHELL:--preload-file ${QUARVELIN_NATIVE_SHOW_DIR}/${name}@/${name}")
endforeach()
# The packer marks its data with a random id (for a browser cache the page
# does not use); the data's own hash takes its place, so the same sources
# give the same site.
set(package_id_stamp ${CMAKE_BINARY_DIR}/package-id.stamp)
add_custom_command(
  OUTPUT ${package_id_stamp}
  COMMAND ${CMAKE_COMMAND} -DSCRIPT=${QUARVELIN_SITE_DIR}/quarvelin.js -DDATA=${QUARVELIN_SITE_DIR}/quarvelin.data
          -P ${CMAKE_SOURCE_DIR}/cmake/web-package-id.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${package_id_stamp}
  DEPENDS quarvelin ${CMAKE_SOURCE_DIR}/cmake/web-package-id.cmake)
add_custom_target(quarvelin-site-package-id ALL DEPENDS ${package_id_stamp})
set_property(TARGET quarvelin APPEND PROPERTY LINK_DEPENDS ${QUARVELIN_NATIVE_SHOW_DIR}/RETRO.XM)

# The page's icon is the program's own, drawn by our code.
add_custom_command(
  OUTPUT ${QUARVELIN_SITE_DIR}/icon.png
  COMMAND ${CMAKE_COMMAND} -E copy ${QUARVELIN_NATIVE_DIR}/icons/32x32/apps/quarvelin.png
          ${QUARVELIN_SITE_DIR}/icon.png
  DEPENDS quarvelin-native-tools)
add_custom_target(quarvelin-site-icon ALL DEPENDS ${QUARVELIN_SITE_DIR}/icon.png)

# The page's credits line carries the project's version.
configure_file(${CMAKE_SOURCE_DIR}/resources/web/index.html ${QUARVELIN_SITE_DIR}/index.html @ONLY)
foreach(page show.js show.css sound.js sound-worklet.js)
  configure_file(${CMAKE_SOURCE_DIR}/resources/web/${page} ${QUARVELIN_SITE_DIR}/${page} COPYONLY)
endforeach()

if(QUARVELIN_TESTS)
  enable_testing()
  include(${CMAKE_SOURCE_DIR}/tests/system/web/web_tests.cmake)
endif()
