# The web site in Chromium, Firefox and WebKit (show_test.mjs), and in
# Chromium emulating a phone, each inside its own sound server and X server
# (tests/support/browser-env.sh); the npm packages are
# installed by scripts/web.sh.
foreach(browser chromium firefox webkit firefox-silent chromium-phone)
  add_test(NAME web_show_${browser}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/support/browser-env.sh node ${CMAKE_CURRENT_LIST_DIR}/show_test.mjs
                   ${browser} ${QUARVELIN_SITE_DIR} ${QUARVELIN_NATIVE_SHOW_DIR}
                   ${QUARVELIN_NATIVE_DIR}/tools/quarvelin-cues ${QUARVELIN_NATIVE_DIR}/tests/support/sound_compare
                   ${QUARVELIN_NATIVE_DIR}/tests/support/screen_scene)
  set_tests_properties(web_show_${browser} PROPERTIES TIMEOUT 300 LABELS web)
endforeach()
