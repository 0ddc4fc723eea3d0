# The installed copy: cmake --install into a temporary prefix, then the
# desktop's validators, the installed tarn init and build, the order the
# blog is found in. Needs desktop-file-validate, appstreamcli and man.
add_test(NAME install
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/install_test.py
                 --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR} Installed)
set_tests_properties(install PROPERTIES TIMEOUT 600)

# The Debian package (what `make package` makes), built into a temporary
# folder and read with dpkg-deb.
add_test(NAME package
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/install_test.py
                 --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR} Package)
set_tests_properties(package PROPERTIES TIMEOUT 600)
