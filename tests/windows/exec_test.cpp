#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "exec/handle.h"
#include "exec/port.h"
#include "exec/process.h"
#include "exec/runner.h"
#include "exec/wait.h"
#include "tests/windows/paths.h"
#include "tests/windows/support.h"

namespace {

using support::now_ms;

const std::string kEmit = wine_path(EMIT_EXE);

std::string pattern(size_t n) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('0' + i % 10);
  return bytes;
}

// A window of a class of its own, destroyed at the end of the scope.
struct ScopedWindow {
  HWND hwnd;
  ScopedWindow(const wchar_t* class_name, WNDPROC proc, DWORD style, HWND parent) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassW(&window_class);
    hwnd = CreateWindowW(class_name, L"", style, 0, 0, 200, 100, parent, nullptr,
                         window_class.hInstance, nullptr);
  }
  ~ScopedWindow() { DestroyWindow(hwnd); }
};

// A hidden window whose handler runs a callback: stands for a click handled inside a wait.
struct TestWindow : ScopedWindow {
  static inline std::function<void()> on_message;
  static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP && on_message) on_message();
    return DefWindowProcW(h, m, w, l);
  }
  TestWindow() : ScopedWindow(L"ExecTestWindow", proc, 0, HWND_MESSAGE) {}
  ~TestWindow() { on_message = nullptr; }
};

TEST(Runner, CapturesWhatTheCommandPrints) {
  struct Row {
    std::string command, expected;
  } rows[] = {
      {"rem nothing", ""},
      {"echo hello", "hello\r\n"},
      {kEmit + " stderr only-on-stderr", "only-on-stderr"},
      {kEmit + " zeros", "abcdef"},  // zero bytes dropped, the rest of the read kept
      {kEmit + " sleep 300", "startend"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    EXPECT_EQ(run_captured(row.command).output, row.expected);
  }
}

TEST(Runner, ABurstOfSeveralMegabytesArrivesWhole) {
  const size_t n = 6 * 1024 * 1024 + 7;
  std::string result = run_captured(kEmit + " bytes " + std::to_string(n)).output;
  ASSERT_EQ(result.size(), n);
  EXPECT_TRUE(result == pattern(n));
}

// A visible window that a timer invalidates every 5 ms; counts its paints.
struct PaintedWindow : ScopedWindow {
  static inline int paints = 0;
  static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER) InvalidateRect(h, nullptr, FALSE);
    if (m == WM_PAINT) {
      PAINTSTRUCT paint;
      BeginPaint(h, &paint);
      EndPaint(h, &paint);
      ++paints;
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  }
  PaintedWindow()
      : ScopedWindow(L"ExecTestPainted", proc, WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr) {
    SetTimer(hwnd, 1, 5, nullptr);
  }
};

TEST(Runner, TenMegabytesArriveWholeWhileTheWindowKeepsPainting) {
  PaintedWindow window;
  dispatch_pending_messages();
  PaintedWindow::paints = 0;
  const size_t n = 10 * 1024 * 1024;
  double start = now_ms();
  std::string result = run_captured(kEmit + " bytes " + std::to_string(n)).output;
  double elapsed = now_ms() - start;
  EXPECT_EQ(result.size(), n);
  EXPECT_TRUE(result == pattern(n));
  // Painted all along, about once per 5 ms timer tick, not only at the end.
  EXPECT_GE(PaintedWindow::paints, static_cast<int>(elapsed / 50)) << elapsed << " ms";
  EXPECT_GE(PaintedWindow::paints, 2);
}

TEST(Runner, AnUnknownProgramYieldsTheInterpretersMessage) {
  std::string result = run_captured("no_such_program_tolvexa").output;
  EXPECT_NE(result.find("no_such_program_tolvexa"), std::string::npos) << result;
}

TEST(Runner, AnInterpreterEndingWithCode259DoesNotHang) {
  double start = now_ms();
  EXPECT_EQ(run_captured(kEmit + " exit 259 & exit 259").output, "");
  EXPECT_LT(now_ms() - start, 10000);
}

TEST(Runner, AChunkCallbackCanStopTheRun) {
  std::string command = kEmit + " sleep 3000";
  int calls = 0;
  double start = now_ms();
  EXPECT_EQ(run_captured(command, [&](std::string_view) { return ++calls == 1; }).output, "");
  EXPECT_EQ(calls, 1);
  EXPECT_LT(now_ms() - start, 2500);  // returned while the command still ran
  while (end_process_by_image_name("emit.exe")) Sleep(50);

  std::string seen;
  EXPECT_EQ(run_captured("echo a& echo b",
                         [&](std::string_view chunk) {
                           seen += chunk;
                           return false;
                         })
                .output,
            "a\r\nb\r\n");
  EXPECT_EQ(seen, "a\r\nb\r\n");
}

