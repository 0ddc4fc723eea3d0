# The post editor, the notification-area mode and Alt+B under a virtual X
# server: the real tarn on copies of the built workspace, driven with
# xdotool, each run inside a D-Bus session of its own. Needs xvfb-run,
# xdotool, dbus-run-session and Debian's python3 with GObject introspection
# (the drag source).
find_program(TARN_XVFB_RUN xvfb-run)
find_program(TARN_XDOTOOL xdotool)
find_program(TARN_DBUS_RUN_SESSION dbus-run-session)
if(TARN_GUI AND TARN_XVFB_RUN AND TARN_XDOTOOL AND TARN_DBUS_RUN_SESSION AND EXISTS /usr/bin/python3)
  # The editor's saving, images and windows; its preview, outline and front
  # matter; its writing tools (focus mode's full screen needs a window
  # manager, which that suite starts: openbox).
  foreach(suite editor_gui editor_structure_gui editor_writing_gui)
    string(REPLACE "_gui" "_gui_test.py" script ${suite})
    add_test(NAME ${suite}
             COMMAND ${TARN_XVFB_RUN} -a -s "-screen 0 1280x1024x24"
                     /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/${script}
                     --tarn $<TARGET_FILE:tarn> --workspace ${CMAKE_BINARY_DIR})
    set_tests_properties(${suite} PROPERTIES TIMEOUT 900)
  endforeach()
endif()
