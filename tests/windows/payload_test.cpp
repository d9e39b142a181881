#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "exec/process.h"
#include "payload/catalogue.h"
#include "payload/deploy.h"
#include "payload/driver.h"
#include "tests/windows/paths.h"

namespace {

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void remove_tree(const std::string& path) {
  std::string command = "cmd.exe /c rd /s /q \"" + path + "\" 2>nul & del /f /q \"" + path + "\" 2>nul";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                     nullptr, &startup, &info)) {
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
}

double now_ms() { return GetTickCount() * 1.0; }

TEST(Payloads, AreEmbeddedByteForByte) {
  const char* files[] = {"AdbWinApi.dll", "AdbWinUsbApi.dll", "libwinpthread-1.dll", "adb.exe"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(files[i]);
    std::string_view bytes = payload_bytes(kAdbFiles[i]);
    EXPECT_EQ(bytes.substr(0, 2), "MZ");
    EXPECT_TRUE(bytes == read_all(wine_path(PAYLOAD_DIR) + "\\" + files[i]));
  }
  EXPECT_EQ(payload_bytes(kDriverInstaller),
            read_all(wine_path(PAYLOAD_DIR) + "\\ADBDriverInstaller.exe"));
  EXPECT_EQ(kAdbFiles[3].target, "c:\\adb\\adb.exe");  // the marker is written last
}

TEST(FileSystem, WriteFileAndDirectories) {
  remove_tree("c:\\tolvexa_fs");
  EXPECT_FALSE(file_exists("c:\\tolvexa_fs"));
  EXPECT_TRUE(make_sure_directory_exists("c:\\tolvexa_fs\\a\\b"));
  EXPECT_TRUE(file_exists("c:\\tolvexa_fs\\a\\b"));
  EXPECT_TRUE(make_sure_directory_exists("c:\\tolvexa_fs\\c\\"));
  EXPECT_TRUE(file_exists("c:\\tolvexa_fs\\c"));

  std::string path = "c:\\tolvexa_fs\\f.bin";
  EXPECT_TRUE(write_file(path, {"first", "", std::string_view("\0second", 7)}));
  EXPECT_EQ(read_all(path), std::string("first\0second", 12));
  EXPECT_TRUE(write_file(path, {"x"}));  // truncated, not appended
  EXPECT_EQ(read_all(path), "x");
  EXPECT_TRUE(file_exists(path));
  EXPECT_FALSE(make_sure_directory_exists(path));  // a file in the way
  EXPECT_FALSE(make_sure_directory_exists(path + "\\d"));
  EXPECT_TRUE(make_sure_directory_exists("c:\\tolvexa_fs\\a\\b"));  // already there

  EXPECT_FALSE(write_file("", {"x"}));
  EXPECT_FALSE(write_file("c:\\tolvexa_fs\\a", {"x"}));  // a directory
  EXPECT_FALSE(write_file("c:\\tolvexa_fs\\missing\\f", {"x"}));
  remove_tree("c:\\tolvexa_fs");
}

void expect_complete_deployment() {
  for (const Payload& payload : kAdbFiles) {
    SCOPED_TRACE(std::string(payload.target));
    EXPECT_TRUE(read_all(std::string(payload.target)) == payload_bytes(payload));
    EXPECT_FALSE(file_exists(std::string(payload.target) + ".part"));
  }
}

TEST(Deploy, WritesTheFourFilesWhenAdbIsMissing) {
  remove_tree("c:\\adb");
  double start = now_ms();
  deploy_payloads();
  EXPECT_GE(now_ms() - start, 790);  // four pauses of 200 ms
  expect_complete_deployment();
}

TEST(Deploy, WritesNothingWhenAdbIsThere) {
  remove_tree("c:\\adb");
  make_sure_directory_exists("c:\\adb");
  ASSERT_TRUE(write_file("c:\\adb\\adb.exe", {"old"}));
  double start = now_ms();
  deploy_payloads();
  EXPECT_LT(now_ms() - start, 150);
  EXPECT_EQ(read_all("c:\\adb\\adb.exe"), "old");
  EXPECT_FALSE(file_exists("c:\\adb\\AdbWinApi.dll"));
  remove_tree("c:\\adb");
}

TEST(Deploy, CompletesADeploymentThatWasCutShort) {
  remove_tree("c:\\adb");
  make_sure_directory_exists("c:\\adb");
  // What a start killed mid-way leaves: one library cut short, a temporary file, no adb.exe.
  write_file("c:\\adb\\AdbWinApi.dll", {"MZ cut"});
  write_file("c:\\adb\\AdbWinUsbApi.dll.part", {"MZ"});
  deploy_payloads();
  expect_complete_deployment();
}

TEST(Deploy, EndsQuietlyWhenTheFolderCannotBeMade) {
  remove_tree("c:\\adb");
  ASSERT_TRUE(write_file("c:\\adb", {"a file where the folder should be"}));
  deploy_payloads();
  EXPECT_FALSE(file_exists("c:\\adb\\adb.exe"));
  remove_tree("c:\\adb");
  deploy_payloads();  // leave a working deployment for the tests that follow
  expect_complete_deployment();
}

TEST(Driver, StartProgramWaitsOnlyWhenAsked) {
  EXPECT_FALSE(start_program("c:\\no_such_program_tolvexa.exe", false));
  remove_tree("c:\\tolvexa_flag");
  EXPECT_TRUE(start_program("cmd.exe /c ping -n 2 127.0.0.1 >nul & mkdir c:\\tolvexa_flag", true, 1));
  EXPECT_TRUE(file_exists("c:\\tolvexa_flag"));
  remove_tree("c:\\tolvexa_flag");
}

TEST(Driver, InstallerIsWrittenAndStarted) {
  while (end_process_by_image_name("ADBDriverInstaller.exe")) Sleep(100);
  DeleteFileA("c:\\ADBDriverInstaller.exe");
  launch_driver_installer();
  EXPECT_EQ(read_all("c:\\ADBDriverInstaller.exe"), payload_bytes(kDriverInstaller));
  EXPECT_NE(find_process_by_image_name("ADBDriverInstaller.exe"), 0u);
  // A second click while the first copy runs from the file: the write fails, it starts again.
  launch_driver_installer();
  int running = 0;
  while (end_process_by_image_name("ADBDriverInstaller.exe")) ++running, Sleep(100);
  EXPECT_EQ(running, 2);
}

}  // namespace
