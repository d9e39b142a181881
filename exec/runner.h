// Runs a command line hidden behind the command interpreter and captures what it prints.
#pragma once

#include <functional>
#include <string>
#include <string_view>

/// Gets each chunk as it is read; returning true stops the run (that chunk is not kept, and
/// the command goes on without its output pipe).
using ChunkCallback = std::function<bool(std::string_view chunk)>;

/// Asked while the command runs; returning true abandons it: the run returns what it has
/// read so far, and the command goes on without its output pipe.
using StopCheck = std::function<bool()>;

/// Runs "cmd.exe /c " followed by the command line, unchanged, with its window hidden and
/// standard output and standard error on one pipe. Returns everything it printed, in order,
/// once the interpreter has ended; zero bytes are dropped. Window messages keep being
/// dispatched meanwhile, so this may be called again from inside itself. A command that
/// cannot start yields the empty text.
std::string run_captured(std::string_view command_line, const ChunkCallback& on_chunk = nullptr,
                         const StopCheck& stop = nullptr);
