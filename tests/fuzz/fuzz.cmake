# Replays of the fuzz targets: each target's source with a plain main that runs it on every
# input of its committed corpus, built with the ordinary compiler, so the cases the fuzzer
# found stay checked by ctest. scripts/fuzz builds the same sources with libFuzzer.
foreach(target text_fuzz actions_fuzz)
  add_executable(${target}_replay
    ${PROJECT_SOURCE_DIR}/tests/fuzz/${target}.cpp
    ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
  target_link_libraries(${target}_replay PRIVATE tolvexa_core)
  add_test(NAME ${target}_replay
    COMMAND ${target}_replay ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${target})
endforeach()
target_sources(actions_fuzz_replay PRIVATE ${PROJECT_SOURCE_DIR}/tests/native/fakes.cpp)
