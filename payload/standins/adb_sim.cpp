// Stand-in for adb.exe: a simulated phone that answers the adb command lines Tolvexa
// uses, so the program can be built, tried and tested without a real phone.
//
//   adb devices
//   adb shell pm list packages [-d|-e] [-s|-3] [-u]
//   adb uninstall --user 0 PACKAGE
//   adb shell pm install-existing --user 0 PACKAGE
//   adb shell pm disable-user --user 0 PACKAGE
//   adb shell pm enable --user 0 PACKAGE
//   adb fork-server server        the background adb server (see TOLVEXA_ADB_SERVER)
//
// What the phone answers comes from phone_model.h, which wire_phone.cpp shares: -3 lists
// the ordinary apps, -s the system apps, -d the disabled and -e the enabled packages
// installed for user 0, -u adds those removed for user 0. Removing an ordinary app deletes
// it (it leaves -u too, and install-existing no longer finds it); a system app stays on the
// phone for install-existing to bring back. The phone's lines end in LF; this adb writes
// them with CR LF, as adb.exe does in text mode, and exits with the phone's exit code, as
// adb does over the shell protocol.
//
// The phone's state is kept in adb_sim_state.txt beside this exe: one line per package
// removed for user 0 (its name), one per disabled package ("disabled:" and its name); no
// file means nothing happened yet. So the phone remembers between runs. Environment
// variables, inherited from the program that runs adb, so tests and demonstrations can
// pick a situation:
//   TOLVEXA_ADB_DELAY_MS  sleep that many milliseconds before answering
//   TOLVEXA_ADB_DELAY_MAX_MS  when above the delay: sleep a random time between the two
//   TOLVEXA_ADB_PACKAGES  the phone carries exactly that many packages
//   TOLVEXA_ADB_VENDOR    xiaomi | huawei | oppo | vivo | samsung: the phone carries the
//                         packages of a real phone of that vendor (phone_packages_*.inc,
//                         each with its public source); otherwise the default phone
//   TOLVEXA_ADB_PHONE     absent | unauthorized | authorizing | offline | two: no phone,
//                         one that has not yet allowed this computer, one that is still
//                         checking it, one that is offline, or two phones. `devices` lists them;
//                         every other command fails with adb's own message and exit code 1,
//                         changing nothing. Unset or any other value: one authorized phone.
//   TOLVEXA_ADB_DAEMON    fresh: the first command that needs the adb server prints on
//                         stderr, before anything else, the two lines of adb starting
//                         its daemon, and creates adb_sim_daemon.txt beside this exe;
//                         while that file exists the daemon counts as running. Delete it
//                         for another fresh start.
//   TOLVEXA_ADB_SERVER    1: a command that needs the adb server starts one in the
//                         background unless one runs for this folder: a copy of this exe
//                         run as `adb fork-server server`, sharing no handles with its
//                         caller, that holds a named event and sleeps for 10 minutes.
//                         foreign: another program's adb server, of another version,
//                         holds the port: every command fails as adb does then.
//   TOLVEXA_ADB_REFUSE    minus1000 | admin | restricted | old: uninstall fails as on a
//                         Xiaomi phone that protects the app, for a device administrator,
//                         for a restricted user, or on Android 4.4 (where install-existing
//                         is unknown too), changing nothing
//   TOLVEXA_ADB_ANDROID   the phone's Android version (default 14). From 17 on, removing
//                         a system app for user 0 fails with "Failure [only root can delete
//                         system app for a particular user]" and changes nothing; ordinary
//                         apps are still removed, and disable-user works on every version.
//   TOLVEXA_ADB_ENDLESS   1: `shell pm list packages ...` prints package lines without
//                         end, until the reader goes away.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "payload/standins/phone_model.h"

