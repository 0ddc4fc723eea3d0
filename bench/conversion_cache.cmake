# conversion_cache_bench: the Markdown cache's Save after one post of a
# 10,000-post blog changed (cmake --build build --target conversion_cache_bench
# && build/bench/conversion_cache_bench [DIR]).
add_executable(conversion_cache_bench ${CMAKE_CURRENT_LIST_DIR}/conversion_cache_bench.cc)
target_link_libraries(conversion_cache_bench PRIVATE tarncore)
target_compile_options(conversion_cache_bench PRIVATE ${TARN_WARNINGS})
