// What the tests that play the user of the real program share: where the program and the stand-ins
// are, and the fresh start every test begins from.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/windows/paths.h"
#include "tests/windows/user.h"

namespace e2e {

inline const std::wstring kStateFile = L"c:\\adb\\adb_sim_state.txt";
inline const wchar_t* const kDeployed[] = {L"adb.exe", L"AdbWinApi.dll", L"AdbWinUsbApi.dll",
                                           L"libwinpthread-1.dll"};

/// The package names of a `pm list packages` answer, in its order.
inline std::vector<std::wstring> package_names(const std::wstring& output) {
  std::vector<std::wstring> names;
  for (const std::wstring& line : split_lines(output))
    if (line.rfind(L"package:", 0) == 0) names.push_back(line.substr(8));
  return names;
}

/// The names one per line, each ended by CR LF, as the list box holds them.
inline std::wstring as_listing(const std::vector<std::wstring>& names) {
  std::wstring text;
  for (const std::wstring& name : names) text += name + L"\r\n";
  return text;
}

inline std::wstring tolvexa_exe() { return support::widen(wine_path(TOLVEXA_EXE)); }

inline std::wstring standin(const std::wstring& name) {
  return support::widen(wine_path(STANDIN_DIR)) + L"\\" + name;
}

/// No program, simulated adb or installer left running, every package of the phone installed,
/// and the current build's simulator the one deployed (deployment only writes c:\adb\adb.exe
/// when it is missing).
inline void start_afresh() {
  kill_processes_named(L"Tolvexa.exe");
  kill_processes_named(L"adb.exe");
  kill_processes_named(L"ADBDriverInstaller.exe");
  DeleteFileW(kStateFile.c_str());
  const std::wstring adb = L"c:\\adb\\adb.exe";
  if (support::file_exists(adb) &&
      support::read_file(adb) != support::read_file(standin(L"adb.exe")))
    support::remove_tree(L"c:\\adb");
}

}  // namespace e2e
