#include "payload/driver.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "exec/handle.h"
#include "payload/catalogue.h"
#include "payload/deploy.h"

bool start_program(std::string_view command_line, bool wait_for_exit,
                   std::optional<int> show_style) {
  static const WORD kShowCommands[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED,
                                       SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = kShowCommands[std::clamp(show_style.value_or(2), 1, 6) - 1];
  std::string line(command_line);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return false;
  Handle process(info.hProcess), thread(info.hThread);  // the thread's handle is released first
  if (wait_for_exit)
    WaitForSingleObject(process.get(), INFINITE);
  else
    WaitForInputIdle(process.get(), 1000);
  return true;
}

Failure launch_driver_installer() {
  // Written anew on every click; when an earlier copy still runs from the file, the write
  // fails and that copy is started again.
  write_file(kDriverInstaller.target, {payload_bytes(kDriverInstaller)});
  if (!start_program(kDriverInstaller.target, false)) return last_error("CreateProcess");
  return {};
}
