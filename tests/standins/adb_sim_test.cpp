// Runs the simulated adb.exe the way Tolvexa does (through cmd.exe /c, reading
// its output from a pipe) and checks the exact bytes of each answer. Every test
// works on its own copy of adb.exe in a fresh folder, so it starts with every
// package installed.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "exec/handle.h"
#include "tests/windows/paths.h"
#include "tests/windows/support.h"

#ifndef ADB_SIM_EXE
#error "ADB_SIM_EXE must name the built simulated adb.exe"
#endif

namespace {

const char kNotInstalled[] = "Failure [not installed for 0]\r\n";
const char kOnePhone[] = "List of devices attached\r\nSIMULATED-PHONE-01\tdevice\r\n\r\n";

// Another process of the same bitness: its command line, read from its
// process parameters (Wine does not answer ProcessCommandLineInformation).
std::wstring commandLineOf(HANDLE process) {
  using Query = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  PEB peb = {};
  RTL_USER_PROCESS_PARAMETERS parameters = {};
  if (query == nullptr ||
      query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0 ||
      !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
      !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
    return L"";
  std::wstring line(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &line[0],
                         parameters.CommandLine.Length, nullptr))
    return L"";
  return line;
}

// Adds an environment variable for the processes started meanwhile.
class ScopedEnv {
 public:
  ScopedEnv(support::Environment& environment, const wchar_t* name, const wchar_t* value)
      : environment_(environment) {
    environment.emplace_back(name, value);
  }
  ~ScopedEnv() { environment_.pop_back(); }

 private:
  support::Environment& environment_;
};

struct Result {
  std::string out;
  std::string err;
  DWORD code = 0xFFFFFFFF;
  bool pipeEnded = true;
};

struct Running {
  Handle process;
  Handle out;
  std::wstring errPath;
};

class AdbSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(support::file_exists(dir_));
    ASSERT_TRUE(CopyFileW(support::widen(wine_path(ADB_SIM_EXE)).c_str(), adb_.c_str(), TRUE))
        << "cannot copy " << ADB_SIM_EXE;
  }

  void TearDown() override {
    // Servers, and any adb.exe a failed test left running, hold the copy open.
    for (DWORD pid : adbProcesses(false)) support::end_process(pid);
  }

  // Starts `cmd.exe /c "adb.exe" ARGS`: stdout into a pipe, stderr into a file.
  Running start(const std::string& args) {
    static int counter = 0;
    Running run;
    run.errPath = dir_ + L"\\stderr" + std::to_wstring(++counter) + L".txt";
    Handle err(CreateFileW(run.errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, 0, nullptr));
    std::wstring line =
        L"cmd.exe /d /c \"\"" + adb_ + L"\" " + std::wstring(args.begin(), args.end()) + L"\"";
    support::Started started = support::start_process(line, {env_, true, err.get()});
    EXPECT_TRUE(started) << "error " << started.error;
    run.process = std::move(started.process);
    run.out = std::move(started.output);
    return run;
  }

  // Reads stdout to its end and waits for the process. With a limit, gives up
  // on a pipe still open after that many milliseconds, as when a process the
  // command started holds its write end: pipeEnded is then false.
  Result finish(Running& run, DWORD pipeLimitMs = INFINITE) {
    Result result;
    char chunk[65536];
    DWORD n = 0;
    if (pipeLimitMs == INFINITE) {
      result.out = support::read_to_end(run.out.get());
    } else {
      const DWORD begun = GetTickCount();
      DWORD available = 0;
      while (PeekNamedPipe(run.out.get(), nullptr, 0, nullptr, &available, nullptr)) {
        if (available > 0 &&
            ReadFile(run.out.get(), chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr)) {
          result.out.append(chunk, n);
        } else if (GetTickCount() - begun > pipeLimitMs) {
          result.pipeEnded = false;
          break;
        } else {
          Sleep(10);
        }
      }
    }
    run.out.close();
    WaitForSingleObject(run.process.get(), INFINITE);
    GetExitCodeProcess(run.process.get(), &result.code);
    run.process.close();
    result.err = support::read_file(run.errPath);
    return result;
  }

  Result adb(const std::string& args) {
    Running run = start(args);
    return finish(run);
  }

  // Lists the packages and checks every line is "package:NAME" ending in CR LF.
  std::vector<std::string> packages(bool withUninstalled) {
    Result r = adb(withUninstalled ? "shell pm list packages -u" : "shell pm list packages");
    EXPECT_EQ(r.code, 0u);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> names;
    size_t start = 0;
    while (start < r.out.size()) {
      size_t end = r.out.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "last line lacks CR LF: " << r.out.substr(start);
        break;
      }
      std::string line = r.out.substr(start, end - start);
      EXPECT_EQ(line.rfind("package:", 0), 0u) << line;
      std::string name = line.substr(std::min<size_t>(8, line.size()));
      EXPECT_FALSE(name.empty());
      EXPECT_EQ(name.find_first_not_of(
                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._"),
                std::string::npos)
          << line;
      names.push_back(name);
      start = end + 2;
    }
    return names;
  }

  // The names `shell pm list packages OPTIONS` lists.
  std::vector<std::string> listed(const std::string& options) {
    Result r = adb("shell pm list packages " + options);
    EXPECT_EQ(r.code, 0u) << options;
    std::vector<std::string> names;
    for (size_t start = 0, end; (end = r.out.find("\r\n", start)) != std::string::npos;
         start = end + 2)
      names.push_back(r.out.substr(start + 8, end - start - 8));
    return names;
  }

  // The adb.exe processes running from this test's copy; with onlyServers those
  // whose command line names fork-server.
  std::vector<DWORD> adbProcesses(bool onlyServers) {
    std::vector<DWORD> found;
    for (DWORD id : support::processes_named(L"adb.exe")) {
      Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
      if (!process) continue;
      wchar_t image[MAX_PATH * 2];
      DWORD size = MAX_PATH * 2;
      bool ours = QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
                  _wcsicmp(image, adb_.c_str()) == 0;
      if (ours &&
          (!onlyServers || commandLineOf(process.get()).find(L"fork-server") != std::wstring::npos))
        found.push_back(id);
    }
    return found;
  }

  // The event a server holds, named after the folder of its exe (FNV-1a, case folded).
  std::wstring serverEventName() const {
    unsigned hash = 2166136261u;
    for (wchar_t c : dir_) hash = (hash ^ static_cast<unsigned>(std::towupper(c))) * 16777619u;
    wchar_t name[64];
    swprintf(name, 64, L"Local\\TolvexaAdbSimServer-%08x", hash);
    return name;
  }

  static bool has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  }

  support::ScopedTempDir temp_;  // removed after TearDown has ended the processes run from it
  const std::wstring dir_ = temp_.path();
  const std::wstring adb_ = dir_ + L"\\adb.exe";
  support::Environment env_;  // for the processes start() starts, set by ScopedEnv
};

