# The web site in headless Chromium (show_test.mjs); its npm packages are
# installed by scripts/web.sh.
add_test(NAME web_show
         COMMAND node ${CMAKE_CURRENT_LIST_DIR}/show_test.mjs ${QUARVELIN_SITE_DIR}
                 ${QUARVELIN_NATIVE_SHOW_DIR} ${QUARVELIN_NATIVE_DIR}/tools/quarvelin-cues)
set_tests_properties(web_show PROPERTIES TIMEOUT 300 LABELS web)
