# json_bench: JsonDocument against nlohmann-json on a post-index-shaped
# document (cmake --build build --target json_bench && build/bench/json_bench).
find_package(nlohmann_json 3 QUIET)
if(nlohmann_json_FOUND)
  add_executable(json_bench ${CMAKE_SOURCE_DIR}/bench/json_bench.cc)
  target_link_libraries(json_bench PRIVATE tarncore nlohmann_json::nlohmann_json)
  target_compile_options(json_bench PRIVATE ${TARN_WARNINGS})
endif()
