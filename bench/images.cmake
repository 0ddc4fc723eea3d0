# cmake --build build --target bench_images
# tarn build with 200 posts of one 12-megapixel photo each: cold, warm, and
# the same posts without photos; CPU time per photo and the warm overhead.
add_custom_target(bench_images
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/images.py --tarn $<TARGET_FILE:tarn>
          --workspace ${CMAKE_BINARY_DIR} --photos 200 --megapixels 12
  DEPENDS tarn workspace
  USES_TERMINAL)
