#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "exec/handle.h"
#include "exec/process.h"
#include "payload/catalogue.h"
#include "payload/deploy.h"
#include "payload/driver.h"
#include "tests/windows/paths.h"
#include "tests/windows/support.h"

namespace {

using support::now_ms;

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void remove_tree(const std::string& path) { support::remove_tree(support::widen(path)); }

std::wstring user_sid() {
  HANDLE raw = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
  Handle token(raw);
  alignas(TOKEN_USER) BYTE buffer[256];
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size);
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  std::wstring sid = text ? text : L"";
  LocalFree(text);
  return sid;
}

// A descriptor the system allocated with LocalAlloc.
struct Descriptor {
  PSECURITY_DESCRIPTOR get = nullptr;
  ~Descriptor() { LocalFree(get); }
};

bool read_descriptor(const wchar_t* path, Descriptor& descriptor) {
  return GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                               nullptr, nullptr, &descriptor.get) == ERROR_SUCCESS;
}

bool dacl_protected(PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  return GetSecurityDescriptorControl(descriptor, &control, &revision) &&
         (control & SE_DACL_PROTECTED);
}

// Whether the file system keeps the descriptor a folder is created with. Wine keeps it only
// when built with extended attributes (Debian's is not) and otherwise reports one made up
// from the Unix mode bits; Windows keeps it on NTFS.
bool descriptors_are_kept() {
  support::ScopedTempDir temp;
  const std::wstring probe_path = temp / L"probe";
  const wchar_t* probe = probe_path.c_str();
  Descriptor given, kept;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                       &given.get, nullptr);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, given.get, FALSE};
  bool kept_it = CreateDirectoryW(probe, &attributes) && read_descriptor(probe, kept) &&
                 dacl_protected(kept.get);
  RemoveDirectoryW(probe);
  return kept_it;
}

// The DACL c:\adb is given: protected, and four entries passed on to files and folders
// inside (or, with `inherited`, four entries a file inside took from it): full control for
// SYSTEM, Administrators and the user, read and execute for everyone.
void expect_adb_dacl(PSECURITY_DESCRIPTOR descriptor, bool inherited = false) {
  EXPECT_EQ(dacl_protected(descriptor), !inherited);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  const std::wstring user = user_sid();
  const std::pair<const wchar_t*, DWORD> expected[] = {
      {L"S-1-5-18", FILE_ALL_ACCESS},
      {L"S-1-5-32-544", FILE_ALL_ACCESS},
      {user.c_str(), FILE_ALL_ACCESS},
      {L"S-1-1-0", FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
  const BYTE flags = inherited ? INHERITED_ACE : OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  ASSERT_EQ(dacl->AceCount, 4);
  for (DWORD i = 0; i < 4; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, flags);
    EXPECT_EQ(ace->Mask, expected[i].second);
    wchar_t* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(&ace->SidStart, &sid));
    EXPECT_STREQ(sid, expected[i].first);
    LocalFree(sid);
  }
}

TEST(Payloads, AreEmbeddedByteForByte) {
  const char* files[] = {"AdbWinApi.dll", "AdbWinUsbApi.dll", "libwinpthread-1.dll", "adb.exe"};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(files[i]);
    std::string_view bytes = payload_bytes(kAdbFiles[i]);
    EXPECT_EQ(bytes.substr(0, 2), "MZ");
    EXPECT_TRUE(bytes == read_all(wine_path(PAYLOAD_DIR) + "\\" + files[i]));
  }
  EXPECT_EQ(payload_bytes(kDriverInstaller), read_all(wine_path(DRIVER_INSTALLER)));
  EXPECT_EQ(kAdbFiles[3].target, "c:\\adb\\adb.exe");  // the marker is written last
}

