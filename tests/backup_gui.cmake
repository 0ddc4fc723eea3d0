# The desktop program's backups under a virtual X server: AutoBackup after a
# save and after a publish, the manager page's Backup command, with real
# git against local bare repositories. Needs xvfb-run and xdotool.
find_program(TARN_XVFB_RUN xvfb-run)
find_program(TARN_XDOTOOL xdotool)
if(TARN_GUI AND TARN_XVFB_RUN AND TARN_XDOTOOL AND EXISTS /usr/bin/python3)
  add_test(NAME backup_gui
           COMMAND ${TARN_XVFB_RUN} -a -s "-screen 0 1280x1024x24"
                   /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/backup_gui_test.py
                   --tarn $<TARGET_FILE:tarn>)
  set_tests_properties(backup_gui PROPERTIES TIMEOUT 600 LABELS gui)
endif()