TEST(Runner, AStopCheckEndsTheCommand) {
  TestWindow window;
  bool stop = false;
  TestWindow::on_message = [&] { stop = true; };
  struct Post {
    static void CALLBACK app(HWND hwnd, UINT, UINT_PTR, DWORD) { PostMessageW(hwnd, WM_APP, 0, 0); }
  };
  SetTimer(window.hwnd, 1, 300, &Post::app);
  double start = now_ms();
  Captured result = run_captured(kEmit + " sleep 3000", nullptr, [&] { return stop; });
  KillTimer(window.hwnd, 1);
  EXPECT_TRUE(stop);
  EXPECT_LT(now_ms() - start, 2500);
  EXPECT_EQ(result.output.find("end"), std::string::npos);
  // The command was ended with its job, not left behind.
  EXPECT_TRUE(
      support::wait_until([] { return find_process_by_image_name("emit.exe") == 0; }, 2000));
  EXPECT_EQ(run_captured("echo a", nullptr, [] { return false; }).output, "a\r\n");
}

TEST(Runner, LimitsOnTimeAndOutputHold) {
  RunLimits short_time;
  short_time.timeout_ms = 500;
  double start = now_ms();
  Captured slow = run_captured(kEmit + " sleep 5000", nullptr, nullptr, short_time);
  EXPECT_LT(now_ms() - start, 3000);
  EXPECT_TRUE(slow.timed_out);
  EXPECT_EQ(slow.output, "start");
  EXPECT_TRUE(
      support::wait_until([] { return find_process_by_image_name("emit.exe") == 0; }, 2000));

  RunLimits small;
  small.max_output = 1 << 20;
  Captured big = run_captured(kEmit + " bytes 3000000", nullptr, nullptr, small);
  EXPECT_TRUE(big.truncated);
  EXPECT_FALSE(big.timed_out);
  EXPECT_TRUE(big.output == pattern(3000000).substr(0, 1 << 20));

  Captured exact = run_captured(kEmit + " bytes 1048576", nullptr, nullptr, small);
  EXPECT_FALSE(exact.truncated);
  EXPECT_EQ(exact.output.size(), 1u << 20);

  // The program's own limit: 64 MB kept, the rest read and dropped.
  Captured huge = run_captured(kEmit + " bytes 70000000");
  EXPECT_TRUE(huge.truncated);
  EXPECT_EQ(huge.output.size(), 64u << 20);
}

TEST(Runner, ReturnsSoonAfterTheInterpreterEndsWhileAnotherProcessKeepsWriting) {
  TestWindow window;
  bool answered = false;
  TestWindow::on_message = [&] { answered = true; };
  PostMessageW(window.hwnd, WM_APP, 0, 0);
  double start = now_ms();
  // start /b leaves the writer running, holding the pipe, after the interpreter has ended.
  Captured result = run_captured("echo begun& start /b " + kEmit + " forever");
  double elapsed = now_ms() - start;
  EXPECT_LT(elapsed, 3000);
  EXPECT_TRUE(answered);
  EXPECT_EQ(result.output.substr(0, 7), "begun\r\n");
  while (end_process_by_image_name("emit.exe")) Sleep(50);
}

TEST(Runner, ACommandThatCannotStartSaysWhy) {
  // Pipe names that the runner would take next, held by someone else: it refuses to share.
  std::vector<Handle> squatted;
  for (int i = 1; i <= 400; ++i) {
    std::wstring name = L"\\\\.\\pipe\\tolvexa-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(i);
    squatted.emplace_back(
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
  }
  Captured result = run_captured("echo never");
  ASSERT_TRUE(result.failure.has_value());
  EXPECT_EQ(result.failure->operation, "CreateNamedPipe");
  EXPECT_NE(result.failure->code, 0u);
  EXPECT_FALSE(result.failure->message.empty());
  EXPECT_EQ(result.output, "");
  squatted.clear();
  EXPECT_FALSE(run_captured("echo again").failure.has_value());
}

TEST(Runner, ARunNestedInAnothersWaitRunsToItsEndFirst) {
  TestWindow window;
  std::string inner;
  bool outer_done = false;
  TestWindow::on_message = [&] {
    inner = run_captured("echo inner").output;
    EXPECT_FALSE(outer_done);
  };
  PostMessageW(window.hwnd, WM_APP, 0, 0);
  std::string outer = run_captured(kEmit + " sleep 500").output;
  outer_done = true;
  EXPECT_EQ(inner, "inner\r\n");
  EXPECT_EQ(outer, "startend");
}

TEST(ResponsiveWait, ReturnsAfterItsTimeAndNotBefore) {
  struct Row {
    std::optional<int32_t> interval;
    int64_t unit;
    double at_least, at_most;
  } rows[] = {
      {1, 0, 1, 500},
      {200, 0, 199, 1500},
      {3, 7, 21, 1000},    // unit 7: seven milliseconds per step
      {2, 1, 1999, 3500},  // seconds
      {0, 0, 0, 200},
      {-5, 0, 0, 200},
      {std::nullopt, 1, 0, 200},  // no interval with a unit: nothing to wait
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.interval.value_or(-999)) + " unit " + std::to_string(row.unit));
    double start = now_ms();
    EXPECT_TRUE(responsive_wait(row.interval, row.unit));
    double elapsed = now_ms() - start;
    EXPECT_GE(elapsed, row.at_least);
    EXPECT_LE(elapsed, row.at_most);
  }
}

