#include "tests/windows/wire_phone.h"

#include <windows.h>

#include "tests/windows/paths.h"
#include "tests/windows/support.h"

namespace e2e {

WirePhone::WirePhone(const std::wstring& options) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE in_read = nullptr, in_write = nullptr, out_read = nullptr, out_write = nullptr;
  if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return;
  Handle child_in(in_read);
  input_ = Handle(in_write);
  SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return;
  Handle child_out(out_write);
  output_ = Handle(out_read);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in.get();
  startup.hStdOutput = child_out.get();
  startup.hStdError = child_out.get();
  PROCESS_INFORMATION info = {};
  std::wstring line = L"\"" + support::widen(wine_path(WIRE_PHONE_EXE)) + L"\" " + options;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_ = Handle(info.hProcess);
  child_out.close();
  // It says "ready" once it listens.
  std::string said;
  char buffer[256];
  DWORD got = 0;
  while (said.find("ready") == std::string::npos &&
         ReadFile(output_.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    said.append(buffer, got);
  ready_ = said.find("ready") != std::string::npos;
}

WirePhone::~WirePhone() {
  input_.close();
  if (process_ && WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0)
    TerminateProcess(process_.get(), 1);
}

bool WirePhone::allow() {
  DWORD written = 0;
  return WriteFile(input_.get(), "allow\n", 6, &written, nullptr) && written == 6;
}

}  // namespace e2e
