# One program per workspace, tarn show, the desktop portal's shortcut and the
# way back from the tray, under a virtual X server: the real tarn on copies
# of a fixture workspace, each test with a private session bus (dbus-daemon)
# holding stand-in desktop services written with python3's GObject
# introspection.
find_program(TARN_XVFB_RUN xvfb-run)
find_program(TARN_XDOTOOL xdotool)
find_program(TARN_DBUS_DAEMON dbus-daemon)
if(TARN_GUI AND TARN_XVFB_RUN AND TARN_XDOTOOL AND TARN_DBUS_DAEMON AND EXISTS /usr/bin/python3)
  add_test(NAME instance_gui
           COMMAND ${TARN_XVFB_RUN} -a -s "-screen 0 1280x1024x24"
                   /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/instance_gui_test.py
                   --tarn $<TARGET_FILE:tarn>)
  set_tests_properties(instance_gui PROPERTIES TIMEOUT 900)
endif()
