# Tests of the Windows code. ctest runs each binary under Wine (CMAKE_CROSSCOMPILING_EMULATOR);
# one binary per area, since every Wine process costs seconds to start.

function(tolvexa_wine_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tolvexa_win gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

tolvexa_wine_test(exec_test tests/windows/exec_test.cpp)
tolvexa_wine_test(payload_test tests/windows/payload_test.cpp ${CMAKE_BINARY_DIR}/payloads.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/payloads.rc PROPERTIES OBJECT_DEPENDS "${payload_files}")

add_executable(emit tests/windows/emit.cpp)
target_compile_definitions(exec_test PRIVATE "EMIT_EXE=\"$<TARGET_FILE:emit>\""
                                             "ADB_SIM_EXE=\"$<TARGET_FILE:standin_adb>\"")
add_dependencies(exec_test emit standin_adb)
target_compile_definitions(payload_test PRIVATE "STANDIN_DIR=\"${CMAKE_BINARY_DIR}/standins\"")

add_test(NAME imports COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/check_imports.sh $<TARGET_FILE:Tolvexa>)

# End-to-end tests: the real program driven through its window against the simulated phone.
# They need the stand-ins, so they are left out when the real payloads are embedded.
if(NOT TOLVEXA_PAYLOAD_DIR)
  tolvexa_wine_test(e2e_test tests/windows/e2e_test.cpp tests/windows/driver.cpp)
  target_compile_definitions(e2e_test PRIVATE "TOLVEXA_EXE=\"$<TARGET_FILE:Tolvexa>\""
                                              "STANDIN_DIR=\"$<TARGET_FILE_DIR:standin_adb>\"")
  target_compile_options(e2e_test PRIVATE -finput-charset=UTF-8)
  add_dependencies(e2e_test Tolvexa standin_adb standin_driver_installer)
  # It ends stray Tolvexa and adb processes of the prefix and rewrites c:\adb: run it alone.
  set_tests_properties(e2e_test PROPERTIES RUN_SERIAL TRUE)
endif()

# The benchmark (scripts/bench); built with the tests, run only on demand.
add_executable(baseline_window WIN32 tests/bench/baseline_window.cpp)
target_include_directories(baseline_window PRIVATE ${PROJECT_SOURCE_DIR})
add_executable(bench tests/bench/bench.cpp tests/windows/driver.cpp)
target_include_directories(bench PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(bench PRIVATE -finput-charset=UTF-8)
target_link_libraries(bench PRIVATE psapi)
target_compile_definitions(bench PRIVATE "TOLVEXA_EXE=\"$<TARGET_FILE:Tolvexa>\""
                                         "BASELINE_EXE=\"$<TARGET_FILE:baseline_window>\"")
add_dependencies(bench Tolvexa baseline_window)

# The program under random use and faults; TOLVEXA_MONKEY_SECONDS sets the monkey's time.
if(NOT TOLVEXA_PAYLOAD_DIR)
  tolvexa_wine_test(monkey_test tests/windows/monkey_test.cpp tests/windows/driver.cpp)
  target_compile_definitions(monkey_test PRIVATE "TOLVEXA_EXE=\"$<TARGET_FILE:Tolvexa>\""
                                                 "STANDIN_DIR=\"$<TARGET_FILE_DIR:standin_adb>\"")
  target_compile_options(monkey_test PRIVATE -finput-charset=UTF-8)
  add_dependencies(monkey_test Tolvexa standin_adb standin_driver_installer)
  set_tests_properties(monkey_test PROPERTIES RUN_SERIAL TRUE)
endif()
