#include "exec/wait.h"

#include "exec/handle.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

MessageFilter g_filter = nullptr;

// Keys, mouse, posted and sent messages, timers, painting and hot keys wake a wait.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER |
                            QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;

// A high-resolution timer keeps a 1 ms wait near 1 ms on Windows 10 and later; elsewhere the
// plain timer serves. Both reset themselves when a wait ends.
Handle make_timer() {
  Handle timer(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                      TIMER_ALL_ACCESS));
  if (!timer) timer = Handle(CreateWaitableTimerW(nullptr, FALSE, nullptr));
  return timer;
}

int64_t multiplier_of(int64_t unit) {
  switch (unit) {
    case 0: return 1;
    case 1: return 1000;
    case 2: return 60000;
    case 3: return 3600000;
    default: return unit;
  }
}

}  // namespace

void set_message_filter(MessageFilter filter) { g_filter = filter; }

void dispatch_message(MSG& message) {
  if (g_filter && g_filter(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void dispatch_pending_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
    if (message.message == WM_QUIT) {
      // Posted while a sent message was handled: put it back for the main loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    dispatch_message(message);
  }
}

bool responsive_wait(std::optional<int32_t> interval, int64_t unit) {
  double steps, multiplier;
  if (unit == 0 && !interval) {
    steps = multiplier = 18000000;  // about ten thousand years
  } else {
    steps = interval.value_or(0);
    multiplier = static_cast<double>(multiplier_of(unit));
  }
  LARGE_INTEGER due;
  due.QuadPart = static_cast<int64_t>(steps * multiplier * -10000.0);

  // A timer that cannot be made, armed or waited on ends the wait at once rather than
  // spinning through the loop below.
  Handle timer = make_timer();
  if (!timer || !SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) return true;
  HANDLE handles[] = {timer.get()};
  for (;;) {
    DWORD result = MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, kWakeMask);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) break;
    dispatch_pending_messages();
  }
  return true;
}
