# The template engine on a big index page: build/bench_template.
add_executable(bench_template ${CMAKE_CURRENT_LIST_DIR}/template_bench.cc)
target_link_libraries(bench_template PRIVATE tarncore)
target_include_directories(bench_template PRIVATE ${CMAKE_SOURCE_DIR}/tests)
