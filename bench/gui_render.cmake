# cmake --build build --target bench_gui_render
# The desktop program's Render button at 1,000 and 10,000 posts: first
# render and one-post edits, against tarn build after the same edit.
if(TARN_GUI)
  add_custom_target(bench_gui_render
    COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3
            ${CMAKE_CURRENT_SOURCE_DIR}/gui_render.py --tarn $<TARGET_FILE:tarn>
            --workspace ${CMAKE_BINARY_DIR}
    DEPENDS tarn workspace
    USES_TERMINAL)
endif()