TEST_F(AdbSimTest, DevicesAndPackageListsAreExactAndStable) {
  Result devices = adb("devices");
  EXPECT_EQ(devices.out, kOnePhone);
  EXPECT_EQ(devices.err, "");
  EXPECT_EQ(devices.code, 0u);

  std::vector<std::string> list = packages(false);
  EXPECT_GE(list.size(), 250u);
  EXPECT_LE(list.size(), 350u);
  EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), list.size())
      << "duplicate package";
  for (const char* name :
       {"android", "com.android.systemui", "com.android.settings", "com.google.android.gms",
        "com.miui.home", "com.tencent.mm", "com.taobao.taobao", "com.ss.android.ugc.aweme"})
    EXPECT_TRUE(has(list, name)) << name;
  EXPECT_FALSE(std::is_sorted(list.begin(), list.end()));

  // Same order every time; -u adds nothing while nothing is uninstalled; the
  // shell command may also come as one quoted argument, as adb joins them.
  EXPECT_EQ(packages(false), list);
  EXPECT_EQ(packages(true), list);
  EXPECT_EQ(adb("shell \"pm list packages\"").out, adb("shell pm list packages").out);
}

TEST_F(AdbSimTest, UninstallAndRestoreForUserZero) {
  const std::vector<std::string> before = packages(false);

  EXPECT_EQ(adb("uninstall --user 0 com.tencent.mm").out, "Success\r\n");
  std::vector<std::string> after = packages(false);
  EXPECT_EQ(after.size(), before.size() - 1);
  EXPECT_FALSE(has(after, "com.tencent.mm"));
  EXPECT_EQ(packages(true), before) << "-u keeps the uninstalled package in its place";

  Result again = adb("uninstall --user 0 com.tencent.mm");
  EXPECT_EQ(again.out, kNotInstalled);
  EXPECT_EQ(again.code, 1u);
  EXPECT_EQ(adb("uninstall --user 0 com.not.on.this.phone").out, kNotInstalled);

  const std::string restored = "Package com.tencent.mm installed for user: 0\r\n";
  EXPECT_EQ(adb("shell pm install-existing --user 0 com.tencent.mm").out, restored);
  EXPECT_EQ(packages(false), before);
  EXPECT_EQ(adb("shell pm install-existing --user 0 com.tencent.mm").out, restored)
      << "already installed";

  Result unknown = adb("shell pm install-existing --user 0 com.not.on.this.phone");
  EXPECT_EQ(
      unknown.out,
      "android.content.pm.PackageManager$NameNotFoundException: Package com.not.on.this.phone doesn't "
      "exist\r\n");
  EXPECT_EQ(unknown.code, 1u);
}

