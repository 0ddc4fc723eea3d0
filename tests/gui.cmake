# The desktop program under a virtual X server: the real tarn, driven with
# xdotool. Needs xvfb-run, xdotool and Debian's python3 with GObject
# introspection (for the clipboard).
find_program(TARN_XVFB_RUN xvfb-run)
find_program(TARN_XDOTOOL xdotool)
if(TARN_GUI AND TARN_XVFB_RUN AND TARN_XDOTOOL AND EXISTS /usr/bin/python3)
  add_test(NAME gui
           COMMAND ${TARN_XVFB_RUN} -a -s "-screen 0 1280x1024x24"
                   /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/gui_test.py
                   --tarn $<TARGET_FILE:tarn>)
  set_tests_properties(gui PROPERTIES TIMEOUT 900)
endif()
