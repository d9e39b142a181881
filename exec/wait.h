// Waiting on the window's thread without freezing the window: the functions here dispatch the
// thread's window messages, so any handler, another button's action included, may run to its
// end inside them. The command runner waits the same way (exec/runner.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

/// Called for each message before it is translated and dispatched; returns true when it
/// has handled the message itself (the window's keyboard handling). Not owned.
using MessageFilter = bool (*)(MSG& message);
void set_message_filter(MessageFilter filter);

/// Filters, translates and dispatches one message: what the main loop does with each.
void dispatch_message(MSG& message);

/// Dispatches every message waiting in the thread's queue, but leaves a WM_QUIT there for
/// the main loop.
void dispatch_pending_messages();

/// Waits `interval` steps of `unit` (0: milliseconds, 1: seconds, 2: minutes, 3: hours,
/// any other value: that many milliseconds per step) while dispatching messages, and returns
/// only after that time. With neither given it waits practically for ever; a zero or negative
/// time returns at once. Always true.
bool responsive_wait(std::optional<int32_t> interval = std::nullopt, int64_t unit = 0);
