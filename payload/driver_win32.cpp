#include "payload/driver.h"

#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <string>

#include "exec/encoding.h"
#include "exec/handle.h"
#include "payload/catalogue.h"
#include "payload/deploy.h"

namespace {

// Starts the program through the shell with the "runas" verb, for which Windows asks the
// user's consent to run it elevated. The user declining (ERROR_CANCELLED) is no failure.
Failure start_elevated(const std::wstring& file, const ShellExecuteCall& shell_execute) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // the failure is told in the log box, not by the shell
  info.hwnd = GetActiveWindow();     // the consent prompt belongs to the window
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The shell may hand the start to COM objects, so COM is set up around the call.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BOOL started = shell_execute ? shell_execute(&info) : ShellExecuteExW(&info);
  DWORD error = GetLastError();
  if (SUCCEEDED(com)) CoUninitialize();
  if (started || error == ERROR_CANCELLED) return {};
  return error_of("ShellExecuteEx", error);
}

}  // namespace

bool start_program(std::string_view command_line, bool wait_for_exit,
                   std::optional<int> show_style) {
  static const WORD kShowCommands[] = {SW_HIDE,          SW_SHOWNORMAL,     SW_SHOWMINIMIZED,
                                       SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = kShowCommands[std::clamp(show_style.value_or(2), 1, 6) - 1];
  std::string line(command_line);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return false;
  Handle process(info.hProcess), thread(info.hThread);  // the thread's handle is released first
  if (wait_for_exit)
    WaitForSingleObject(process.get(), INFINITE);
  else
    WaitForInputIdle(process.get(), 1000);
  return true;
}

Failure launch_driver_installer(const StartCall& start, const ShellExecuteCall& shell_execute) {
  if (Failure failure = make_adb_directory()) return failure;
  const std::string path(kDriverInstaller.target);
  // Written anew on every click; when an earlier copy still runs from the file, the write
  // fails and that copy is started again.
  Failure written = try_write_file(path, {payload_bytes(kDriverInstaller)});
  if (written && !file_exists(path)) return written;
  if (start ? start(path) : start_program(path, false)) return {};
  if (GetLastError() != ERROR_ELEVATION_REQUIRED) return last_error("CreateProcess");
  return start_elevated(widen(path), shell_execute);
}
