# Tests of the Windows code. ctest runs each binary under Wine (CMAKE_CROSSCOMPILING_EMULATOR);
# one binary per area, since every Wine process costs seconds to start.

function(tolvexa_wine_test name)
  add_executable(${name} ${ARGN} tests/windows/support.cpp)
  target_link_libraries(${name} PRIVATE tolvexa_win gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

tolvexa_wine_test(exec_test tests/windows/exec_test.cpp)
tolvexa_wine_test(payload_test tests/windows/payload_test.cpp ${CMAKE_BINARY_DIR}/payloads.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/payloads.rc PROPERTIES OBJECT_DEPENDS "${payload_files}")

add_executable(phone_assistant tests/windows/phone_assistant.cpp)
target_link_libraries(phone_assistant PRIVATE tolvexa_warnings ws2_32)

add_executable(emit tests/windows/emit.cpp)
target_link_libraries(emit PRIVATE tolvexa_warnings)
target_include_directories(emit PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(exec_test PRIVATE "EMIT_EXE=\"$<TARGET_FILE:emit>\""
                                             "ADB_SIM_EXE=\"$<TARGET_FILE:standin_adb>\""
                                             "PHONE_ASSISTANT_EXE=\"$<TARGET_FILE:phone_assistant>\"")
add_dependencies(exec_test emit standin_adb phone_assistant)
target_compile_definitions(payload_test PRIVATE "PAYLOAD_DIR=\"${payload_dir}\""
                                                "DRIVER_INSTALLER=\"${PAYLOAD_DRIVER_INSTALLER}\"")

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(pe_format pe32+)
else()
  set(pe_format pe32)
endif()
add_test(NAME imports COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/check_imports.sh
                              $<TARGET_FILE:Tolvexa> ${CMAKE_OBJDUMP} ${pe_format})

# Tests of the real program, used through its window as a user would, against the simulated phone. They need
# the stand-ins, so they are left out when the real payloads are embedded. Each ends stray
# Tolvexa and adb processes of the prefix and rewrites c:\adb, so each runs alone.
function(tolvexa_program_test name)
  tolvexa_wine_test(${name} tests/windows/${name}.cpp tests/windows/user.cpp)
  target_compile_definitions(${name} PRIVATE "TOLVEXA_EXE=\"$<TARGET_FILE:Tolvexa>\""
                                             "STANDIN_DIR=\"$<TARGET_FILE_DIR:standin_adb>\""
                                             "EMIT_EXE=\"$<TARGET_FILE:emit>\""
                                             "PHONE_ASSISTANT_EXE=\"$<TARGET_FILE:phone_assistant>\""
                                             "DRIVER_HELPER_EXE=\"$<TARGET_FILE:driver_helper>\"")
  target_compile_options(${name} PRIVATE -finput-charset=UTF-8)
  add_dependencies(${name} Tolvexa standin_adb driver_helper emit phone_assistant)
  set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
endfunction()

if(NOT TOLVEXA_PAYLOAD_DIR)
  tolvexa_program_test(e2e_test)
  # The program under random use and faults; TOLVEXA_MONKEY_SECONDS sets the monkey's time.
  tolvexa_program_test(monkey_test)
endif()

# The benchmark (scripts/bench); built with the tests, run only on demand.
add_executable(baseline_window WIN32 tests/bench/baseline_window.cpp)
target_link_libraries(baseline_window PRIVATE tolvexa_warnings)
target_include_directories(baseline_window PRIVATE ${PROJECT_SOURCE_DIR})
add_executable(bench tests/bench/bench.cpp tests/windows/user.cpp tests/windows/support.cpp)
target_include_directories(bench PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(bench PRIVATE -finput-charset=UTF-8)
target_link_libraries(bench PRIVATE psapi tolvexa_warnings)
target_compile_definitions(bench PRIVATE "TOLVEXA_EXE=\"$<TARGET_FILE:Tolvexa>\""
                                         "BASELINE_EXE=\"$<TARGET_FILE:baseline_window>\"")
add_dependencies(bench Tolvexa baseline_window)

# The program with Google's real adb inside, against the simulated phone on the wire. Google's
# adb.exe is 32-bit: the x86-64 twin, run where the host executes no 32-bit code, says so and
# skips.
if(TARGET Tolvexa_real)
  tolvexa_program_test(real_adb_test)
  target_sources(real_adb_test PRIVATE tests/windows/wire_phone.cpp)
  target_compile_definitions(real_adb_test PRIVATE
    "TOLVEXA_REAL_EXE=\"$<TARGET_FILE:Tolvexa_real>\""
    "REAL_PAYLOAD_DIR=\"${real_dir}\""
    "WIRE_PHONE_EXE=\"$<TARGET_FILE:standin_wire_phone>\"")
  add_dependencies(real_adb_test Tolvexa_real standin_wire_phone)
  target_sources(bench PRIVATE tests/windows/wire_phone.cpp)
  target_compile_definitions(bench PRIVATE "TOLVEXA_REAL_EXE=\"$<TARGET_FILE:Tolvexa_real>\""
                                           "WIRE_PHONE_EXE=\"$<TARGET_FILE:standin_wire_phone>\"")
  add_dependencies(bench Tolvexa_real standin_wire_phone)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_test(NAME real_adb_test COMMAND ${CMAKE_COMMAND} -E echo
    "real_adb_test: skipped on the x86-64 twin: Google's adb.exe is 32-bit; the 32-bit build runs it where the host executes 32-bit code")
  set_tests_properties(real_adb_test PROPERTIES SKIP_REGULAR_EXPRESSION "skipped")
endif()
# The USB driver helper (payload/driver): its window, its Device Manager button, its exit code.
tolvexa_wine_test(driver_helper_test tests/windows/driver_helper_test.cpp tests/windows/user.cpp)
target_link_libraries(driver_helper_test PRIVATE driver_helper_device_manager)
target_compile_definitions(driver_helper_test PRIVATE "DRIVER_HELPER_EXE=\"$<TARGET_FILE:driver_helper>\"")
target_compile_options(driver_helper_test PRIVATE -finput-charset=UTF-8)
add_dependencies(driver_helper_test driver_helper)
