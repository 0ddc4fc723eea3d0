# The installed copy: cmake --install into a temporary prefix, then the
# desktop's validators, the installed tarn init and build, the order the
# blog is found in. Needs desktop-file-validate, appstreamcli and man.
add_test(NAME install
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/install_test.py
                 --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR} Installed)
set_tests_properties(install PROPERTIES TIMEOUT 600 LABELS e2e)

# The installed desktop program's first start with no blog, and "Open
# another blog…", under a virtual X server.
find_program(TARN_XVFB_RUN xvfb-run)
if(TARN_GUI AND TARN_XVFB_RUN)
  add_test(NAME install_gui
           COMMAND ${TARN_XVFB_RUN} -a -s "-screen 0 1280x1024x24"
                   /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/install_test.py
                   --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR} FirstStart)
  set_tests_properties(install_gui PROPERTIES TIMEOUT 600 LABELS gui)
endif()

# The Debian package (what `make package` makes), built into a temporary
# folder and read with dpkg-deb.
add_test(NAME package
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/install_test.py
                 --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR} Package)
set_tests_properties(package PROPERTIES TIMEOUT 600 LABELS e2e)
