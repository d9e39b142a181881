// Starting the USB driver installer that the program carries.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <optional>
#include <string_view>

#include "exec/error.h"

// CreateProcess's answer for a program whose manifest asks to run elevated; MinGW's
// winerror.h lacks it.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

/// Starts a program from its command line without handing it our handles. With
/// `wait_for_exit` it waits until the program has ended; otherwise up to one second for it to
/// be ready for input. `show_style`: 1 hidden, 2 normal (also when absent), 3 minimised,
/// 4 maximised, 5 normal without activation, 6 minimised without activation; values outside
/// 1..6 are clamped. True when the program was started.
bool start_program(std::string_view command_line, bool wait_for_exit,
                   std::optional<int> show_style = std::nullopt);

/// How the installer is started, replaceable for tests: a program start that returns false
/// with the thread's last error set (start_program without waiting when empty), and the
/// shell's start (ShellExecuteExW when empty).
using StartCall = std::function<bool(std::string_view command_line)>;
using ShellExecuteCall = std::function<BOOL(SHELLEXECUTEINFOW* info)>;

/// Writes the driver installer to c:\adb\ADBDriverInstaller.exe (creating c:\adb as
/// make_adb_directory does) and starts it. It is written anew on every click; when that fails
/// because an earlier copy still runs from the file, the copy on disk is started. When
/// Windows answers that it must run elevated, it is started through the shell's "runas" verb,
/// so that Windows asks the user's consent; the user declining is no failure. The failure
/// that kept it from starting, if one did.
Failure launch_driver_installer(const StartCall& start = {},
                                const ShellExecuteCall& shell_execute = {});