TEST(ResponsiveWait, DispatchesMessagesPostedDuringTheWait) {
  TestWindow window;
  double handled_at = 0;
  TestWindow::on_message = [&] { handled_at = now_ms(); };
  PostMessageW(window.hwnd, WM_APP, 0, 0);
  double start = now_ms();
  responsive_wait(300);
  double end = now_ms();
  EXPECT_GE(handled_at, start);
  EXPECT_LT(handled_at, start + 200);  // at once, not when the time was up
  EXPECT_GE(end - start, 299);
}

TEST(ResponsiveWait, LeavesAPostedQuitInTheQueue) {
  PostQuitMessage(7);
  double start = now_ms();
  responsive_wait(100);
  dispatch_pending_messages();
  EXPECT_EQ(run_captured("echo still").output, "still\r\n");
  EXPECT_GE(now_ms() - start, 99);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

// Starts the simulated adb, copied under the given file name, answering after a long delay.
struct SleepingProcess {
  Handle process;
  SleepingProcess(const std::wstring& folder, const std::wstring& file_name) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\" + file_name;
    // c:\adb\adb.exe and c:\ADB\ADB.EXE are one file: a second copy would rewrite the
    // program the first process runs from, so a file that already holds the simulator stays.
    const std::wstring simulator = support::widen(wine_path(ADB_SIM_EXE));
    if (support::read_file(path) != support::read_file(simulator))
      CopyFileW(simulator.c_str(), path.c_str(), FALSE);
    process = support::start_process(L"\"" + path + L"\" devices",
                                     {{{L"TOLVEXA_ADB_DELAY_MS", L"60000"}}})
                  .process;
  }
  ~SleepingProcess() {
    if (process) support::end_process(process.get());
  }
  bool running() const { return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT; }
};

TEST(EndProcess, EndsOneProcessPerCallWhateverTheCase) {
  // Nothing of that name: nothing ended.
  EXPECT_EQ(find_process_by_image_name("tolvexa_none.exe"), 0u);
  EXPECT_FALSE(end_process_by_image_name("tolvexa_none.exe"));

  support::ScopedTempDir one, two;  // outlive the processes started from them
  SleepingProcess first(one.path(), L"tvx_adb.exe"), second(two.path(), L"tvx_adb.exe");
  ASSERT_TRUE(first.running() && second.running());
  // A name that is only part of the file name does not match.
  EXPECT_EQ(find_process_by_image_name("tvx_adb"), 0u);
  EXPECT_EQ(find_process_by_image_name("adb.exe"), 0u);
  EXPECT_NE(find_process_by_image_name("TVX_ADB.EXE"), 0u);
  EXPECT_EQ(find_process_by_image_name("TVX_ADB.EXE", true), 0u);

  EXPECT_TRUE(end_process_by_image_name("TVX_ADB.EXE"));
  Sleep(200);
  EXPECT_NE(first.running(), second.running());  // exactly one ended
  EXPECT_TRUE(end_process_by_image_name("tvx_adb.exe"));
  Sleep(200);
  EXPECT_FALSE(first.running() || second.running());
  EXPECT_FALSE(end_process_by_image_name("tvx_adb.exe"));
}

TEST(EndProcess, ClosingEndsOurAdbAndNoOtherOne) {
  support::ScopedTempDir elsewhere;
  SleepingProcess ours(L"c:\\adb", L"adb.exe"), again(L"c:\\ADB", L"ADB.EXE"),
      others(elsewhere.path(), L"adb.exe");
  ASSERT_TRUE(ours.running() && again.running() && others.running());
  end_adb_process();
  EXPECT_TRUE(support::wait_until([&] { return !ours.running() && !again.running(); }, 2000));
  EXPECT_TRUE(others.running());
}

TEST(AdbPort, TheListenerIsFoundAndNamedUnlessItIsOurAdb) {
  EXPECT_FALSE(adb_port_listener().found) << "something already listens on adb's port";
  support::Started assistant =
      support::start_process(support::widen(wine_path(PHONE_ASSISTANT_EXE)), {{}, true});
  ASSERT_TRUE(assistant);
  char first[16] = {};
  DWORD got = 0;
  ReadFile(assistant.output.get(), first, sizeof first - 1, &got, nullptr);
  ASSERT_EQ(std::string(first, got).rfind("listening", 0), 0u) << "the port could not be taken";
  PortListener listener = adb_port_listener();
  support::end_process(assistant.process.get());
  EXPECT_TRUE(listener.found);
  // Windows names the owner; Wine keeps sockets in its server and names none.
  if (listener.owner != 0) {
    EXPECT_EQ(listener.owner, assistant.id);
  }

  // Names: a program elsewhere by its file name; our own adb not at all.
  SleepingProcess ours(L"c:\\adb", L"adb.exe");
  support::ScopedTempDir elsewhere;
  SleepingProcess other(elsewhere.path(), L"tadb.exe");
  ASSERT_TRUE(ours.running() && other.running());
  EXPECT_EQ(holder_name(GetProcessId(ours.process.get())), "");
  EXPECT_EQ(holder_name(GetProcessId(other.process.get())), "tadb.exe");
}

}  // namespace