TEST_F(AdbSimTest, ReadsAStateFileEditedByHand) {
  ASSERT_TRUE(support::write_file(dir_ + L"\\adb_sim_state.txt",
                                  "  com.sina.weibo \r\n\r\ncom.tencent.mm\ncom.no.such.app"));

  std::vector<std::string> list = packages(false);
  EXPECT_FALSE(has(list, "com.sina.weibo"));
  EXPECT_FALSE(has(list, "com.tencent.mm"));
  EXPECT_TRUE(has(list, "com.taobao.taobao"));
  EXPECT_EQ(adb("uninstall --user 0 com.sina.weibo").out, kNotInstalled);
  EXPECT_EQ(packages(true).size(), list.size() + 2);
}

TEST_F(AdbSimTest, MalformedCommandLinesFailOnStderrAndChangeNothing) {
  Result foo = adb("foo");
  EXPECT_EQ(foo.err, "adb: unknown command foo\r\n");
  EXPECT_EQ(foo.out, "");
  EXPECT_EQ(foo.code, 1u);

  for (const char* args :
       {"", "devices -l", "uninstall", "uninstall com.tencent.mm", "uninstall --user 0",
        "uninstall --user 10 com.tencent.mm", "uninstall --user 0 com.tencent.mm com.sina.weibo",
        "shell", "shell \" \""}) {
    Result r = adb(args);
    EXPECT_EQ(r.code, 1u) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_GT(r.err.size(), 2u) << args;
    EXPECT_EQ(r.err.substr(r.err.size() - std::min<size_t>(2, r.err.size())), "\r\n") << args;
  }
  EXPECT_EQ(packages(false), packages(true)) << "a rejected command uninstalled something";
}

TEST_F(AdbSimTest, PackageCountComesFromTheEnvironment) {
  const std::vector<std::string> defaults = packages(false);
  {
    ScopedEnv few(env_, L"TOLVEXA_ADB_PACKAGES", L"5");
    EXPECT_EQ(packages(false), std::vector<std::string>(defaults.begin(), defaults.begin() + 5));
  }
  ScopedEnv many(env_, L"TOLVEXA_ADB_PACKAGES", L"3000");
  std::vector<std::string> list = packages(false);
  ASSERT_EQ(list.size(), 3000u);
  EXPECT_EQ(std::vector<std::string>(list.begin(), list.begin() + defaults.size()), defaults);
  EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), list.size())
      << "duplicate package";
  EXPECT_EQ(list.back().rfind("com.example.generated.app", 0), 0u) << list.back();

  EXPECT_EQ(adb("uninstall --user 0 " + list.back()).out, "Success\r\n");
  EXPECT_EQ(packages(false).size(), 2999u);
}

// Uninstalls and listings started together must neither fail nor lose one
// another's change to the shared state file.
TEST_F(AdbSimTest, ConcurrentCallsKeepEveryUninstall) {
  // Names the phone does not carry are kept in the state file as they are; many
  // of them make each read and rewrite slow enough that the processes overlap.
  std::string filler;
  for (int i = 0; i < 100000; ++i) filler += "com.no.such.app" + std::to_string(i) + "\r\n";
  ASSERT_TRUE(support::write_file(dir_ + L"\\adb_sim_state.txt", filler));

  const std::vector<std::string> targets = {"com.sina.weibo",    "com.tencent.mm",
                                            "com.taobao.taobao", "com.baidu.searchbox",
                                            "com.miui.weather2", "com.miui.notes"};
  std::vector<Running> runs;
  {
    ScopedEnv delay(env_, L"TOLVEXA_ADB_DELAY_MS",
                    L"300");  // lines the processes up before they touch the state
    for (const std::string& name : targets) {
      runs.push_back(start("uninstall --user 0 " + name));
      runs.push_back(start("shell pm list packages"));
    }
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    Result r = finish(runs[i]);
    EXPECT_EQ(r.code, 0u) << i << ": " << r.err;
    if (i % 2 == 0) {
      EXPECT_EQ(r.out, "Success\r\n") << targets[i / 2];
    }
  }
  std::vector<std::string> list = packages(false);
  EXPECT_EQ(list.size() + targets.size(), packages(true).size());
  for (const std::string& name : targets) EXPECT_FALSE(has(list, name)) << name;
}

