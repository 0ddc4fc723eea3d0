# The bundled pages and the demo theme, checked with node's own test runner:
# the manager page's scripts without a DOM, markToHtml and TplRender, the
# theme's templates and links, and that nothing loads from the network. It
# reads template/vendor from the build folder, which the workspace target fills.
find_program(TARN_NODE NAMES node nodejs)
if(TARN_NODE)
  add_test(NAME pages COMMAND ${TARN_NODE} --test ${CMAKE_SOURCE_DIR}/tests/pages_test.mjs)
else()
  # Fails rather than vanishing: the pages would go unchecked.
  message(WARNING "node is not installed (run scripts/setup.sh): the pages test will fail")
  add_test(NAME pages COMMAND ${CMAKE_COMMAND} -E false)
endif()
set_tests_properties(pages PROPERTIES
  ENVIRONMENT "TARN_SOURCE_DIR=${CMAKE_SOURCE_DIR};TARN_BUILD_DIR=${CMAKE_BINARY_DIR}"
  TIMEOUT 300)
