# The bundled theme audited in headless Chromium (tests/pages_audit_test.mjs):
# Lighthouse 100 in every category, page weight, axe-core light and dark. It
# needs node and web/node_modules (scripts/setup.sh test); without Chromium
# its cases are skipped with a message that says so. Lighthouse's JSON
# reports are kept in the build folder's pages_audit/.
find_program(TARN_AUDIT_NODE NAMES node nodejs)
if(TARN_AUDIT_NODE)
  add_test(NAME pages_audit
           COMMAND ${TARN_AUDIT_NODE} --test ${CMAKE_SOURCE_DIR}/tests/pages_audit_test.mjs)
  set_tests_properties(pages_audit PROPERTIES
    ENVIRONMENT "TARN_SOURCE_DIR=${CMAKE_SOURCE_DIR};TARN_BUILD_DIR=${CMAKE_BINARY_DIR};TARN_BINARY=$<TARGET_FILE:tarn>"
    TIMEOUT 1200 LABELS "e2e;browser"
    # Alone: its Chromium runs would load the machine under the window tests,
    # and its own timings want the cores to themselves.
    RUN_SERIAL TRUE)
endif()
