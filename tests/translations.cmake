# The message catalogues (po/): msgfmt's checks, every message translated
# with its placeholders, tarn.pot up to date with the sources.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME translations
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/translations_test.py
                 --source ${CMAKE_SOURCE_DIR})
set_tests_properties(translations PROPERTIES LABELS unit)