namespace {

const char kSerial[] = "SIMULATED-PHONE-01";
const char kSecondSerial[] = "SIMULATED-PHONE-02";
const wchar_t kStateFileName[] = L"adb_sim_state.txt";
const wchar_t kDaemonMarkerName[] = L"adb_sim_daemon.txt";
const unsigned long long kMaxPackages = 1000000;
const unsigned long long kMaxDelayMs = 600000;
const DWORD kLockWaitMs = 60000;
const DWORD kServerLifeMs = 600000;  // a server nobody ends still goes away on its own
const DWORD kServerStartWaitMs = 10000;
const size_t kEndlessBlockBytes = 65536;

struct Reply {
  std::string out;
  std::string err;
  int code;
};

Reply answer(const std::string& out) { return {out, "", 0}; }
Reply failure(const std::string& message) { return {"", message + "\r\n", 1}; }
Reply usage(const std::string& form) { return failure("adb: usage: " + form); }

// A variable made only of digits, clamped to max; 0 when unset or not a number.
unsigned long long envNumber(const char* name, unsigned long long max) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return 0;
  unsigned long long n = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    n = n * 10 + static_cast<unsigned>(*p - '0');
    if (n > max) return max;
  }
  return n;
}

bool envIs(const char* name, const char* expected) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, expected) == 0;
}

// Which phones the simulated adb sees (TOLVEXA_ADB_PHONE).
enum class Attached { one, absent, unauthorized, authorizing, offline, two };

Attached attachedFromEnv() {
  if (envIs("TOLVEXA_ADB_PHONE", "absent")) return Attached::absent;
  if (envIs("TOLVEXA_ADB_PHONE", "unauthorized")) return Attached::unauthorized;
  if (envIs("TOLVEXA_ADB_PHONE", "authorizing")) return Attached::authorizing;
  if (envIs("TOLVEXA_ADB_PHONE", "offline")) return Attached::offline;
  if (envIs("TOLVEXA_ADB_PHONE", "two")) return Attached::two;
  return Attached::one;
}

// The phone's setup from the environment.
phone::Setup setupFromEnv() {
  phone::Setup setup;
  if (const char* vendor = std::getenv("TOLVEXA_ADB_VENDOR")) setup.vendor = vendor;
  setup.packages = static_cast<size_t>(envNumber("TOLVEXA_ADB_PACKAGES", kMaxPackages));
  const unsigned long long android = envNumber("TOLVEXA_ADB_ANDROID", 99);
  if (android > 0) setup.android = static_cast<int>(android);
  if (const char* refuse = std::getenv("TOLVEXA_ADB_REFUSE")) setup.refuse = refuse;
  return setup;
}

// The full path of this exe; empty on failure.
std::wstring exePath() {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return L"";
  return std::wstring(buffer.data(), n);
}

// The folder holding this exe, where the state file lives; empty on failure.
std::wstring exeFolder() {
  std::wstring path = exePath();
  if (path.empty()) return L"";
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// The name of a kernel object shared by the simulated adb processes of one
// folder, so copies in other folders (other tests) stay apart.
std::wstring folderObjectName(const wchar_t* kind, const std::wstring& folder) {
  unsigned hash = 2166136261u;  // FNV-1a of the folder, case folded
  for (wchar_t c : folder) hash = (hash ^ static_cast<unsigned>(std::towupper(c))) * 16777619u;
  wchar_t suffix[16];
  std::swprintf(suffix, 16, L"-%08x", hash);
  return std::wstring(L"Local\\TolvexaAdbSim") + kind + suffix;
}

// The background server holds this event for as long as it runs.
std::wstring serverEventName(const std::wstring& folder) {
  return folderObjectName(L"Server", folder);
}

bool serverRuns(const std::wstring& name) {
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
  if (event == nullptr) return false;
  CloseHandle(event);
  return true;
}

// `adb fork-server server`: holds the event that tells the server runs, and
// sleeps. A second server for the same folder leaves at once, as real adb does
// when the port is taken.
int runServer() {
  std::wstring folder = exeFolder();
  if (folder.empty()) return 1;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, serverEventName(folder).c_str());
  if (event == nullptr) return 1;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    std::fputs("adb: error: a simulated adb server already runs for this folder\r\n", stderr);
    return 1;
  }
  Sleep(kServerLifeMs);
  CloseHandle(event);
  return 0;
}