TEST(FileSystem, WriteFileAndDirectories) {
  support::ScopedTempDir temp;
  const std::string fs = support::narrow(temp / L"fs");
  EXPECT_FALSE(file_exists(fs));
  EXPECT_TRUE(make_sure_directory_exists(fs + "\\a\\b"));
  EXPECT_TRUE(file_exists(fs + "\\a\\b"));
  EXPECT_TRUE(make_sure_directory_exists(fs + "\\c\\"));
  EXPECT_TRUE(file_exists(fs + "\\c"));

  std::string path = fs + "\\f.bin";
  EXPECT_TRUE(write_file(path, {"first", "", std::string_view("\0second", 7)}));
  EXPECT_EQ(read_all(path), std::string("first\0second", 12));
  EXPECT_TRUE(write_file(path, {"x"}));  // truncated, not appended
  EXPECT_EQ(read_all(path), "x");
  EXPECT_TRUE(file_exists(path));
  EXPECT_FALSE(make_sure_directory_exists(path));  // a file in the way
  EXPECT_FALSE(make_sure_directory_exists(path + "\\d"));
  EXPECT_TRUE(make_sure_directory_exists(fs + "\\a\\b"));  // already there

  EXPECT_FALSE(write_file("", {"x"}));
  EXPECT_FALSE(write_file(fs + "\\a", {"x"}));  // a directory
  EXPECT_FALSE(write_file(fs + "\\missing\\f", {"x"}));
}

TEST(FileSystem, AdbFolderDescriptor) {
  Descriptor built;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      adb_directory_sddl(user_sid()).c_str(), SDDL_REVISION_1, &built.get, nullptr));
  expect_adb_dacl(built.get);
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
  EXPECT_FALSE(deploy_payloads());
  EXPECT_GE(now_ms() - start, 790);  // four pauses of 200 ms
  expect_complete_deployment();
  // Where the file system keeps descriptors, c:\adb has the one built, and its files
  // inherit it; elsewhere (Wine without extended attributes) AdbFolderDescriptor checks it.
  if (descriptors_are_kept()) {
    Descriptor folder, file;
    ASSERT_TRUE(read_descriptor(L"c:\\adb", folder) && read_descriptor(L"c:\\adb\\adb.exe", file));
    expect_adb_dacl(folder.get);
    expect_adb_dacl(file.get, true);
  }
}

TEST(Deploy, WithAdbThereWritesOnlyWhatIsMissing) {
  remove_tree("c:\\adb");
  ASSERT_FALSE(deploy_payloads());
  // An adb of the user's own with a library of its own; one library missing.
  ASSERT_TRUE(write_file("c:\\adb\\adb.exe", {"MZ the user's own adb"}));
  ASSERT_TRUE(write_file("c:\\adb\\AdbWinApi.dll", {"MZ its own library"}));
  ASSERT_TRUE(DeleteFileA("c:\\adb\\AdbWinUsbApi.dll"));
  EXPECT_FALSE(deploy_payloads());
  EXPECT_EQ(read_all("c:\\adb\\adb.exe"), "MZ the user's own adb");
  EXPECT_EQ(read_all("c:\\adb\\AdbWinApi.dll"), "MZ its own library");
  EXPECT_TRUE(read_all("c:\\adb\\AdbWinUsbApi.dll") == payload_bytes(kAdbFiles[1]));
  remove_tree("c:\\adb");
  ASSERT_FALSE(deploy_payloads());
}

TEST(Deploy, CompletesADeploymentThatWasCutShort) {
  remove_tree("c:\\adb");
  ASSERT_TRUE(make_sure_directory_exists("c:\\adb"));
  // What a start killed mid-way leaves: one library cut short, temporary files (one of them
  // read-only), no adb.exe.
  write_file("c:\\adb\\AdbWinApi.dll", {"MZ cut"});
  write_file("c:\\adb\\AdbWinUsbApi.dll.part", {"MZ"});
  write_file("c:\\adb\\adb.exe.part", {"MZ"});
  ASSERT_TRUE(SetFileAttributesA("c:\\adb\\adb.exe.part", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(deploy_payloads());
  expect_complete_deployment();
}

TEST(Deploy, AnObstacleStopsItBeforeAdbAndTheNextStartCompletes) {
  // A folder, not empty, where a temporary file or a library goes: the first cannot be
  // removed, the second cannot be replaced.
  for (const char* obstacle : {"c:\\adb\\AdbWinApi.dll.part", "c:\\adb\\AdbWinUsbApi.dll"}) {
    SCOPED_TRACE(obstacle);
    remove_tree("c:\\adb");
    ASSERT_TRUE(make_sure_directory_exists(std::string(obstacle) + "\\inside"));
    Failure failure = deploy_payloads();
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->code, 0u);
    EXPECT_FALSE(file_exists("c:\\adb\\adb.exe"));
    EXPECT_FALSE(file_exists("c:\\adb\\adb.exe.part"));
    remove_tree(obstacle);
    EXPECT_FALSE(deploy_payloads());
    expect_complete_deployment();
  }
}

TEST(Deploy, ReportsAFileWhereTheFolderShouldBe) {
  remove_tree("c:\\adb");
  ASSERT_TRUE(write_file("c:\\adb", {"a file where the folder should be"}));
  Failure failure = deploy_payloads();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->operation, "CreateDirectory");
  EXPECT_EQ(read_all("c:\\adb"), "a file where the folder should be");
  remove_tree("c:\\adb");
  EXPECT_FALSE(deploy_payloads());  // leave a working deployment for the tests that follow
  expect_complete_deployment();
}

