#include "exec/runner.h"

#include <windows.h>

#include <algorithm>

#include "exec/handle.h"
#include "exec/wait.h"
#include "packages/text.h"

namespace {

std::string_view interpreter_prefix() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? "cmd.exe /c " : "command.com /c ";
}

DWORD bytes_waiting(HANDLE pipe) {
  DWORD waiting = 0;
  PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr);
  return waiting;
}

// Reads what the pipe holds. A zero byte cannot be part of a text, so it is dropped and the
// bytes after it are kept.
std::string read_chunk(HANDLE pipe, DWORD count) {
  std::string chunk(count, '\0');
  DWORD got = 0;
  if (!ReadFile(pipe, chunk.data(), count, &got, nullptr)) got = 0;
  chunk.resize(got);
  chunk.erase(std::remove(chunk.begin(), chunk.end(), '\0'), chunk.end());
  return chunk;
}

bool has_ended(HANDLE process) {
  // A process that never started has no handle: the wait fails, and that counts as ended.
  return WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
}

}  // namespace

std::string run_captured(std::string_view command_line, const ChunkCallback& on_chunk,
                         const StopCheck& stop) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_raw = nullptr, write_raw = nullptr;
  CreatePipe(&read_raw, &write_raw, &inheritable, 0);
  Handle read_end(read_raw), write_end(write_raw);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = startup.hStdError = write_end.get();
  std::string full = concat_text(interpreter_prefix(), command_line);
  PROCESS_INFORMATION info{};
  // No console window at all rather than a hidden one: the output goes to the pipe either
  // way, and not creating the window makes each command start markedly faster.
  CreateProcessA(nullptr, full.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                 &startup, &info);
  Handle process(info.hProcess), thread(info.hThread);
  // The command has its own copy; only the command's processes keep the write end open.
  write_end.close();

  std::string result;
  // Takes what the pipe holds; false when the chunk callback stops the run.
  auto take = [&](DWORD waiting) {
    std::string chunk = read_chunk(read_end.get(), waiting);
    if (on_chunk && on_chunk(chunk)) return false;
    result += chunk;
    return true;
  };
  for (;;) {
    if (DWORD waiting = bytes_waiting(read_end.get())) {
      if (!take(waiting)) break;
      // More output is likely on its way: look again at once, servicing the window first.
      dispatch_pending_messages();
      continue;
    }
    if (has_ended(process.get())) {
      // Whatever the command wrote just before it ended is still in the pipe.
      while (DWORD waiting = bytes_waiting(read_end.get()))
        if (!take(waiting)) break;
      break;
    }
    pump_input();
    responsive_wait(1);
    if (stop && stop()) break;
  }
  return result;
}
