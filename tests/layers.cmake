# Includes point downward only (the layer table in CONTRIBUTING.md and
# scripts/check_layers.py). The second test shows the check still catches an
# upward include and a desktop header outside src/app.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME LayerRule
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check_layers.py
                 ${CMAKE_SOURCE_DIR}/src)
add_test(NAME LayerRuleCatchesWrongIncludes
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check_layers.py
                 ${CMAKE_SOURCE_DIR}/tests/fixtures/layers/src)
set_tests_properties(LayerRuleCatchesWrongIncludes PROPERTIES
  PASS_REGULAR_EXPRESSION "upward.h:2: .*src/content may include.*window.h:2: <gtk/gtk.h>")
set_tests_properties(LayerRule LayerRuleCatchesWrongIncludes PROPERTIES LABELS unit)
