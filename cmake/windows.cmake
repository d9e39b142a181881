# The Windows program, its stand-in payloads and its tests, which ctest runs under Wine.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
# No DLL beside the program: everything but the system's own libraries is linked in.
add_link_options(-static -static-libgcc -static-libstdc++)

add_subdirectory(payload/standins)

# The five payloads: the real files when a folder of them is given, else the stand-ins.
set(TOLVEXA_PAYLOAD_DIR "" CACHE PATH
    "Folder holding the real adb.exe, AdbWinApi.dll, AdbWinUsbApi.dll, libwinpthread-1.dll and ADBDriverInstaller.exe")
set(payload_names adb.exe AdbWinApi.dll AdbWinUsbApi.dll libwinpthread-1.dll ADBDriverInstaller.exe)
set(payload_sizes 5937152 97792 62976 231594 11715584)
set(payload_vars PAYLOAD_ADB PAYLOAD_ADB_WIN_API PAYLOAD_ADB_WIN_USB_API PAYLOAD_WINPTHREAD PAYLOAD_DRIVER_INSTALLER)
if(TOLVEXA_PAYLOAD_DIR)
  set(payload_dir "${TOLVEXA_PAYLOAD_DIR}")
else()
  set(payload_dir "${CMAKE_BINARY_DIR}/standins")
endif()
set(payload_files "")
foreach(i RANGE 4)
  list(GET payload_names ${i} name)
  list(GET payload_sizes ${i} size)
  list(GET payload_vars ${i} var)
  set(file "${payload_dir}/${name}")
  if(TOLVEXA_PAYLOAD_DIR)
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "TOLVEXA_PAYLOAD_DIR: ${file} is missing")
    endif()
    file(SIZE "${file}" actual)
    if(NOT actual EQUAL size)
      message(WARNING "TOLVEXA_PAYLOAD_DIR: ${name} has ${actual} bytes, expected ${size}")
    endif()
  endif()
  set(${var} "${file}")
  list(APPEND payload_files "${file}")
endforeach()
configure_file(payload/payloads.rc.in ${CMAKE_BINARY_DIR}/payloads.rc @ONLY)

# The manifest names the processor architecture; a wrong one stops the program from starting
# on Windows with a side-by-side error (Wine does not check it).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TOLVEXA_MANIFEST_ARCH amd64)
else()
  set(TOLVEXA_MANIFEST_ARCH x86)
endif()
configure_file(app/tolvexa.manifest.in ${CMAKE_BINARY_DIR}/tolvexa.manifest @ONLY)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${PROJECT_SOURCE_DIR} -I${CMAKE_BINARY_DIR}")

# Windows code of the program, shared by the program and its tests.
add_library(tolvexa_win STATIC
  exec/error_win32.cpp
  exec/wait_win32.cpp
  exec/runner_win32.cpp
  exec/process_win32.cpp
  payload/catalogue_win32.cpp
  payload/deploy_win32.cpp
  payload/driver_win32.cpp
  app/encoding_win32.cpp
  app/window_view_win32.cpp
  app/main_window_win32.cpp)
target_link_libraries(tolvexa_win PUBLIC tolvexa_core shlwapi comctl32 advapi32 shell32 ole32)

add_executable(Tolvexa WIN32 app/main_win32.cpp app/resources.rc)
target_link_libraries(Tolvexa PRIVATE tolvexa_win)
set_target_properties(Tolvexa PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(Tolvexa PRIVATE -s)
set_source_files_properties(app/resources.rc PROPERTIES OBJECT_DEPENDS
  "${payload_files};${PROJECT_SOURCE_DIR}/app/icon/tolvexa.ico;${CMAKE_BINARY_DIR}/tolvexa.manifest;${CMAKE_BINARY_DIR}/payloads.rc")

# GoogleTest from Debian's sources, built with the cross compiler.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_subdirectory(tests/standins)
include(tests/windows/tests.cmake)
