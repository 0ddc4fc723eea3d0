# The fuzz targets' kept corpus, replayed as ordinary tests: the same
# targets built with the normal compiler and fed every corpus file once.
foreach(target parse path)
  add_executable(json_${target}_replay ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cc
                 ${CMAKE_SOURCE_DIR}/fuzz/${target}_fuzzer.cc)
  target_compile_options(json_${target}_replay PRIVATE ${TARN_WARNINGS})
  target_link_libraries(json_${target}_replay PRIVATE tarncore)
endforeach()
add_test(NAME JsonFuzzCorpus.Parse
         COMMAND json_parse_replay ${CMAKE_SOURCE_DIR}/fuzz/corpus/parse)
add_test(NAME JsonFuzzCorpus.Paths
         COMMAND json_path_replay ${CMAKE_SOURCE_DIR}/fuzz/corpus/paths)
