// Runs a command line hidden behind the command interpreter and captures what it prints.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "exec/error.h"

/// Gets each chunk as it is read; returning true stops the run (that chunk is not kept, and
/// the command goes on without its output pipe).
using ChunkCallback = std::function<bool(std::string_view chunk)>;

/// Asked whenever window messages have been dispatched; returning true abandons the command:
/// it is ended, and the run returns what it has read so far.
using StopCheck = std::function<bool()>;

struct RunLimits {
  DWORD timeout_ms = 120000;      // a command still running then is ended
  size_t max_output = 64u << 20;  // bytes kept; the rest is read and dropped
};

struct Captured {
  std::string output;      // standard output and error, in the order they arrived
  Failure failure;         // set when the command could not be started at all
  bool timed_out = false;  // it ran past the time limit and was ended
  bool truncated = false;  // it printed more than the limit allows
};

/// Runs "<system folder>\cmd.exe /d /c " followed by the command line, unchanged, with no
/// window and with standard output and standard error on one pipe, in a job of its own.
/// Returns everything it printed, in order, once the interpreter has ended (what is still
/// in the pipe then is read; a process the command left running does not hold the run up).
/// Zero bytes are dropped. Window messages keep being dispatched meanwhile, so this may be
/// called again from inside itself; waiting costs no processor time.
Captured run_captured(std::string_view command_line, const ChunkCallback& on_chunk = nullptr,
                      const StopCheck& stop = nullptr, const RunLimits& limits = {});