TEST(Driver, StartProgramWaitsOnlyWhenAsked) {
  EXPECT_FALSE(start_program("c:\\no_such_program_tolvexa.exe", false));
  support::ScopedTempDir temp;
  const std::string flag = support::narrow(temp / L"flag");
  EXPECT_TRUE(
      start_program("cmd.exe /c ping -n 2 127.0.0.1 >nul & mkdir \"" + flag + "\"", true, 1));
  EXPECT_TRUE(file_exists(flag));
}

TEST(Driver, InstallerIsWrittenToTheAdbFolderAndStarted) {
  while (end_process_by_image_name("ADBDriverInstaller.exe")) Sleep(100);
  remove_tree("c:\\adb");
  EXPECT_FALSE(launch_driver_installer());
  EXPECT_EQ(read_all("c:\\adb\\ADBDriverInstaller.exe"), payload_bytes(kDriverInstaller));
  EXPECT_NE(find_process_by_image_name("ADBDriverInstaller.exe"), 0u);
  // A second click while the first copy runs from the file: the write fails, it starts again.
  EXPECT_FALSE(launch_driver_installer());
  int running = 0;
  while (end_process_by_image_name("ADBDriverInstaller.exe")) ++running, Sleep(100);
  EXPECT_EQ(running, 2);
  EXPECT_FALSE(deploy_payloads());  // leave a working deployment for the tests that follow
  expect_complete_deployment();
}

TEST(Driver, AnInstallerThatMustRunElevatedIsStartedThroughTheShell) {
  std::string started;
  std::wstring verb, file;
  int shell_calls = 0;
  DWORD answer = 0;  // what the stand-in shell answers: 0 started, else the error
  StartCall needs_elevation = [&](std::string_view line) {
    started = line;
    SetLastError(ERROR_ELEVATION_REQUIRED);
    return false;
  };
  ShellExecuteCall shell = [&](SHELLEXECUTEINFOW* info) {
    ++shell_calls;
    verb = info->lpVerb ? info->lpVerb : L"";
    file = info->lpFile ? info->lpFile : L"";
    SetLastError(answer);
    return answer == 0 ? TRUE : FALSE;
  };
  EXPECT_FALSE(launch_driver_installer(needs_elevation, shell));
  EXPECT_EQ(started, "c:\\adb\\ADBDriverInstaller.exe");
  EXPECT_EQ(verb, L"runas");
  EXPECT_EQ(file, L"c:\\adb\\ADBDriverInstaller.exe");

  answer = ERROR_CANCELLED;  // the user declined the consent prompt
  EXPECT_FALSE(launch_driver_installer(needs_elevation, shell));
  answer = ERROR_ACCESS_DENIED;
  Failure failure = launch_driver_installer(needs_elevation, shell);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->operation, "ShellExecuteEx");
  EXPECT_EQ(failure->code, 5u);

  // Any other refusal to start is told as CreateProcess's, and the shell is not asked.
  shell_calls = 0;
  StartCall refused = [](std::string_view) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return false;
  };
  failure = launch_driver_installer(refused, shell);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->operation, "CreateProcess");
  EXPECT_EQ(failure->code, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(shell_calls, 0);
}

}  // namespace
