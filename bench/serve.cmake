# tarn serve against hugo server on a 1,000-post site: build/bench/bench_serve.
add_executable(bench_serve ${CMAKE_CURRENT_LIST_DIR}/serve_bench.cc)
target_link_libraries(bench_serve PRIVATE tarncore)
target_compile_definitions(bench_serve PRIVATE
  TARN_BINARY="$<TARGET_FILE:tarn>"
  TARN_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_serve tarn workspace)