// Without exactly one authorized phone, devices says what it sees and every
// other command fails with adb's message, before touching the phone's state.
TEST_F(AdbSimTest, PhoneStatesAnswerAsAdbDoesAndChangeNothing) {
  const std::string head = "List of devices attached\r\n";
  struct Case {
    const wchar_t* state;
    std::string devices;
    std::string error;
  };
  const Case cases[] = {
      {L"absent", head + "\r\n", "error: no devices/emulators found\r\n"},
      {L"unauthorized", head + "SIMULATED-PHONE-01\tunauthorized\r\n\r\n",
       "error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\nTry 'adb kill-server' if "
       "that seems wrong.\r\nOtherwise check for a confirmation dialog on your device.\r\n"},
      {L"offline", head + "SIMULATED-PHONE-01\toffline\r\n\r\n", "error: device offline\r\n"},
      {L"two", head + "SIMULATED-PHONE-01\tdevice\r\nSIMULATED-PHONE-02\tdevice\r\n\r\n",
       "error: more than one device/emulator\r\n"},
  };
  for (const Case& c : cases) {
    ScopedEnv phone(env_, L"TOLVEXA_ADB_PHONE", c.state);
    Result devices = adb("devices");
    EXPECT_EQ(devices.out, c.devices) << c.state;
    EXPECT_EQ(devices.err, "") << c.state;
    EXPECT_EQ(devices.code, 0u) << c.state;
    for (const char* args : {"uninstall --user 0 com.tencent.mm", "shell pm list packages"}) {
      Result r = adb(args);
      EXPECT_EQ(r.out, "") << c.state << ": " << args;
      EXPECT_EQ(r.err, c.error) << c.state << ": " << args;
      EXPECT_EQ(r.code, 1u) << c.state << ": " << args;
    }
  }
  EXPECT_FALSE(support::file_exists(dir_ + L"\\adb_sim_state.txt"));
  EXPECT_TRUE(has(packages(false), "com.tencent.mm"));

  ScopedEnv other(env_, L"TOLVEXA_ADB_PHONE", L"Absent");
  EXPECT_EQ(adb("devices").out, kOnePhone) << "any other value is the one authorized phone";
}

TEST_F(AdbSimTest, DaemonStartLinesComeOnceWhileTheMarkerExists) {
  const std::string started =
      "* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n";
  const std::wstring marker = dir_ + L"\\adb_sim_daemon.txt";
  EXPECT_EQ(adb("devices").err, "");
  EXPECT_FALSE(support::file_exists(marker)) << "created without TOLVEXA_ADB_DAEMON";

  ScopedEnv fresh(env_, L"TOLVEXA_ADB_DAEMON", L"fresh");
  std::vector<Running> runs;
  {
    ScopedEnv delay(env_, L"TOLVEXA_ADB_DELAY_MS", L"300");  // both find the daemon not running
    runs.push_back(start("devices"));
    runs.push_back(start("shell pm list packages"));
  }
  Result first = finish(runs[0]);
  Result second = finish(runs[1]);
  EXPECT_EQ(first.err + second.err, started) << "printed once, by one of the two";
  EXPECT_EQ(first.out, kOnePhone);
  EXPECT_EQ(first.code, 0u);
  EXPECT_EQ(second.code, 0u);
  EXPECT_TRUE(support::file_exists(marker));
  EXPECT_EQ(adb("devices").err, "");

  // Another fresh start: the lines come before the error of a missing phone.
  ASSERT_TRUE(DeleteFileW(marker.c_str()));
  ScopedEnv absent(env_, L"TOLVEXA_ADB_PHONE", L"absent");
  Result r = adb("uninstall --user 0 com.tencent.mm");
  EXPECT_EQ(r.err, started + "error: no devices/emulators found\r\n");
  EXPECT_EQ(r.code, 1u);
}

