#include "exec/runner.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "exec/defer.h"
#include "exec/handle.h"
#include "exec/wait.h"

namespace {

constexpr DWORD kReadSize = 64 * 1024;
// After the interpreter has ended: how long the output still in the pipe may take to read.
// A process that the command left running and that keeps writing is cut off by it.
constexpr DWORD kDrainMs = 200;

// The interpreter from the system folder, never one found beside the program or in the
// current folder.
std::string interpreter_path() {
  char folder[MAX_PATH];
  UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder, n < MAX_PATH ? n : 0) + "\\cmd.exe";
}

// A pipe whose read end this process reads with overlapped I/O, so that the wait can take
// the pipe, the process and the window's messages together. Anonymous pipes cannot do that.
// Neither end is inheritable; the write end is handed to the interpreter by name, below.
struct Pipe {
  Handle read, write;
};

Failure make_pipe(Pipe& pipe) {
  static LONG counter = 0;
  wchar_t name[80];
  std::swprintf(name, 80, L"\\\\.\\pipe\\tolvexa-%lu-%ld", GetCurrentProcessId(),
                InterlockedIncrement(&counter));
  pipe.read = Handle(CreateNamedPipeW(
      name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, kReadSize, 0, nullptr));
  if (!pipe.read) return last_error("CreateNamedPipe");
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  pipe.write = Handle(CreateFileW(name, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!pipe.write) return last_error("CreateFile");
  return {};
}

// The running interpreter and the job that holds it and everything it starts.
struct Child {
  Handle process, thread, job;

  // A command that has ended already cannot be ended again; either way it is over.
  void end() {
    if (job)
      TerminateJobObject(job.get(), 1);
    else
      TerminateProcess(process.get(), 1);
  }
};

// Starts the interpreter suspended, puts it in a job, and lets it run. Only the pipe's
// write end is inherited (the handle list), so no other handle of ours leaks into it.
Failure start(std::string_view command_line, HANDLE write_end, Child& child) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size))
    return last_error("InitializeProcThreadAttributeList");
  Defer release_attributes([attributes] { DeleteProcThreadAttributeList(attributes); });
  HANDLE inherited[] = {write_end};
  if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 sizeof inherited, nullptr, nullptr))
    return last_error("UpdateProcThreadAttribute");
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = write_end;
  startup.lpAttributeList = attributes;
  // /d: no AutoRun command of the user's, whose output would mix with ours.
  std::string interpreter = interpreter_path();
  std::string full = "\"" + interpreter + "\" /d /c " + std::string(command_line);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(interpreter.c_str(), full.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                      nullptr, &startup.StartupInfo, &info))
    return last_error("CreateProcess");
  child.process = Handle(info.hProcess);
  child.thread = Handle(info.hThread);
  // Where the program itself runs in a job that allows no other (Windows 7), the command
  // runs without one; ending it then ends the interpreter alone.
  child.job = Handle(CreateJobObjectW(nullptr, nullptr));
  if (child.job && !AssignProcessToJobObject(child.job.get(), info.hProcess)) child.job.close();
  if (ResumeThread(info.hThread) == static_cast<DWORD>(-1)) {
    Failure failure = last_error("ResumeThread");
    child.end();
    return failure;
  }
  return {};
}

// Overlapped reads from the pipe, one at a time, into a buffer of its own.
class Reader {
 public:
  explicit Reader(HANDLE pipe) : pipe_(pipe), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    overlapped_.hEvent = event_.get();
    begin();
  }
  ~Reader() {
    // The system must be done with the buffer before it goes.
    if (!pending_) return;
    CancelIo(pipe_);
    DWORD got = 0;
    GetOverlappedResult(pipe_, &overlapped_, &got, TRUE);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  HANDLE event() const { return event_.get(); }
  /// True once every writer has closed the pipe (or reading failed).
  bool finished() const { return !pending_; }
  bool ready(DWORD timeout_ms) const {
    return pending_ && WaitForSingleObject(event_.get(), timeout_ms) == WAIT_OBJECT_0;
  }

  /// The bytes of the read that has completed, and the next read begun.
  std::string_view take() {
    DWORD got = 0;
    pending_ = false;
    if (!GetOverlappedResult(pipe_, &overlapped_, &got, FALSE)) got = 0;
    chunk_.assign(buffer_, got);
    begin();
    return chunk_;
  }

 private:
  void begin() {
    if (!event_) return;
    ResetEvent(event_.get());
    // A read that completes at once still sets the event, so both ends are taken alike.
    pending_ = ReadFile(pipe_, buffer_, sizeof buffer_, nullptr, &overlapped_) ||
               GetLastError() == ERROR_IO_PENDING;
  }

  HANDLE pipe_;  // not owned
  Handle event_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
  char buffer_[kReadSize];
  std::string chunk_;
};

