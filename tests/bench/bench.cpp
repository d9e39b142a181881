// Measures what a user waits for, each figure the median of several runs, against a baseline
// measured in the same run so the ratios hold on a noisy machine. Prints a Markdown table.
//   bench [runs]     the table
//   bench batch      a batch uninstall of 50 packages, and how fast the window answers meanwhile
//   bench cpu        only the processor time of the program while it waits for a command
//   bench boxes RUNS only listing and filtering
//   bench real [RUNS] listing through Google's adb (the 32-bit build only)
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "tests/windows/paths.h"
#include "tests/windows/support.h"
#include "tests/windows/user.h"
#include "tests/windows/wire_phone.h"

using namespace e2e;
using namespace support;

namespace {

// TOLVEXA_BENCH_EXE measures another build of the program (an older one, say) by the same
// yardstick.
std::wstring tolvexa_under_test() {
  wchar_t other[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"TOLVEXA_BENCH_EXE", other, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(other, n) : widen(wine_path(TOLVEXA_EXE));
}
const std::wstring kTolvexa = tolvexa_under_test();
const std::wstring kBaseline = widen(wine_path(BASELINE_EXE));
int g_runs = 5;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double median_of(const std::function<double()>& measure) {
  std::vector<double> values;
  for (int i = 0; i < g_runs; ++i) values.push_back(measure());
  return median(values);
}

Environment phone(int packages) { return {{L"TOLVEXA_ADB_PACKAGES", std::to_wstring(packages)}}; }

void reset_phone() { DeleteFileW(L"c:\\adb\\adb_sim_state.txt"); }

void row(const char* what, double ms, const char* against, double baseline_ms) {
  if (baseline_ms > 0)
    std::printf("| %s | %.0f ms | %s | %.0f ms | %.2f |\n", what, ms, against, baseline_ms,
                ms / baseline_ms);
  else
    std::printf("| %s | %.0f ms | %s | | |\n", what, ms, against);
  std::fflush(stdout);
}

// Launch to visible window.
double start_time(const std::wstring& exe) {
  double start = now_ms();
  App app(exe);
  double shown = now_ms() - start;
  if (!app.ready()) std::fprintf(stderr, "no window: %s\n", app.error().c_str());
  app.close();
  DWORD code;
  app.wait_exit(10000, &code);
  return shown;
}

double bare_command(const std::wstring& command, int packages) {
  double start = now_ms();
  run_program(L"cmd.exe /c " + command, phone(packages));
  return now_ms() - start;
}

// Clicks a button and waits until it is enabled again and the log box holds what is expected.
double click_until(App& app, Control button,
                   const std::function<bool(const std::wstring&)>& log_done) {
  double start = now_ms();
  app.click(button);
  wait_until([&] { return app.enabled(button) && log_done(app.text(Box::log)); }, 120000, 1);
  return now_ms() - start;
}

std::wstring count_line(bool listing, int n) {
  return (listing ? L"APP数量为： " : L"APP数量为：") + std::to_wstring(n);
}

// 看所有包 on a phone of that many packages, click to done, against the bare command through
// cmd.exe; one row of the table.
void listing_row(App& app, int packages) {
  double listing = median_of([&] {
    app.set_text(Box::log, L"");
    return click_until(app, Button::list_all, [&](const std::wstring& log) {
      return log.rfind(count_line(true, packages) + L"\r\n", 0) == 0;
    });
  });
  size_t lines = split_lines(app.text(Box::list)).size();
  if (lines != static_cast<size_t>(packages))
    std::fprintf(stderr, "listed %zu lines, expected %d\n", lines, packages);
  double bare =
      median_of([&] { return bare_command(L"c:\\adb\\adb.exe shell pm list packages", packages); });
  std::string what = "list " + std::to_string(packages) + " packages: click to done";
  row(what.c_str(), listing, "bare command through cmd.exe /c", bare);
}

// Lists a phone of 350 packages, filters to its 50 generated ones and uninstalls them in one
// batch, asking the window for its log text every 10 ms meanwhile.
int batch_of_50() {
  reset_phone();
  App app(kTolvexa, phone(350));
  click_until(app, Button::list_all, [](const std::wstring& log) { return !log.empty(); });
  app.set_text(Box::name, L"generated");
  app.click(Button::filter);
  wait_until([&] { return app.text(Box::log) == count_line(false, 50); }, 10000);
  app.click(Button::batch);
  MessageBoxInfo box;
  if (!app.wait_message_box(box, 10000)) return 1;
  double start = now_ms();
  app.answer(box.hwnd, IDOK);
  std::vector<double> answers;
  for (;;) {
    double asked = now_ms();
    std::wstring log = app.text(Box::log);
    answers.push_back(now_ms() - asked);
    const std::wstring done = L"完成...\r\n";
    if (log.size() >= done.size() && log.compare(log.size() - done.size(), done.size(), done) == 0)
      break;
    if (now_ms() - start > 300000) return 1;
    Sleep(10);
  }
  double total = now_ms() - start;
  std::sort(answers.begin(), answers.end());
  std::printf(
      "batch of 50 packages: %.1f s; the window answered %zu requests meanwhile, median "
      "%.1f ms, 99th percentile %.1f ms, slowest %.1f ms\n",
      total / 1000, answers.size(), answers[answers.size() / 2], answers[answers.size() * 99 / 100],
      answers.back());
  reset_phone();
  return 0;
}

#ifdef TOLVEXA_REAL_EXE
// Listing 300 and 3,000 packages through Google's adb, against the phone on the wire: click to
// done against the bare command through cmd.exe, both with adb's server already running.
int real_adb_listing() {
  kill_processes_named(L"Tolvexa.exe");
  kill_processes_named(L"adb.exe");
  remove_tree(L"c:\\adb");  // the program deploys Google's adb in place of the stand-in
  std::printf(
      "| measured (Google's adb 1.0.40) | Tolvexa | baseline | baseline | ratio |\n"
      "|---|---|---|---|---|\n");
  for (int packages : {300, 3000}) {
    WirePhone phone(L"--port 5555 --packages " + std::to_wstring(packages));
    if (!phone.ready()) return std::fprintf(stderr, "the phone on the wire did not start\n"), 1;
    App app(widen(wine_path(TOLVEXA_REAL_EXE)));
    if (!app.ready()) return std::fprintf(stderr, "no window: %s\n", app.error().c_str()), 1;
    // The server starts and finds the phone before anything is timed.
    for (int i = 0; i < 20; ++i) {
      click_until(app, Button::connect, [](const std::wstring& log) {
        return log.find(L"List of devices attached") != std::wstring::npos;
      });
      if (app.text(Box::log).find(L"emulator-5554\tdevice") != std::wstring::npos) break;
      Sleep(250);
    }
    listing_row(app, packages);
    app.close();
    DWORD code;
    app.wait_exit(10000, &code);
    kill_processes_named(L"adb.exe");
  }
  // The next start deploys the stand-in again, which the other figures are measured with.
  remove_tree(L"c:\\adb");
  return 0;
}
#endif

}  // namespace

// An 8-second connect, watched from here only every 250 ms so that the watching costs the
// program next to nothing. scripts/bench reads the program's processor time meanwhile from the
// host (Wine does not report another process's times).
void processor_time_while_waiting() {
  App app(kTolvexa, {{L"TOLVEXA_ADB_DELAY_MS", L"8000"}});
  double start = now_ms();
  app.click(Button::connect);
  wait_until(
      [&] {
        return app.enabled(Button::connect) &&
               app.text(Box::log).find(L"List of devices attached") != std::wstring::npos;
      },
      120000, 250);
  std::printf("connect with an 8-second answer: click to done %.0f ms\n", now_ms() - start);
  app.close();
  DWORD code;
  app.wait_exit(10000, &code);
}

// Listing and filtering 300, 3,000 and 10,000 packages; returns the peak working set (KB)
// after the largest listing.
double listing_and_filtering() {
  double peak_kb = 0;
  for (int packages : {300, 3000, 10000}) {
    App app(kTolvexa, phone(packages));
    listing_row(app, packages);

    // Filtering keeps every generated package (or every package of a small phone).
    std::wstring filter = packages > 300 ? L"generated" : L".";
    app.set_text(Box::name, filter);
    std::wstring list = app.text(Box::list);
    double filtering = median_of([&] {
      app.set_text(Box::list, list);
      app.set_text(Box::log, L"");
      return click_until(app, Button::filter, [](const std::wstring& log) { return !log.empty(); });
    });
    std::string what = "filter " + std::to_string(packages) + " lines: click to done";
    row(what.c_str(), filtering, "", 0);

    if (packages == 10000) {
      PROCESS_MEMORY_COUNTERS counters{};
      GetProcessMemoryInfo(app.process(), &counters, sizeof counters);
      peak_kb = counters.PeakWorkingSetSize / 1024.0;
    }
    app.close();
    DWORD code;
    app.wait_exit(10000, &code);
  }
  return peak_kb;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "batch") return batch_of_50();
  if (argc > 1 && std::string(argv[1]) == "cpu") return processor_time_while_waiting(), 0;
#ifdef TOLVEXA_REAL_EXE
  if (argc > 1 && std::string(argv[1]) == "real") {
    if (argc > 2) g_runs = std::max(1, std::atoi(argv[2]));
    return real_adb_listing();
  }
#endif
  if (argc > 2 && std::string(argv[1]) == "boxes") {
    // Only the rows that the updating of the edit boxes decides.
    g_runs = std::max(1, std::atoi(argv[2]));
    reset_phone();
    std::printf("| measured | Tolvexa | baseline | baseline | ratio |\n|---|---|---|---|---|\n");
    listing_and_filtering();
    return 0;
  }
  if (argc > 1) g_runs = std::max(1, std::atoi(argv[1]));
  reset_phone();
  std::printf("| measured | Tolvexa | baseline | baseline | ratio |\n|---|---|---|---|---|\n");

  // Start-up with c:\adb\adb.exe present.
  start_time(kTolvexa);  // deploys if needed, and warms the caches
  double warm = median_of([] { return start_time(kTolvexa); });
  double baseline = median_of([] { return start_time(kBaseline); });
  row("start-up, adb present: launch to visible window", warm, "minimal window program", baseline);

  double first = median_of([] {
    remove_tree(L"c:\\adb");
    return start_time(kTolvexa);
  });
  row("first start (deploys c:\\adb): launch to visible window", first,
      "of which the four 200 ms pauses", 800);

  double peak_kb = listing_and_filtering();

  {
    App app(kTolvexa);
    double connect = median_of([&] {
      app.set_text(Box::log, L"");
      return click_until(app, Button::connect, [](const std::wstring& log) {
        return log.find(L"List of devices attached") != std::wstring::npos;
      });
    });
    double bare = median_of([] { return bare_command(L"c:\\adb\\adb.exe devices", 300); });
    row("connect: click to done", connect, "bare command through cmd.exe /c", bare);
    app.close();
    DWORD code;
    app.wait_exit(10000, &code);
  }
  std::printf("| peak working set after listing 10,000 packages | %.1f MB | | | |\n",
              peak_kb / 1024);
  reset_phone();
  return 0;
}