TEST_F(AdbSimTest, ServerStartsOnceAndOutlivesItsCaller) {
  ScopedEnv server(env_, L"TOLVEXA_ADB_SERVER", L"1");
  Running run = start("devices");
  Result first = finish(run, 10000);
  ASSERT_TRUE(first.pipeEnded)
      << "the server holds the caller's pipe, so the caller never sees the output end";
  EXPECT_EQ(first.out, kOnePhone);
  const std::vector<DWORD> servers = adbProcesses(true);
  ASSERT_EQ(servers.size(), 1u);
  Handle event(OpenEventW(SYNCHRONIZE, FALSE, serverEventName().c_str()));
  EXPECT_TRUE(event) << "the server does not hold its event";

  EXPECT_EQ(adb("shell pm list packages").code, 0u);
  EXPECT_EQ(adbProcesses(true), servers) << "a second server";
  Result direct = adb("fork-server server");
  EXPECT_EQ(direct.code, 1u) << "a second server started by hand stays";
  EXPECT_EQ(adbProcesses(false), servers);
}

TEST_F(AdbSimTest, EndlessListingStopsOnceTheReaderGoes) {
  ScopedEnv endless(env_, L"TOLVEXA_ADB_ENDLESS", L"1");
  for (const char* args : {"shell pm list packages", "shell pm list packages -u"}) {
    Running run = start(args);
    std::string out;
    char chunk[65536];
    DWORD n = 0;
    while (out.size() < 10u << 20 && ReadFile(run.out.get(), chunk, sizeof chunk, &n, nullptr) &&
           n > 0)
      out.append(chunk, n);
    ASSERT_GE(out.size(), 10u << 20) << args;
    unsigned long long expected = 1;
    for (size_t start = 0, end; (end = out.find("\r\n", start)) != std::string::npos;
         start = end + 2, ++expected) {
      if (out.compare(start, end - start,
                      "package:com.example.endless.app" + std::to_string(expected)) != 0) {
        ADD_FAILURE() << args << ": line " << expected << " is " << out.substr(start, end - start);
        break;
      }
    }
    run.out.close();
    EXPECT_EQ(WaitForSingleObject(run.process.get(), 5000), WAIT_OBJECT_0)
        << args << ": still writing";
    DWORD code = 0;
    GetExitCodeProcess(run.process.get(), &code);
    EXPECT_EQ(code, 1u) << args << ": a cut listing must not end in success";
  }
}

