// Opening the Device Manager from the system folder, where a user installs a driver for the
// phone. The shell's start is replaceable, so tests can see what would be started.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

/// ShellExecuteExW, or a stand-in with its contract: TRUE when started, else FALSE with the
/// thread's last error set.
using ShellStart = std::function<BOOL(SHELLEXECUTEINFOW* info)>;

/// How an attempt to open the Device Manager ended.
struct DeviceManagerOutcome {
  enum Kind {
    opened,    // the console was started
    declined,  // the user said no when Windows asked to let it make changes
    missing,   // mmc.exe or devmgmt.msc is not in the system folder
    failed,    // the system refused to start it; `error` says why
  };
  Kind kind = failed;
  DWORD error = 0;
};

/// The system folder without a trailing backslash (GetSystemDirectoryW), empty when the
/// system does not tell it.
std::wstring system_folder();

/// Where the Device Manager is looked for, in this order: the system folder, and for this
/// 32-bit program on 64-bit Windows also the 64-bit system folder by its alias
/// `<Windows folder>\Sysnative`, in case the 32-bit one lacks a file of it.
std::vector<std::wstring> device_manager_folders();

/// Starts `<folder>\mmc.exe "<folder>\devmgmt.msc"` through the shell, in that folder, for the
/// first of the folders that holds both files, so that Windows can ask for consent where the
/// console runs elevated and nothing of the current folder is run in place of a system file.
DeviceManagerOutcome open_device_manager(const std::vector<std::wstring>& folders,
                                         const ShellStart& start = {});