// Serialises reading and rewriting the state among simulated adb processes
// sharing one folder, so two uninstalls running at once never lose one another's
// change. A holder that was killed leaves the mutex abandoned, which still grants it.
class StateLock {
 public:
  explicit StateLock(const std::wstring& folder) {
    handle_ = CreateMutexW(nullptr, FALSE, folderObjectName(L"State", folder).c_str());
    if (handle_ != nullptr) {
      DWORD r = WaitForSingleObject(handle_, kLockWaitMs);
      held_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
    }
  }
  ~StateLock() {
    if (held_) ReleaseMutex(handle_);
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;
  bool held() const { return held_; }

 private:
  HANDLE handle_ = nullptr;
  bool held_ = false;
};

const char kDisabledMark[] = "disabled:";

// The phone's state: a line per package removed for user 0 (its name) and per package
// disabled ("disabled:" and its name). A missing file means nothing happened yet; a file
// that exists but cannot be read is an error rather than "all installed".
bool readState(const std::wstring& path, phone::State& state) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr) return errno == ENOENT;
  std::string data;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    size_t last = end;
    while (last > start &&
           (data[last - 1] == '\r' || data[last - 1] == ' ' || data[last - 1] == '\t'))
      --last;
    size_t first = start;
    while (first < last && (data[first] == ' ' || data[first] == '\t')) ++first;
    const size_t mark = sizeof kDisabledMark - 1;
    if (data.compare(first, mark, kDisabledMark) == 0 && last > first + mark)
      state.disabled.insert(data.substr(first + mark, last - first - mark));
    else if (last > first)
      state.removed.insert(data.substr(first, last - first));
    start = end + 1;
  }
  return ok;
}