// The phone's answers to each command, row after row on one phone, so each row sees what
// the rows before it did: the classes of apps, disabling, the full removal of an ordinary
// app, the phone's own errors, and Android 17, which keeps system apps for every user.
TEST_F(AdbSimTest, PhoneAnswersEachCommandAsAndroidDoes) {
  const std::string unknownPackage =
      "\r\nException occurred while executing 'disable-user':\r\n"
      "java.lang.IllegalArgumentException: Unknown package: com.no.such.app\r\n"
      "\tat com.android.server.pm.PackageManagerService.setEnabledSetting("
      "PackageManagerService.java)\r\n"
      "\tat com.android.server.pm.PackageManagerShellCommand.runSetEnabledSetting("
      "PackageManagerShellCommand.java)\r\n";
  const std::string gone =
      "android.content.pm.PackageManager$NameNotFoundException: Package ctrip.android.view "
      "doesn't exist\r\n";
  const std::string rootOnly =
      "Failure [only root can delete system app for a particular user]\r\n";
  struct Row {
    const wchar_t* android;  // TOLVEXA_ADB_ANDROID, or null for the default
    const char* args;
    std::string out;
    std::string err;
    DWORD code;
  };
  const Row rows[] = {
      {nullptr, "shell pm list packages -d", "", "", 0},
      {nullptr, "shell pm disable-user --user 0 com.miui.notes",
       "Package com.miui.notes new state: disabled-user\r\n", "", 0},
      {nullptr, "shell pm list packages -d", "package:com.miui.notes\r\n", "", 0},
      {nullptr, "shell pm list packages -d -s", "package:com.miui.notes\r\n", "", 0},
      {nullptr, "shell pm list packages -d -3", "", "", 0},
      {nullptr, "shell pm list packages com.miui.notes", "package:com.miui.notes\r\n", "", 0},
      {nullptr, "shell pm list packages -e com.miui.notes", "", "", 0},
      {nullptr, "shell pm enable --user 0 com.miui.notes",
       "Package com.miui.notes new state: enabled\r\n", "", 0},
      {nullptr, "shell pm list packages -d", "", "", 0},
      {nullptr, "shell pm disable-user --user 0 com.no.such.app", "", unknownPackage, 255},
      {nullptr, "shell \"pm list packages -3 com.taobao\"", "package:com.taobao.idlefish\r\n", "",
       0},
      {nullptr, "shell pm list packages -s com.taobao", "package:com.taobao.taobao\r\n", "", 0},
      {nullptr, "uninstall --user 0 ctrip.android.view", "Success\r\n", "", 0},
      {nullptr, "shell pm list packages -u ctrip", "", "", 0},
      {nullptr, "shell pm install-existing --user 0 ctrip.android.view", gone, "", 1},
      {nullptr, "uninstall --user 0 ctrip.android.view", kNotInstalled, "", 1},
      {nullptr, "shell pm list packages -x", "Error: Unknown option: -x\r\n", "", 255},
      {nullptr, "shell pm install-existing --user 0", "Error: package name not specified\r\n", "",
       1},
      {nullptr, "shell pm enable --user 0", "", "Error: no package or component specified\r\n", 1},
      {nullptr, "shell ls", "", "/system/bin/sh: ls: inaccessible or not found\r\n", 127},
      {L"17", "uninstall --user 0 com.miui.notes", rootOnly, "", 1},
      {L"17", "shell pm uninstall --user 0 com.miui.notes", rootOnly, "", 1},
      {L"17", "shell pm list packages com.miui.notes", "package:com.miui.notes\r\n", "", 0},
      {L"17", "shell pm disable-user --user 0 com.miui.notes",
       "Package com.miui.notes new state: disabled-user\r\n", "", 0},
      {L"17", "uninstall --user 0 com.xingin.xhs", "Success\r\n", "", 0},
      {L"17", "shell pm list packages -u com.xingin.xhs", "", "", 0},
      {L"16", "uninstall --user 0 com.miui.weather2", "Success\r\n", "", 0},
      {L"16", "shell pm list packages -u com.miui.weather2", "package:com.miui.weather2\r\n", "",
       0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.args) + (row.android ? " on Android " : "") +
                 (row.android ? support::narrow(row.android) : ""));
    std::optional<ScopedEnv> version;
    if (row.android) version.emplace(env_, L"TOLVEXA_ADB_ANDROID", row.android);
    Result r = adb(row.args);
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(r.err, row.err);
    EXPECT_EQ(r.code, row.code);
  }
  EXPECT_EQ(support::read_file(dir_ + L"\\adb_sim_state.txt"),
            "com.miui.weather2\r\ncom.xingin.xhs\r\nctrip.android.view\r\n"
            "disabled:com.miui.notes\r\n");
}

// -3 and -s split every listing in two; which apps are ordinary depends on the listing.
TEST_F(AdbSimTest, OrdinaryAndSystemAppsSplitEveryListing) {
  struct Row {
    const wchar_t* vendor;
    std::vector<std::string> someOrdinary;
    std::vector<std::string> someSystem;
  };
  const Row rows[] = {
      {L"",
       {"ctrip.android.view", "com.ss.android.ugc.aweme", "com.xingin.xhs"},
       {"android", "com.miui.home", "com.tencent.mm", "com.taobao.taobao", "com.baidu.input_mi"}},
      {L"xiaomi", {}, {"com.xiaomi.shop", "cn.wps.moffice_eng.xiaomi.lite"}},
      {L"huawei", {}, {"com.tencent.qqlivehuawei", "com.baidu.input_huawei"}},
      {L"oppo",
       {"com.openai.chatgpt", "org.chromium.webapk.af54846251ce70947_v2"},
       {"com.oneplus.gallery", "com.opos.ads", "com.heytap.market"}},
      {L"samsung", {}, {"com.facebook.katana", "com.netflix.mediaclient"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(support::narrow(row.vendor));
    ScopedEnv vendor(env_, L"TOLVEXA_ADB_VENDOR", row.vendor);
    std::vector<std::string> all = packages(false);
    std::vector<std::string> ordinary = listed("-3"), system = listed("-s");
    std::vector<std::string> both = ordinary;
    both.insert(both.end(), system.begin(), system.end());
    std::sort(both.begin(), both.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(both, all);
    if (row.someOrdinary.empty()) {
      EXPECT_EQ(ordinary, std::vector<std::string>());
    }
    for (const std::string& name : row.someOrdinary) EXPECT_TRUE(has(ordinary, name)) << name;
    for (const std::string& name : row.someSystem) EXPECT_TRUE(has(system, name)) << name;
  }
}

}  // namespace
