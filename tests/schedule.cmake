# Scheduled posts, tarn publish --due and tarn schedule with a fixed clock
# (TARN_NOW): every page kind of a real build, local bare repositories as
# remotes, a test home for the systemd user units.
add_test(NAME schedule
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/schedule_test.py
                 --tarn ${CMAKE_BINARY_DIR}/tarn)
set_tests_properties(schedule PROPERTIES TIMEOUT 300 LABELS e2e)
