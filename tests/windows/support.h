// What the Windows tests share: a clock, text conversion, files, temporary folders and
// starting and ending processes. Kernel handles are owned by Handle, never closed by hand.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "exec/handle.h"

namespace support {

/// Milliseconds since an arbitrary moment, from the performance counter.
double now_ms();

/// Polls the condition until it holds or the time is up; true when it held.
bool wait_until(const std::function<bool()>& condition, int timeout_ms, int interval_ms = 20);

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& text);  // UTF-8

bool file_exists(const std::wstring& path);
/// The file's bytes; empty when it cannot be read.
std::string read_file(const std::wstring& path);
/// Creates or truncates the file and writes the bytes; true when all were written.
bool write_file(const std::wstring& path, const std::string& bytes);
/// Deletes a file, or a folder with everything in it, read-only files too.
void remove_tree(const std::wstring& path);

/// A folder of its own under the temporary folder, named after this process and a counter,
/// removed with everything in it at the end of the scope. Processes started from it must have
/// ended by then.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir() { remove_tree(path_); }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::wstring& path() const { return path_; }
  /// The path of a file or folder inside.
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

/// Environment variables to set for a started program, on top of this process's own.
using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

/// How start_process starts a command line.
struct Launch {
  /// Set on top of this process's environment, of which the simulated phone's variables
  /// (TOLVEXA_ADB_*) are left out: only the caller decides those.
  Environment environment;
  /// Standard output (and error, unless error_to is given) into a pipe, input from NUL.
  bool capture = false;
  /// Where standard error goes when capturing, instead of the pipe.
  HANDLE error_to = nullptr;
};

/// A started process. Without capture, output is empty.
struct Started {
  Handle process;
  DWORD id = 0;
  Handle output;    // the read end of the pipe
  DWORD error = 0;  // GetLastError() when it did not start
  explicit operator bool() const { return static_cast<bool>(process); }
};

/// Starts a command line (the program's path quoted when it holds blanks), without a console.
Started start_process(const std::wstring& command_line, const Launch& launch = {});
/// Reads the pipe to its end.
std::string read_to_end(HANDLE pipe);

/// Ends the process and waits for it to end.
void end_process(HANDLE process);
/// Ends one process by its id.
void end_process(DWORD id);
/// Ids of the processes of this prefix running the given image (e.g. L"adb.exe"), this one
/// left out.
std::vector<DWORD> processes_named(const std::wstring& image_name);

}  // namespace support
