# cmake --build build --target bench_gui_startup
# The desktop program's start-up on 1,000 posts, against a bare WebKitGTK
# window loading the same rendered page.
if(TARN_GUI)
  add_executable(webkit_floor ${CMAKE_CURRENT_SOURCE_DIR}/webkit_floor.cc)
  target_link_libraries(webkit_floor PRIVATE PkgConfig::GUI)
  add_custom_target(bench_gui_startup
    COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3
            ${CMAKE_CURRENT_SOURCE_DIR}/gui_startup.py --tarn $<TARGET_FILE:tarn>
            --floor $<TARGET_FILE:webkit_floor> --workspace ${CMAKE_BINARY_DIR}
    DEPENDS tarn webkit_floor workspace
    USES_TERMINAL)
endif()
