# tarn check --external against a local HTTP server (Python's http.server on
# 127.0.0.1): answers, redirects, a refused HEAD, a timeout, the day's cache.
add_test(NAME check_external
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/check_external_test.py
                 --tarn ${CMAKE_BINARY_DIR}/tarn --fixture ${CMAKE_SOURCE_DIR}/tests/fixtures/check/site)
set_tests_properties(check_external PROPERTIES TIMEOUT 300 LABELS e2e)
