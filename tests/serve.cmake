# tarn serve driven by headless Chromium: open pages reload after a save and
# show a failed rebuild. Needs node (for its DevTools client) and chromium.
find_program(TARN_SERVE_NODE NAMES node nodejs)
if(TARN_SERVE_NODE)
  add_test(NAME serve_browser
           COMMAND ${TARN_SERVE_NODE} --experimental-websocket --test
                   ${CMAKE_SOURCE_DIR}/tests/serve_browser_test.mjs)
  set_tests_properties(serve_browser PROPERTIES
    ENVIRONMENT "TARN_SOURCE_DIR=${CMAKE_SOURCE_DIR};TARN_BINARY=$<TARGET_FILE:tarn>"
    TIMEOUT 300)
endif()