DWORD bytes_waiting(HANDLE pipe) {
  DWORD waiting = 0;
  PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr);
  return waiting;
}

class Run {
 public:
  Run(Reader& reader, HANDLE pipe, const ChunkCallback& on_chunk, const RunLimits& limits)
      : reader_(reader), pipe_(pipe), on_chunk_(on_chunk), limits_(limits) {}

  /// Takes the completed read into the result; false when the chunk callback stops the run.
  bool take() {
    std::string_view chunk = reader_.take();
    std::string kept;
    kept.reserve(chunk.size());
    // A zero byte cannot be part of a text: it is dropped and the bytes after it are kept.
    std::remove_copy(chunk.begin(), chunk.end(), std::back_inserter(kept), '\0');
    if (on_chunk_ && on_chunk_(kept)) return false;
    size_t room = limits_.max_output - std::min(limits_.max_output, result.output.size());
    if (kept.size() > room) result.truncated = true;
    result.output.append(kept, 0, std::min(room, kept.size()));
    return true;
  }

  /// After the interpreter has ended: reads what is in the pipe, for a short while at most.
  void drain() {
    ULONGLONG until = GetTickCount64() + kDrainMs;
    while (!reader_.finished() && GetTickCount64() < until) {
      bool more = reader_.ready(0) || (bytes_waiting(pipe_) > 0 && reader_.ready(kDrainMs));
      if (!more || !take()) return;
    }
  }

  Captured result;

 private:
  Reader& reader_;
  HANDLE pipe_;
  const ChunkCallback& on_chunk_;
  const RunLimits& limits_;
};

}  // namespace

Captured run_captured(std::string_view command_line, const ChunkCallback& on_chunk,
                      const StopCheck& stop, const RunLimits& limits) {
  Captured failed;
  Pipe pipe;
  Child child;
  if ((failed.failure = make_pipe(pipe))) return failed;
  if ((failed.failure = start(command_line, pipe.write.get(), child))) return failed;
  // The interpreter has its own copy; only the command's processes keep the write end open.
  pipe.write.close();

  Reader reader(pipe.read.get());
  Run run(reader, pipe.read.get(), on_chunk, limits);
  ULONGLONG deadline = GetTickCount64() + limits.timeout_ms;
  for (;;) {
    // The pipe comes first: output that arrived before the end is taken before the end is.
    HANDLE handles[] = {reader.event(), child.process.get()};
    DWORD count = reader.finished() ? 1 : 2;
    HANDLE* waited = reader.finished() ? handles + 1 : handles;
    ULONGLONG now = GetTickCount64();
    DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    DWORD woke = MsgWaitForMultipleObjectsEx(count, waited, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0 && count == 2) {
      if (!run.take()) break;
    } else if (woke == WAIT_OBJECT_0 + count - 1) {
      run.drain();
      break;
    } else if (woke == WAIT_OBJECT_0 + count) {
      dispatch_pending_messages();
      if (stop && stop()) {
        child.end();
        break;
      }
    } else {
      // The time is up (or the wait itself failed): end the command and keep what it wrote.
      run.result.timed_out = woke == WAIT_TIMEOUT;
      child.end();
      WaitForSingleObject(child.process.get(), 1000);
      run.drain();
      break;
    }
  }
  return std::move(run.result);
}