// Writes a temporary file in the same folder and moves it over the state file,
// so readers and a process killed half-way only ever see a whole file.
bool writeState(const std::wstring& path, const phone::State& state) {
  std::string data;
  for (const std::string& name : state.removed) data += name + "\r\n";
  for (const std::string& name : state.disabled) data += kDisabledMark + name + "\r\n";

  std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  FILE* f = _wfopen(temp.c_str(), L"wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fflush(f) == 0 && ok;
  ok = FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) && ok;
  ok = std::fclose(f) == 0 && ok;
  ok = ok &&
       MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

class Simulator {
 public:
  Reply run(const std::vector<std::string>& args) {
    if (args.empty())
      return usage("adb devices | adb shell pm ... | adb uninstall --user 0 PACKAGE");
    const std::string& command = args[0];
    if (command == "devices" && args.size() != 1) return usage("adb devices");
    if (command == "uninstall" && (args.size() != 4 || args[1] != "--user" || args[2] != "0"))
      return usage("adb uninstall --user 0 PACKAGE");
    if (command != "devices" && command != "uninstall" && command != "shell")
      return failure("adb: unknown command " + command);

    // The command line is sound: adb now talks to its server, starting it first
    // when it does not run, and through it to the phone.
    if (envIs("TOLVEXA_ADB_SERVER", "foreign")) return failure(kForeignServer);
    Reply problem;
    if (!announceDaemon(problem) || !startServer(problem)) return problem;
    if (command == "devices") return devices();
    std::string unreachable = whyUnreachable();
    if (!unreachable.empty()) return failure(unreachable);
    if (command == "uninstall") return uninstall(args[3]);
    return shell(args);
  }

 private:
  Reply devices() const {
    std::string list = "List of devices attached\r\n";
    switch (attached_) {
      case Attached::absent: break;
      case Attached::unauthorized: list += std::string(kSerial) + "\tunauthorized\r\n"; break;
      case Attached::authorizing: list += std::string(kSerial) + "\tauthorizing\r\n"; break;
      case Attached::offline: list += std::string(kSerial) + "\toffline\r\n"; break;
      case Attached::two:
        list += std::string(kSerial) + "\tdevice\r\n" + kSecondSerial + "\tdevice\r\n";
        break;
      case Attached::one: list += std::string(kSerial) + "\tdevice\r\n"; break;
    }
    return answer(list + "\r\n");
  }

  // adb's message when a command cannot go to exactly one ready phone; empty when it can.
  std::string whyUnreachable() const {
    switch (attached_) {
      case Attached::absent: return "error: no devices/emulators found";
      case Attached::unauthorized:
        return "error: device unauthorized.\r\n"
               "This adb server's $ADB_VENDOR_KEYS is not set\r\n"
               "Try 'adb kill-server' if that seems wrong.\r\n"
               "Otherwise check for a confirmation dialog on your device.";
      case Attached::authorizing: return "error: device still authorizing";
      case Attached::offline: return "error: device offline";
      case Attached::two: return "error: more than one device/emulator";
      case Attached::one: break;
    }
    return "";
  }

  // TOLVEXA_ADB_DAEMON=fresh: the first command to find the daemon not running
  // prints its start lines, straight away so they come before anything else.
  // Checked and marked under the state lock, so of two commands started
  // together only one prints them.
  bool announceDaemon(Reply& problem) {
    if (!envIs("TOLVEXA_ADB_DAEMON", "fresh")) return true;
    if (!haveFolder(problem)) return false;
    StateLock lock(folder());
    if (!lock.held()) {
      problem = failure(kBusy);
      return false;
    }
    std::wstring marker = folder() + L"\\" + kDaemonMarkerName;
    if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    // Should the marker not be created, the daemon simply starts again next time.
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    const char lines[] =
        "* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n";
    std::fwrite(lines, 1, sizeof lines - 1, stderr);
    std::fflush(stderr);
    return true;
  }

  // TOLVEXA_ADB_SERVER=1: starts the background server unless its event shows
  // one runs. The server gets no handle of ours, above all not the pipe our
  // reader waits on, and runs in a process group of its own. Under the state
  // lock, and waiting until the server holds its event, so that commands run
  // together or one after the other start only one.
  bool startServer(Reply& problem) {
    if (!envIs("TOLVEXA_ADB_SERVER", "1")) return true;
    if (!haveFolder(problem)) return false;
    StateLock lock(folder());
    if (!lock.held()) {
      problem = failure(kBusy);
      return false;
    }
    const std::wstring event = serverEventName(folder());
    if (serverRuns(event)) return true;

    const std::wstring exe = exePath();
    std::wstring line = L"\"" + exe + L"\" fork-server server";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // with null handles: none of ours
    PROCESS_INFORMATION info = {};
    if (exe.empty() || !CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                                       CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr,
                                       nullptr, &startup, &info)) {
      problem = failure(kNoServer);
      return false;
    }
    CloseHandle(info.hThread);
    bool up = serverRuns(event);
    for (DWORD waited = 0; !up && waited < kServerStartWaitMs; waited += 10) {
      bool ended = WaitForSingleObject(info.hProcess, 10) == WAIT_OBJECT_0;
      up = serverRuns(event);
      if (ended) break;
    }
    CloseHandle(info.hProcess);
    if (!up) problem = failure(kNoServer);
    return up;
  }

  // adb joins the words after "shell" with blanks into one line for the phone's shell, so
  // `shell pm list packages` and `shell "pm list packages"` agree.
  Reply shell(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? " " : "") + args[i];
    if (line.find_first_not_of(" \t") == std::string::npos)
      return usage(
          "adb shell pm list packages [-d|-e] [-s|-3] [-u] | adb shell pm "
          "install-existing|disable-user|enable --user 0 PACKAGE");
    std::vector<std::string> words;
    if (envIs("TOLVEXA_ADB_ENDLESS", "1") && phone::splitShellWords(line, words) &&
        words.size() >= 3 && words[0] == "pm" && words[1] == "list" && words[2] == "packages")
      return listWithoutEnd();
    return onPhone([&](phone::State& state) { return phone_.shell(line, state); });
  }

  // TOLVEXA_ADB_ENDLESS=1: numbered package lines in blocks of whole lines until
  // a write fails because the reader went away; the exit code then tells that
  // the output was cut.
  Reply listWithoutEnd() {
    std::string block;
    block.reserve(kEndlessBlockBytes + 64);
    for (unsigned long long n = 1;;) {
      block.clear();
      while (block.size() < kEndlessBlockBytes) {
        block += "package:com.example.endless.app";
        block += std::to_string(n++);
        block += "\r\n";
      }
      if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size() ||
          std::fflush(stdout) != 0)
        return {"", "", 1};
    }
  }

  // adb uninstall runs the phone's `pm uninstall` (or `cmd package uninstall`, the same).
  Reply uninstall(const std::string& name) {
    return onPhone([&](phone::State& state) {
      return phone_.pm({"uninstall", "--user", "0", name}, state);
    });
  }

  // Runs a command on the phone under the state lock, so that two commands running at once
  // never lose one another's change, and saves the state when it changed. The answer's lines
  // end in CR LF, as adb.exe writes the phone's LF in text mode.
  template <typename Command>
  Reply onPhone(Command command) {
    StateLock lock(folder());
    if (!lock.held()) return failure(kBusy);
    phone::State state;
    Reply problem;
    if (!loadState(state, problem)) return problem;
    const phone::State before = state;
    phone::Answer said = command(state);
    if (state != before && !writeState(statePath(), state)) return failure(kCannotSave);
    return {withCrLf(said.out), withCrLf(said.err), said.code};
  }

  static std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  bool haveFolder(Reply& problem) {
    if (!folder().empty()) return true;
    problem = failure("adb: error: cannot find the folder of the simulated adb");
    return false;
  }

  // Reads the state; the caller holds the lock.
  bool loadState(phone::State& state, Reply& problem) {
    if (!haveFolder(problem)) return false;
    if (!readState(statePath(), state)) {
      problem = failure("adb: error: cannot read the simulated phone's state file");
      return false;
    }
    return true;
  }

  const std::wstring& folder() {
    if (folder_.empty()) folder_ = exeFolder();
    return folder_;
  }
  std::wstring statePath() { return folder() + L"\\" + kStateFileName; }

  static constexpr const char* kBusy =
      "adb: error: the simulated phone is busy (state lock timed out)";
  static constexpr const char* kCannotSave =
      "adb: error: cannot save the simulated phone's state file";
  static constexpr const char* kForeignServer =
      "adb server version (31) doesn't match this client (41); killing...\r\n"
      "could not read ok from ADB Server\r\n* failed to start daemon\r\n"
      "adb: error: cannot connect to daemon";
  static constexpr const char* kNoServer =
      "* failed to start daemon\r\nadb: error: cannot connect to daemon";

  Attached attached_ = attachedFromEnv();
  const phone::Phone phone_{setupFromEnv()};
  std::wstring folder_;
};

}  // namespace

int main(int argc, char** argv) {
  // Binary mode: every line already ends in CR LF and must not gain another CR.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc == 3 && std::strcmp(argv[1], "fork-server") == 0 && std::strcmp(argv[2], "server") == 0)
    return runServer();

  unsigned long long delay = envNumber("TOLVEXA_ADB_DELAY_MS", kMaxDelayMs);
  unsigned long long most = envNumber("TOLVEXA_ADB_DELAY_MAX_MS", kMaxDelayMs);
  if (most > delay) {
    unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    delay += (seed * 2654435761u >> 8) % (most - delay + 1);
  }
  if (delay > 0) Sleep(static_cast<DWORD>(delay));

  Simulator simulator;
  Reply reply = simulator.run(std::vector<std::string>(argv + 1, argv + argc));
  bool written = std::fwrite(reply.out.data(), 1, reply.out.size(), stdout) == reply.out.size();
  written = std::fflush(stdout) == 0 && written;
  std::fwrite(reply.err.data(), 1, reply.err.size(), stderr);
  std::fflush(stderr);
  if (!written && reply.code == 0) return 1;  // a reader that went away must not see success
  return reply.code;
}
