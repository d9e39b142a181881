// End-to-end tests: the real Tolvexa.exe against the simulated phone behind c:\adb\adb.exe,
// used from this process as a user would, through its window and its message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/controls.h"
#include "exec/handle.h"
#include "tests/windows/paths.h"
#include "tests/windows/program.h"

namespace {

using e2e::App;
using e2e::Control;
using e2e::Environment;
using e2e::MessageBoxInfo;

const std::wstring kAdbFolder = L"c:\\adb";
const std::wstring kAdb = L"c:\\adb\\adb.exe";
const std::wstring kInjected = L"c:\\adb\\injected.txt";
const std::wstring kInstaller = L"c:\\adb\\ADBDriverInstaller.exe";

constexpr int kActionTimeoutMs = 20000;  // one adb command through cmd.exe, with room to spare

const std::wstring kListCount = L"APP数量为： ";
const std::wstring kFilterCount = L"APP数量为：";
const std::wstring kCaption = L"信息：";

using e2e::as_listing;
using e2e::kDeployed;
using e2e::kStateFile;
using e2e::standin;
using e2e::tolvexa_exe;

// What the simulated phone answers, asked directly rather than through the program.
std::wstring adb_output(const std::wstring& arguments, const Environment& environment = {}) {
  e2e::Output output = e2e::run_program(kAdb + L" " + arguments, environment);
  EXPECT_TRUE(output.started);
  EXPECT_EQ(output.exit_code, 0u);
  return support::widen(output.text);
}

std::vector<std::wstring> phone_packages(const Environment& environment = {}) {
  return e2e::package_names(adb_output(L"shell pm list packages", environment));
}

std::vector<std::wstring> phone_packages_with_uninstalled() {
  return e2e::package_names(adb_output(L"shell pm list packages -u"));
}

std::vector<std::wstring> containing(const std::vector<std::wstring>& names,
                                     const std::wstring& part) {
  std::vector<std::wstring> kept;
  for (const std::wstring& name : names)
    if (name.find(part) != std::wstring::npos) kept.push_back(name);
  return kept;
}

std::vector<std::wstring> without(std::vector<std::wstring> names, const std::wstring& name) {
  names.erase(std::remove(names.begin(), names.end(), name), names.end());
  return names;
}

// Where two long texts part, for a readable failure.
std::string difference(const std::wstring& expected, const std::wstring& actual) {
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  if (at == expected.size() && at == actual.size()) return "equal";
  size_t from = at < 40 ? 0 : at - 40;
  return "lengths " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) +
         ", first difference at " + std::to_string(at) + ": expected \"" +
         support::narrow(expected.substr(from, 80)) + "\", got \"" +
         support::narrow(actual.substr(from, 80)) + "\"";
}

std::string boxes(const App& app) {
  std::string all;
  for (const std::wstring& text : app.boxes_seen()) all += "[" + support::narrow(text) + "] ";
  return all;
}

// "APP数量为： n", CR LF, and the summary by class, whose five counts add up to n.
bool is_count_and_summary(const std::wstring& log, size_t n) {
  std::wstring count = kListCount + std::to_wstring(n) + L"\r\n";
  if (log.compare(0, count.size(), count) != 0) return false;
  const wchar_t* parts[] = {L"其中建议卸载 ",  L" 个，可以卸载 ", L" 个，谨慎 ",
                            L" 个，不要卸载 ", L" 个，未收录 ",   L" 个。"};
  size_t at = count.size(), sum = 0;
  for (int i = 0; i < 6; ++i) {
    std::wstring part = parts[i];
    if (log.compare(at, part.size(), part) != 0) return false;
    at += part.size();
    if (i == 5) break;
    size_t digits = 0;
    while (at + digits < log.size() && iswdigit(log[at + digits])) ++digits;
    if (digits == 0) return false;
    sum += std::stoul(log.substr(at, digits));
    at += digits;
  }
  return at == log.size() && sum == n;
}

// True when the process shows the driver helper's window.
bool shows_driver_help(DWORD process) {
  struct Search {
    DWORD process;
    bool found;
  } search = {process, false};
  EnumWindows(
      +[](HWND hwnd, LPARAM param) WINAPI -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t title[64] = {};
        GetWindowTextW(hwnd, title, 64);
        if (owner == s->process && IsWindowVisible(hwnd) &&
            std::wstring(title) == L"手机 USB 驱动帮助")
          s->found = true;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::start_afresh();
    DeleteFileW(kInjected.c_str());
  }

  void TearDown() override { e2e::kill_processes_named(L"adb.exe"); }

  // Clicks 看所有包 and waits for the listing of these names and its count.
  static void list_all(App& app, const std::vector<std::wstring>& names) {
    std::wstring listing = as_listing(names);
    ASSERT_NE(app.text(Box::list), listing) << "the list box already holds this listing";
    ASSERT_TRUE(app.click(Button::list_all));
    std::wstring list;
    bool listed = support::wait_until(
        [&] {
          list = app.text(Box::list);
          return list == listing && is_count_and_summary(app.text(Box::log), names.size()) &&
                 app.enabled(Button::list_all);
        },
        kActionTimeoutMs);
    ASSERT_TRUE(listed) << difference(listing, list) << "; log \""
                        << support::narrow(app.text(Box::log)) << "\"";
  }

  // Clicks a button and waits until the log box reads `log` and the button is enabled again.
  static void click_and_expect_log(App& app, Control button, const std::wstring& log) {
    ASSERT_TRUE(app.click(button));
    std::wstring last;
    bool done = support::wait_until(
        [&] { return (last = app.text(Box::log)) == log && app.enabled(button); },
        kActionTimeoutMs);
    ASSERT_TRUE(done) << difference(log, last);
  }

  // Waits for a message box of the program and checks its caption and text.
  static MessageBoxInfo expect_message_box(App& app, const std::wstring& text) {
    MessageBoxInfo info;
    EXPECT_TRUE(app.wait_message_box(info, 10000))
        << "no message box \"" << support::narrow(text) << "\"";
    EXPECT_EQ(info.caption, kCaption);
    EXPECT_EQ(info.text, text);
    return info;
  }

  // Checks that the program ends well within the time, having shown no message boxes but the
  // ones the test answered.
  static void expect_clean_end(App& app, size_t boxes_answered, int timeout_ms, const char* what) {
    DWORD code = 0xDEAD;
    ASSERT_TRUE(app.wait_exit(timeout_ms, &code)) << what;
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(app.boxes_seen().size(), boxes_answered) << boxes(app);
  }

  // Closes the window as its close box does and checks that the program ends well.
  static void expect_clean_close(App& app, size_t boxes_answered) {
    app.close();
    expect_clean_end(app, boxes_answered, 10000, "the program did not end");
  }

  // Closes the window and checks that the program ends well within the time, and that the
  // adb.exe processes it started end soon after it, leaving the given number of others.
  static void expect_close_ends_our_adb(App& app, int timeout_ms, const char* what,
                                        int adb_timeout_ms, size_t others = 0) {
    app.close();
    expect_clean_end(app, 0, timeout_ms, what);
    EXPECT_TRUE(support::wait_until(
        [&] { return support::processes_named(L"adb.exe").size() == others; }, adb_timeout_ms))
        << "an adb.exe of ours outlived the program";
  }
};

// The window at 96 DPI, in client coordinates.
struct Expected {
  Control id;
  int x, y, width, height;
  const wchar_t* caption;  // null for the boxes
  bool visible;
} kLayout[] = {
    {Button::connect, 3, 5, 64, 24, L"连接设备", true},
    {Button::driver, 3, 39, 64, 24, L"通用驱动", true},
    {Box::log, 70, 5, 570, 160, nullptr, true},
    {Button::uninstall, 3, 176, 64, 20, L"卸载", true},
    {Box::name, 72, 176, 496, 20, nullptr, true},
    {Button::restore, 576, 176, 64, 20, L"恢复", true},
    {Box::list, 72, 205, 568, 296, nullptr, true},
    {Button::filter, 3, 232, 64, 24, L"筛选", true},
    {Button::list_all, 3, 264, 64, 24, L"看所有包", true},
    {Button::list_uninstalled, 3, 296, 64, 24, L"已卸载包", false},
    {Button::recommend, 3, 328, 64, 24, L"推荐卸载", true},
    {Button::explain, 3, 360, 64, 24, L"查看说明", true},
    {Button::list_removed, 3, 392, 64, 24, L"已卸载的", true},
    {Button::batch_restore, 3, 424, 64, 24, L"批量恢复", true},
    {Button::batch, 3, 476, 64, 24, L"批量卸载", true},
};

TEST_F(EndToEnd, WindowAndControlsAreLaidOutAsDesigned) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();

  EXPECT_EQ(app.text_of(app.window()), L"Tolvexa");
  RECT outer{};
  GetWindowRect(app.window(), &outer);
  EXPECT_EQ(outer.right - outer.left, 650);
  EXPECT_EQ(outer.bottom - outer.top, 532);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 650) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 532) / 2);
  LONG style = GetWindowLongW(app.window(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);

  for (const Expected& c : kLayout) {
    SCOPED_TRACE("control " + std::to_string(c.id.id));
    ASSERT_NE(app.control(c.id), nullptr);
    RECT r = app.rect_in_client(c.id);
    EXPECT_EQ(r.left, c.x);
    EXPECT_EQ(r.top, c.y);
    EXPECT_EQ(r.right - r.left, c.width);
    EXPECT_EQ(r.bottom - r.top, c.height);
    EXPECT_EQ(app.visible(c.id), c.visible);
    EXPECT_TRUE(app.enabled(c.id));
    if (c.caption) {
      EXPECT_EQ(app.text(c.id), c.caption);
    } else {
      EXPECT_EQ(app.text(c.id), L"");
      EXPECT_EQ((app.style(c.id) & ES_MULTILINE) != 0, c.id.id != Control(Box::name).id);
      // The edit control's default limit of about 32,000 characters would cut a listing.
      DWORD_PTR limit = 0;
      SendMessageTimeoutW(app.control(c.id), EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 5000, &limit);
      EXPECT_GT(limit, 1000000u);
    }
  }
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, FirstStartDeploysAdbAndItsLibraries) {
  support::remove_tree(kAdbFolder);
  ASSERT_FALSE(support::file_exists(kAdbFolder));

  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  for (const wchar_t* name : kDeployed) {
    SCOPED_TRACE(support::narrow(name));
    std::string deployed = support::read_file(kAdbFolder + L"\\" + name);
    std::string built = support::read_file(standin(name));
    ASSERT_FALSE(built.empty());
    EXPECT_TRUE(deployed == built)
        << "deployed " << deployed.size() << " bytes, built " << built.size();
  }
  WIN32_FIND_DATAW found{};
  HANDLE leftovers = FindFirstFileW(L"c:\\adb\\*.part", &found);
  EXPECT_EQ(leftovers, INVALID_HANDLE_VALUE) << "a temporary file was left behind";
  if (leftovers != INVALID_HANDLE_VALUE) FindClose(leftovers);
  // The deployed simulator answers.
  EXPECT_EQ(phone_packages().size(), 300u);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, ListingShowsEveryPackageAndCountsThem) {
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_DELAY_MS", L"1500"}});
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages();
  ASSERT_EQ(names.size(), 300u);
  app.set_text(Box::list, L"stale\r\n");

  ASSERT_TRUE(app.click(Button::list_all));
  ASSERT_TRUE(app.wait_enabled(Button::list_all, false, 1000)) << "the button stayed enabled";
  // While adb answers, the button stays disabled, the list is empty and the window responds.
  Sleep(500);
  EXPECT_FALSE(app.enabled(Button::list_all));
  EXPECT_EQ(app.text(Box::list), L"");
  app.set_text(Box::name, L"typed meanwhile");
  EXPECT_EQ(app.text(Box::name), L"typed meanwhile");

  ASSERT_TRUE(app.wait_enabled(Button::list_all, true, kActionTimeoutMs));
  std::wstring listing = app.text(Box::list);
  EXPECT_EQ(listing, as_listing(names)) << difference(as_listing(names), listing);
  EXPECT_TRUE(is_count_and_summary(app.text(Box::log), 300)) << support::narrow(app.text(Box::log));
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, LongListingIsNotCut) {
  Environment phone{{L"TOLVEXA_ADB_PACKAGES", L"1500"}};
  App app(tolvexa_exe(), phone);
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages(phone);
  ASSERT_EQ(names.size(), 1500u);
  ASSERT_GT(as_listing(names).size(), 40000u);
  list_all(app, names);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, KeysMoveTheFocusAndEscCloses) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  auto focus_on = [&](Control id) { return [&app, id] { return app.focus() == app.control(id); }; };
  ASSERT_TRUE(support::wait_until(focus_on(Box::name), 5000)) << "the name box has no focus";

  // One round from the name box; the hidden 已卸载包 is passed over.
  const Control forward[] = {Box::list,
                             Button::filter,
                             Button::list_all,
                             Button::recommend,
                             Button::explain,
                             Button::list_removed,
                             Button::batch_restore,
                             Button::driver,
                             Button::connect,
                             Button::restore,
                             Button::batch,
                             Box::log,
                             Button::uninstall,
                             Box::name};
  for (Control id : forward) {
    app.press_key(VK_TAB);
    ASSERT_TRUE(support::wait_until(focus_on(id), 3000))
        << "Tab did not reach control " << id.id << ", focus on " << GetDlgCtrlID(app.focus());
  }

  // Enter in the name box neither changes it nor runs anything; the Tab after it shows
  // that it was handled.
  app.set_text(Box::name, L"com.miui.notes");
  app.press_key(VK_RETURN);
  app.press_key(VK_TAB);
  ASSERT_TRUE(support::wait_until(focus_on(Box::list), 3000));
  EXPECT_EQ(app.text(Box::name), L"com.miui.notes");
  EXPECT_EQ(app.text(Box::log), L"");
  EXPECT_EQ(app.text(Box::list), L"");
  EXPECT_TRUE(app.message_boxes().empty());

  // Shift+Tab goes the other way, again passing over the hidden button.
  const Control backward[] = {Box::name,     Button::uninstall, Box::log,
                              Button::batch, Button::restore,   Button::connect};
  for (Control id : backward)
    ASSERT_TRUE(app.press_shifted_key(VK_TAB, focus_on(id), 3000))
        << "Shift+Tab did not reach control " << id.id << ", focus on "
        << GetDlgCtrlID(app.focus());

  app.press_key(VK_ESCAPE);
  expect_clean_end(app, 0, 5000, "Esc did not end the program");
}

TEST_F(EndToEnd, KeysWhileAButtonHasDisabledItself) {
  App app(tolvexa_exe(), Environment{{L"TOLVEXA_ADB_DELAY_MS", L"4000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  auto focus_on = [&](Control id) { return [&app, id] { return app.focus() == app.control(id); }; };
  ASSERT_TRUE(support::wait_until(focus_on(Box::name), 5000));

  // Enter in the list box is a line break.
  app.press_key(VK_TAB);
  ASSERT_TRUE(support::wait_until(focus_on(Box::list), 3000));
  app.press_key(VK_RETURN);
  ASSERT_TRUE(app.wait_text(
      Box::list, [](const std::wstring& t) { return t == L"\r\n"; }, 3000));

  // The space bar clicks the focused 看所有包, which disables itself while adb answers.
  app.press_key(VK_TAB);
  app.press_key(VK_TAB);
  ASSERT_TRUE(support::wait_until(focus_on(Button::list_all), 3000));
  app.press_key(VK_SPACE);
  ASSERT_TRUE(app.wait_enabled(Button::list_all, false, 3000));

  // Tab goes on from the disabled button; Shift+Tab passes over it.
  app.press_key(VK_TAB);
  ASSERT_TRUE(support::wait_until(focus_on(Button::recommend), 3000))
      << "focus on " << GetDlgCtrlID(app.focus());
  ASSERT_TRUE(app.press_shifted_key(VK_TAB, focus_on(Button::filter), 3000))
      << "focus on " << GetDlgCtrlID(app.focus());
  EXPECT_FALSE(app.enabled(Button::list_all));

  // Esc closes at once, while the listing still waits.
  app.press_key(VK_ESCAPE);
  expect_clean_end(app, 0, 3000, "Esc did not end the program");
}

TEST_F(EndToEnd, EscClosesWhenNoControlHasTheFocus) {
  App app(tolvexa_exe(), Environment{{L"TOLVEXA_ADB_DELAY_MS", L"4000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  ASSERT_TRUE(app.click(Button::list_all));
  ASSERT_TRUE(app.wait_enabled(Button::list_all, false, 3000));
  // Take the focus from every window of the program's thread.
  DWORD own = GetCurrentThreadId(), program = GetWindowThreadProcessId(app.window(), nullptr);
  ASSERT_TRUE(AttachThreadInput(own, program, TRUE));
  SetFocus(nullptr);
  AttachThreadInput(own, program, FALSE);
  ASSERT_EQ(app.focus(), nullptr);
  // With no focus, a key reaches the active window as a system key.
  PostMessageW(app.window(), WM_SYSKEYDOWN, VK_ESCAPE, 1);
  expect_clean_end(app, 0, 3000, "Esc did not end the program");
}

TEST_F(EndToEnd, ClosingWhileAListingWaitsEndsAtOnce) {
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_DELAY_MS", L"3000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  ASSERT_TRUE(app.click(Button::list_all));
  ASSERT_TRUE(app.wait_enabled(Button::list_all, false, 1000));
  // Wait for the simulated adb to be running, so the close meets a listing in progress.
  ASSERT_TRUE(
      support::wait_until([] { return !support::processes_named(L"adb.exe").empty(); }, 2000));

  // The adb the listing started does not outlive the program.
  expect_close_ends_our_adb(app, 2500, "the program waited for adb's answer", 1000);
}

TEST_F(EndToEnd, ConnectListAndFilter) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages();

  click_and_expect_log(app, Button::connect, L"连接设备中...\r\n" + adb_output(L"devices"));
  list_all(app, names);

  std::vector<std::wstring> miui = containing(names, L"miui");
  ASSERT_GT(miui.size(), 1u);
  app.set_text(Box::name, L"miui");
  ASSERT_TRUE(app.click(Button::filter));
  std::wstring list;
  EXPECT_TRUE(app.wait_text(
      Box::list, [&](const std::wstring& t) { return t == as_listing(miui); }, 5000, &list))
      << difference(as_listing(miui), list);
  EXPECT_TRUE(app.wait_text(
      Box::log,
      [&](const std::wstring& t) { return t == kFilterCount + std::to_wstring(miui.size()); },
      5000));

  // Filtering with an empty name box only asks for a filter text.
  app.set_text(Box::name, L"");
  ASSERT_TRUE(app.click(Button::filter));
  MessageBoxInfo box = expect_message_box(app, L"请在执行按钮后的编辑框填写筛选的内容");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  EXPECT_EQ(app.text(Box::list), as_listing(miui));
  expect_clean_close(app, 1);
}

TEST_F(EndToEnd, UninstallAndRestoreOnePackage) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages();
  list_all(app, names);

  // An app of the vendor's own, which is removed without a question.
  const std::wstring name = L"com.miui.notes";
  ASSERT_NE(std::find(names.begin(), names.end(), name), names.end());
  app.set_text(Box::name, name);
  click_and_expect_log(app, Button::uninstall,
                       L"卸载APP中，请稍后...\r\nSuccess\r\n\r\n完成...\r\n");
  list_all(app, without(names, name));

  // The hidden 已卸载包 button, clicked all the same, lists the uninstalled package too.
  std::vector<std::wstring> all = phone_packages_with_uninstalled();
  ASSERT_EQ(all.size(), names.size());
  app.set_text(Box::log, L"");
  PostMessageW(app.control(Button::list_uninstalled), BM_CLICK, 0, 0);
  ASSERT_TRUE(support::wait_until(
      [&] {
        return app.text(Box::list) == as_listing(all) &&
               is_count_and_summary(app.text(Box::log), all.size()) &&
               app.enabled(Button::list_uninstalled);
      },
      kActionTimeoutMs));
  app.set_text(Box::list, L"");

  click_and_expect_log(
      app, Button::restore,
      L"恢复APP，请稍后...\r\nPackage " + name + L" installed for user: 0\r\n\r\n");
  list_all(app, names);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, OutputGoesToTheEndWhateverTheUserSelected) {
  App app(tolvexa_exe(), Environment{{L"TOLVEXA_ADB_DELAY_MS", L"1500"}});
  ASSERT_TRUE(app.ready()) << app.error();
  app.set_text(Box::name, L"com.miui.notes");
  ASSERT_TRUE(app.click(Button::uninstall));
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return !t.empty(); }, 5000));
  // While adb answers, the user selects part of the progress line.
  SendMessageW(app.control(Box::log), EM_SETSEL, 2, 5);
  ASSERT_TRUE(app.wait_enabled(Button::uninstall, true, kActionTimeoutMs));
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return t.size() > 20; }, 5000));
  EXPECT_EQ(app.text(Box::log), L"卸载APP中，请稍后...\r\nSuccess\r\n\r\n完成...\r\n");
  DWORD start = 0, end = 0;
  SendMessageW(app.control(Box::log), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, app.text(Box::log).size());  // the caret is after the text
  EXPECT_EQ(end, start);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, BatchUninstallAsksThenRemovesEachListedPackage) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages();
  list_all(app, names);

  std::vector<std::wstring> chosen = containing(names, L"taobao");
  ASSERT_GE(chosen.size(), 2u);
  ASSERT_LE(chosen.size(), 3u);
  app.set_text(Box::name, L"taobao");
  ASSERT_TRUE(app.click(Button::filter));
  const std::wstring count = kFilterCount + std::to_wstring(chosen.size());
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == count; }, 5000));
  ASSERT_EQ(app.text(Box::list), as_listing(chosen));

  // Cancel: nothing happens.
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo question = expect_message_box(app, L"是否批量卸载编辑框里的app");
  EXPECT_TRUE(question.has_ok);
  EXPECT_TRUE(question.has_cancel);
  ASSERT_TRUE(app.answer(question.hwnd, IDCANCEL));
  Sleep(500);
  EXPECT_EQ(app.text(Box::log), count);
  EXPECT_TRUE(app.enabled(Button::batch));
  EXPECT_FALSE(support::file_exists(kStateFile));

  // OK, then Yes to the question about the ordinary apps among them (which the phone deletes
  // outright): each listed package is uninstalled in turn, a second apart.
  const std::vector<std::wstring> ordinary =
      e2e::split_lines(adb_output(L"shell pm list packages -3"));
  size_t ordinary_chosen = 0;
  for (const std::wstring& name : chosen)
    ordinary_chosen += std::count(ordinary.begin(), ordinary.end(), L"package:" + name);
  ASSERT_GE(ordinary_chosen, 1u) << "the listing should hold an ordinary app";
  ASSERT_TRUE(app.click(Button::batch));
  question = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(app.answer(question.hwnd, IDOK));
  MessageBoxInfo own;
  ASSERT_TRUE(app.wait_message_box(own, 10000));
  EXPECT_EQ(own.text.rfind(L"列表里有 " + std::to_wstring(ordinary_chosen) + L" 个用户应用", 0), 0u)
      << support::narrow(own.text);
  EXPECT_TRUE(own.has_yes && own.has_no && own.has_cancel);
  EXPECT_EQ(own.default_button, IDNO);
  ASSERT_TRUE(app.answer(own.hwnd, IDYES));
  EXPECT_TRUE(app.wait_enabled(Button::batch, false, 2000));
  std::wstring log = L"准备卸载APP...\r\n";
  for (const std::wstring& name : chosen)
    log += L"卸载: <" + name + L"> 中，请稍后...\r\nSuccess\r\n\r\n";
  const std::wstring n = std::to_wstring(chosen.size());
  log += L"完成...\r\n共 " + n + L" 个：卸载了 " + n +
         L" 个，停用了 0 个，跳过 0 个，没有成功 0 个。\r\n";
  std::wstring last;
  ASSERT_TRUE(support::wait_until(
      [&] { return (last = app.text(Box::log)) == log && app.enabled(Button::batch); },
      kActionTimeoutMs * static_cast<int>(chosen.size())))
      << difference(log, last);
  EXPECT_GE(GetTickCount64() - started, 900u * chosen.size()) << "no pause between packages";

  std::vector<std::wstring> removed =
      e2e::split_lines(support::widen(support::read_file(kStateFile)));
  std::sort(removed.begin(), removed.end());
  std::sort(chosen.begin(), chosen.end());
  EXPECT_EQ(removed, chosen);
  expect_clean_close(app, 3);
}

TEST_F(EndToEnd, MissingOrUnsafeNamesRunNothing) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  size_t answered = 0;

  app.set_text(Box::name, L"");
  ASSERT_TRUE(app.click(Button::uninstall));
  MessageBoxInfo box = expect_message_box(app, L"还没填写包名呢...");
  EXPECT_TRUE(box.has_ok);
  EXPECT_FALSE(box.has_cancel);
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  ++answered;

  // A name that would make cmd.exe run a second command is refused before anything runs.
  const std::wstring unsafe = L"com.baidu.searchbox&echo injected>" + kInjected;
  for (Button button : {Button::uninstall, Button::restore}) {
    SCOPED_TRACE("button " + std::to_string(Control(button).id));
    app.set_text(Box::name, unsafe);
    ASSERT_TRUE(app.click(button));
    box = expect_message_box(app, L"包名含有不能使用的字符");
    ASSERT_TRUE(app.answer(box.hwnd, IDOK));
    ++answered;
    EXPECT_EQ(app.text(Box::log), L"");
    EXPECT_TRUE(app.enabled(button));
  }

  // The batch skips an unsafe line and goes on with the next.
  app.set_text(Box::list, unsafe + L"\r\ncom.sina.weibo\r\n");
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo question = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(question.hwnd, IDOK));
  ++answered;
  std::wstring log = L"准备卸载APP...\r\n卸载: <" + unsafe +
                     L"> 中，请稍后...\r\n包名含有不能使用的字符，已跳过\r\n"
                     L"卸载: <com.sina.weibo> 中，请稍后...\r\nSuccess\r\n\r\n完成...\r\n"
                     L"共 2 个：卸载了 1 个，停用了 0 个，跳过 1 个，没有成功 0 个。\r\n";
  std::wstring last;
  EXPECT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == log; }, kActionTimeoutMs, &last))
      << difference(log, last);

  EXPECT_FALSE(support::file_exists(kInjected)) << "an unsafe name reached the command line";
  EXPECT_EQ(support::read_file(kStateFile), "com.sina.weibo\r\n");
  expect_clean_close(app, answered);
}

TEST_F(EndToEnd, EscDuringABatchEndsTheProgram) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  const std::vector<std::wstring> names = {L"com.miui.video", L"com.miui.notes",
                                           L"com.miui.player"};
  app.set_text(Box::list, as_listing(names));

  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo question = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(question.hwnd, IDOK));
  // Esc in the pause after the first package.
  const std::wstring first = L"卸载: <" + names.front() + L"> 中，请稍后...\r\nSuccess\r\n";
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t.find(first) != std::wstring::npos; },
      kActionTimeoutMs));
  app.press_key(VK_ESCAPE);
  expect_clean_end(app, 1, 5000, "Esc did not end the program during a batch");
}

TEST_F(EndToEnd, DriverButtonWritesAndStartsTheInstaller) {
  DeleteFileW(kInstaller.c_str());
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();

  ASSERT_TRUE(app.click(Button::driver));
  std::vector<DWORD> installers;
  ASSERT_TRUE(support::wait_until(
      [&] { return !(installers = support::processes_named(L"ADBDriverInstaller.exe")).empty(); },
      10000))
      << "the installer did not start";
  EXPECT_TRUE(support::read_file(kInstaller) ==
              support::read_file(support::widen(wine_path(DRIVER_HELPER_EXE))));
  // The driver helper explains itself in a window of its own.
  EXPECT_TRUE(support::wait_until([&] { return shows_driver_help(installers.front()); }, 10000))
      << "the driver helper's window did not show";
  for (DWORD id : installers) support::end_process(id);

  EXPECT_TRUE(app.enabled(Button::driver));
  expect_clean_close(app, 0);
}

// A copy of the test program emit.exe under another name stands for a program planted where
// ours should run: run, it leaves "<its path>.ran" beside itself.
void plant(const std::wstring& path) {
  ASSERT_TRUE(CopyFileW(support::widen(wine_path(EMIT_EXE)).c_str(), path.c_str(), FALSE));
  DeleteFileW((path + L".ran").c_str());
}

bool planted_ran(const std::wstring& path) { return support::file_exists(path + L".ran"); }

TEST_F(EndToEnd, PlantedProgramsDoNotRun) {
  // adb.com beside our adb.exe: a command line without the extension would run it first.
  const std::wstring adb_com = L"c:\\adb\\adb.com";
  {
    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    plant(adb_com);
    list_all(app, phone_packages());
    expect_clean_close(app, 0);
  }
  EXPECT_FALSE(planted_ran(adb_com));
  DeleteFileW(adb_com.c_str());

  // cmd.exe beside the program, as in a Downloads folder.
  support::ScopedTempDir downloads;
  ASSERT_TRUE(CopyFileW(tolvexa_exe().c_str(), (downloads / L"Tolvexa.exe").c_str(), FALSE));
  plant(downloads / L"cmd.exe");
  {
    App app(downloads / L"Tolvexa.exe");
    ASSERT_TRUE(app.ready()) << app.error();
    list_all(app, phone_packages());
    expect_clean_close(app, 0);
  }
  EXPECT_FALSE(planted_ran(downloads / L"cmd.exe"));
}

TEST_F(EndToEnd, ClosingEndsOurAdbOnly) {
  // Another program's adb, say an IDE's, busy with a long answer.
  support::ScopedTempDir other;
  ASSERT_TRUE(CopyFileW(kAdb.c_str(), (other / L"adb.exe").c_str(), FALSE));
  support::Started ide = support::start_process(L"\"" + (other / L"adb.exe") + L"\" devices",
                                                {{{L"TOLVEXA_ADB_DELAY_MS", L"60000"}}});
  ASSERT_TRUE(ide) << "error " << ide.error;

  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_DELAY_MS", L"60000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  ASSERT_TRUE(app.click(Button::connect));
  ASSERT_TRUE(
      support::wait_until([] { return support::processes_named(L"adb.exe").size() == 2; }, 5000));
  expect_close_ends_our_adb(app, 5000, "the program did not end", 3000, 1);
  EXPECT_EQ(WaitForSingleObject(ide.process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the other program's adb was ended";
  support::end_process(ide.process.get());
}

TEST_F(EndToEnd, NothingOfOursOutlivesACloseInTheMiddleOfALongListing) {
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_PACKAGES", L"5000"}, {L"TOLVEXA_ADB_DELAY_MS", L"2000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  ASSERT_TRUE(app.click(Button::list_all));
  Sleep(1000);
  ASSERT_FALSE(support::processes_named(L"adb.exe").empty());
  app.close();
  expect_clean_end(app, 0, 5000, "the program did not end");
  EXPECT_TRUE(support::wait_until(
      [] {
        return support::processes_named(L"adb.exe").empty() &&
               support::processes_named(L"cmd.exe").empty();
      },
      3000))
      << "adb.exe or cmd.exe still running";
}

TEST_F(EndToEnd, LimitsOnTimeAndNameLengthHold) {
  App app(tolvexa_exe(),
          {{L"TOLVEXA_TEST_COMMAND_TIMEOUT_MS", L"1500"}, {L"TOLVEXA_ADB_DELAY_MS", L"20000"}});
  ASSERT_TRUE(app.ready()) << app.error();
  app.set_text(Box::name, L"com.miui.notes");
  click_and_expect_log(app, Button::uninstall,
                       L"卸载APP中，请稍后...\r\n命令在 120 秒内没有结束，已停止。\r\n");
  EXPECT_TRUE(
      support::wait_until([] { return support::processes_named(L"adb.exe").empty(); }, 3000))
      << "the command that ran too long was not ended";

  app.set_text(Box::name, std::wstring(256, L'a'));
  ASSERT_TRUE(app.click(Button::uninstall));
  MessageBoxInfo box = expect_message_box(app, L"包名太长（最多 255 个字符）");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  EXPECT_EQ(app.text(Box::log), L"卸载APP中，请稍后...\r\n命令在 120 秒内没有结束，已停止。\r\n");
  expect_clean_close(app, 1);
}

const std::wstring kHintNoPhone =
    L"提示：没有找到手机。请用手机原装的数据线连接（有的线只能充电，传不了数据）；在手机的“开发者选项”中"
    L"打开“USB调试”；插上后在手机的 USB 通知里选“传输文件”；仍找不到时，点“通用驱动”安装驱动。然后点"
    L"“连接设备”。\r\n";
const std::wstring kHintUnauthorized =
    L"提示：手机还没有允许这台电脑调试。请解锁手机屏幕，在“允许USB调试吗？”对话框中勾选“一律允许”，再点“允许”。\r\n";
const std::wstring kHintOffline =
    L"提示：手机处于离线状态。请拔下数据线再重新插上；仍不行时，请在“开发者选项”中撤销USB调试授权，然后重新连接。\r\n";
const std::wstring kHintTwoPhones =
    L"提示：adb 找到了不止一台设备，最常见的原因是电脑上开着安卓模拟器（MuMu、雷电、BlueStacks 蓝叠、夜神等）。"
    L"请关掉模拟器，并拔掉其他手机，只连这一台手机，然后再试。\r\n";

const std::wstring kHintAuthorizing =
    L"提示：手机正在确认这台电脑的调试授权。请解锁手机屏幕，如果弹出“允许USB调试吗？”，勾选“一律允许”"
    L"后点“允许”，等几秒再试一次。\r\n";

TEST_F(EndToEnd, EachRefusalOfThePhoneShowsItsHint) {
  struct Row {
    const wchar_t* refusal;
    std::wstring answer, hint;
  } rows[] = {
      {L"minus1000", L"Failure [-1000]\r\n", L"小米手机不允许卸载这个应用（Failure [-1000]）"},
      {L"admin", L"Failure [DELETE_FAILED_DEVICE_POLICY_MANAGER]\r\n", L"这个应用是“设备管理应用”"},
      {L"restricted", L"Failure [DELETE_FAILED_USER_RESTRICTED]\r\n",
       L"手机开启了禁止卸载应用的限制（多为公司或学校的管理规定，或家长控制），这台手机上的任何应用都卸载不了"},
      {L"old", L"Error: Unknown option: --user\r\n", L"这部手机的安卓版本太旧（4.4 或更早）"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(support::narrow(row.refusal));
    App app(tolvexa_exe(), {{L"TOLVEXA_ADB_REFUSE", row.refusal}});
    ASSERT_TRUE(app.ready()) << app.error();
    app.set_text(Box::name, L"com.miui.notes");
    ASSERT_TRUE(app.click(Button::uninstall));
    std::wstring start = L"卸载APP中，请稍后...\r\n" + row.answer + L"\r\n提示：" + row.hint, log;
    ASSERT_TRUE(app.wait_text(
        Box::log,
        [&](const std::wstring& t) {
          const std::wstring done = L"完成...\r\n";
          return t.rfind(start, 0) == 0 && t.size() > done.size() &&
                 t.compare(t.size() - done.size(), done.size(), done) == 0;
        },
        kActionTimeoutMs, &log))
        << difference(start, log);
    expect_clean_close(app, 0);
  }
  EXPECT_FALSE(support::file_exists(kStateFile));
}

TEST_F(EndToEnd, RemovedPackagesAreListedAndAllRestoredInOneBatch) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  const std::vector<std::wstring> names = phone_packages();
  const std::vector<std::wstring> chosen = {L"com.miui.weather2", L"com.miui.video",
                                            L"com.miui.notes", L"com.miui.player"};
  app.set_text(Box::list, as_listing(chosen));
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo box = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  std::wstring log;
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return t.find(L"完成...") != std::wstring::npos; },
      6 * kActionTimeoutMs, &log));
  ASSERT_TRUE(app.wait_enabled(Button::batch, true, kActionTimeoutMs));

  // 已卸载的: exactly what the batch removed, in the phone's order, with the count.
  std::vector<std::wstring> removed;
  for (const std::wstring& name : names)
    if (std::find(chosen.begin(), chosen.end(), name) != chosen.end()) removed.push_back(name);
  ASSERT_EQ(removed.size(), chosen.size());
  ASSERT_TRUE(app.click(Button::list_removed));
  ASSERT_TRUE(app.wait_text(
      Box::list, [&](const std::wstring& t) { return t == as_listing(removed); },
      2 * kActionTimeoutMs, &log))
      << difference(as_listing(removed), log);
  ASSERT_TRUE(app.wait_enabled(Button::list_removed, true, kActionTimeoutMs));
  const std::wstring removed_log = app.text(Box::log);
  EXPECT_EQ(removed_log.rfind(L"已卸载 4 个、已停用 0 个应用，都列在下方", 0), 0u)
      << support::narrow(removed_log);
  EXPECT_NE(removed_log.find(L"\r\n其中建议卸载 "), std::wstring::npos)
      << support::narrow(removed_log);

  // 批量恢复: all of them, one line each, no question but the first.
  ASSERT_TRUE(app.click(Button::batch_restore));
  box = expect_message_box(app, L"是否批量恢复编辑框里的app");
  EXPECT_TRUE(box.has_ok && box.has_cancel);
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  std::wstring expected = L"准备恢复APP...\r\n";
  for (const std::wstring& name : removed)
    expected += L"恢复: <" + name + L"> 中，请稍后...\r\nPackage " + name +
                L" installed for user: 0\r\n\r\n";
  expected += L"完成...\r\n";
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == expected; }, 4 * kActionTimeoutMs, &log))
      << difference(expected, log);
  ASSERT_TRUE(app.wait_enabled(Button::batch_restore, true, kActionTimeoutMs));

  // Everything is back, and nothing is left to restore.
  list_all(app, names);
  ASSERT_TRUE(app.click(Button::list_removed));
  ASSERT_TRUE(app.wait_text(
      Box::log,
      [](const std::wstring& t) { return t == L"手机上没有已卸载或已停用、还能恢复的应用。"; },
      2 * kActionTimeoutMs, &log))
      << support::narrow(log);
  EXPECT_EQ(app.text(Box::list), L"");
  expect_clean_close(app, 2);
}

// Android 17 refuses to remove system apps for one user: the batch disables them instead,
// 已卸载的 lists them as disabled, and 批量恢复 turns every one back on.
TEST_F(EndToEnd, OnAndroid17ABatchDisablesAndBatchRestoreEnablesAgain) {
  const Environment android17 = {{L"TOLVEXA_ADB_ANDROID", L"17"}};
  App app(tolvexa_exe(), android17);
  ASSERT_TRUE(app.ready()) << app.error();
  const std::vector<std::wstring> names = phone_packages(android17);
  const std::vector<std::wstring> chosen = {L"com.miui.weather2", L"com.miui.video",
                                            L"com.miui.notes", L"com.miui.player"};
  app.set_text(Box::list, as_listing(chosen));
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo box = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  const std::wstring disabled_instead =
      L"这部手机不允许卸载系统应用，已改为停用这个应用：它不再运行，也不再显示，但仍占着存储空间；"
      L"点“恢复”可以重新启用它。\r\n";
  std::wstring expected = L"准备卸载APP...\r\n";
  for (const std::wstring& name : chosen)
    expected += L"卸载: <" + name +
                L"> 中，请稍后...\r\nFailure [only root can delete system app for a particular "
                L"user]\r\n\r\nPackage " +
                name + L" new state: disabled-user\r\n\r\n" + disabled_instead;
  expected += L"完成...\r\n共 4 个：卸载了 0 个，停用了 4 个，跳过 0 个，没有成功 0 个。\r\n";
  std::wstring log;
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == expected; }, 6 * kActionTimeoutMs, &log))
      << difference(expected, log);
  ASSERT_TRUE(app.wait_enabled(Button::batch, true, kActionTimeoutMs));
  // Nothing was removed: the phone still lists all of them, and lists these as disabled.
  EXPECT_EQ(phone_packages(android17), names);
  std::vector<std::wstring> in_phone_order;
  for (const std::wstring& name : names)
    if (std::find(chosen.begin(), chosen.end(), name) != chosen.end())
      in_phone_order.push_back(name);
  ASSERT_EQ(in_phone_order.size(), chosen.size());
  EXPECT_EQ(adb_output(L"shell pm list packages -d", android17), as_listing([&] {
              std::vector<std::wstring> lines;
              for (const std::wstring& name : in_phone_order) lines.push_back(L"package:" + name);
              return lines;
            }()));

  // 已卸载的 lists the four as disabled.
  ASSERT_TRUE(app.click(Button::list_removed));
  ASSERT_TRUE(app.wait_text(
      Box::list, [&](const std::wstring& t) { return t == as_listing(in_phone_order); },
      3 * kActionTimeoutMs, &log))
      << difference(as_listing(in_phone_order), log);
  ASSERT_TRUE(app.wait_enabled(Button::list_removed, true, kActionTimeoutMs));
  EXPECT_EQ(app.text(Box::log).rfind(L"已卸载 0 个、已停用 4 个应用", 0), 0u)
      << support::narrow(app.text(Box::log));

  // 批量恢复 restores and enables each one.
  ASSERT_TRUE(app.click(Button::batch_restore));
  box = expect_message_box(app, L"是否批量恢复编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return t.find(L"完成...") != std::wstring::npos; },
      6 * kActionTimeoutMs, &log));
  ASSERT_TRUE(app.wait_enabled(Button::batch_restore, true, kActionTimeoutMs));
  log = app.text(Box::log);
  for (const std::wstring& name : in_phone_order) {
    SCOPED_TRACE(support::narrow(name));
    EXPECT_NE(log.find(L"Package " + name + L" new state: enabled\r\n"), std::wstring::npos)
        << support::narrow(log);
  }

  // Nothing is disabled any more, every one is listed as enabled, and 看所有包 lists them all.
  EXPECT_EQ(adb_output(L"shell pm list packages -d", android17), L"");
  std::wstring enabled = adb_output(L"shell pm list packages -e", android17);
  for (const std::wstring& name : chosen)
    EXPECT_NE(enabled.find(L"package:" + name + L"\r\n"), std::wstring::npos);
  list_all(app, names);
  expect_clean_close(app, 2);
}

TEST_F(EndToEnd, AnotherAdbOnThePortIsNamed) {
  // A phone assistant's adb server listens on adb's port; ours then cannot start.
  support::Started assistant =
      support::start_process(support::widen(wine_path(PHONE_ASSISTANT_EXE)), {{}, true});
  ASSERT_TRUE(assistant) << "error " << assistant.error;
  char said[16] = {};
  DWORD got = 0;
  ReadFile(assistant.output.get(), said, sizeof said - 1, &got, nullptr);
  ASSERT_EQ(std::string(said, got).rfind("listening", 0), 0u) << "the port could not be taken";

  // The program finds the listener in the system's TCP table. Wine names no owner there (its
  // sockets belong to its own server), so the test names it, as Windows would.
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_SERVER", L"foreign"},
                          {L"TOLVEXA_TEST_PORT_OWNER_PID", std::to_wstring(assistant.id)}});
  ASSERT_TRUE(app.ready()) << app.error();
  ASSERT_TRUE(app.click(Button::connect));
  const std::wstring named =
      L"占用端口的程序是 phone_assistant.exe。请退出这个程序，或在任务管理器里结束"
      L"它，然后再点“连接设备”。\r\n";
  std::wstring log;
  bool told = app.wait_text(
      Box::log,
      [&](const std::wstring& t) {
        return t.size() >= named.size() && t.find(named) != std::wstring::npos;
      },
      kActionTimeoutMs, &log);
  support::end_process(assistant.process.get());
  ASSERT_TRUE(told) << support::narrow(app.text(Box::log));
  EXPECT_NE(log.find(L"doesn't match this client"), std::wstring::npos);
  EXPECT_NE(log.find(L"提示：电脑上的另一个程序（多为手机助手）正在运行它自己的 adb"),
            std::wstring::npos);

  // Without the assistant the same answer gets the hint without a name.
  app.set_text(Box::log, L"");
  ASSERT_TRUE(app.click(Button::connect));
  ASSERT_TRUE(app.wait_text(
      Box::log,
      [](const std::wstring& t) { return t.find(L"请退出这个程序") != std::wstring::npos; },
      kActionTimeoutMs, &log));
  EXPECT_EQ(log.find(L"占用端口的程序是"), std::wstring::npos) << support::narrow(log);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, DaemonLinesGoToTheLogNotTheList) {
  DeleteFileW(L"c:\\adb\\adb_sim_daemon.txt");
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_DAEMON", L"fresh"}});
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages();  // starts the simulated daemon
  DeleteFileW(L"c:\\adb\\adb_sim_daemon.txt");
  ASSERT_TRUE(app.click(Button::list_all));
  const std::wstring daemon =
      L"\r\n* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n";
  std::wstring last;
  ASSERT_TRUE(app.wait_text(
      Box::log,
      [&](const std::wstring& t) {
        return t.size() > daemon.size() && t.substr(t.size() - daemon.size()) == daemon &&
               is_count_and_summary(t.substr(0, t.size() - daemon.size()), names.size());
      },
      kActionTimeoutMs, &last))
      << support::narrow(last);
  EXPECT_EQ(app.text(Box::list), as_listing(names));
  expect_clean_close(app, 0);
  DeleteFileW(L"c:\\adb\\adb_sim_daemon.txt");
}

TEST_F(EndToEnd, EachPhoneStateShowsItsHintAfterAdbsWords) {
  const std::wstring unauthorized_error =
      L"error: device unauthorized.\r\nThis adb server's $ADB_VENDOR_KEYS is not set\r\n"
      L"Try 'adb kill-server' if that seems wrong.\r\n"
      L"Otherwise check for a confirmation dialog on your device.\r\n";
  struct Row {
    const wchar_t* state;
    std::wstring devices, connect_hint, error, hint;
  } rows[] = {
      {L"absent", L"List of devices attached\r\n\r\n", kHintNoPhone,
       L"error: no devices/emulators found\r\n", kHintNoPhone},
      {L"unauthorized", L"List of devices attached\r\nSIMULATED-PHONE-01\tunauthorized\r\n\r\n",
       kHintUnauthorized, unauthorized_error, kHintUnauthorized},
      {L"offline", L"List of devices attached\r\nSIMULATED-PHONE-01\toffline\r\n\r\n", kHintOffline,
       L"error: device offline\r\n", kHintOffline},
      {L"authorizing", L"List of devices attached\r\nSIMULATED-PHONE-01\tauthorizing\r\n\r\n",
       kHintAuthorizing, L"error: device still authorizing\r\n", kHintAuthorizing},
      {L"two",
       L"List of devices attached\r\nSIMULATED-PHONE-01\tdevice\r\nSIMULATED-PHONE-02\tdevice\r\n\r\n",
       L"", L"error: more than one device/emulator\r\n", kHintTwoPhones},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(support::narrow(row.state));
    App app(tolvexa_exe(), {{L"TOLVEXA_ADB_PHONE", row.state}});
    ASSERT_TRUE(app.ready()) << app.error();
    click_and_expect_log(app, Button::connect,
                         L"连接设备中...\r\n" + row.devices + row.connect_hint);
    app.set_text(Box::name, L"com.miui.notes");
    click_and_expect_log(
        app, Button::uninstall,
        L"卸载APP中，请稍后...\r\n" + row.error + L"\r\n" + row.hint + L"完成...\r\n");
    expect_clean_close(app, 0);
  }
  EXPECT_FALSE(support::file_exists(kStateFile));
}

TEST_F(EndToEnd, ACommandThatCannotStartSaysWhyAndDoesNotSayDone) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  // The names of the pipes the program would make next, taken by someone else: it will not
  // share them, so no command can start.
  std::vector<Handle> squatted;
  for (int i = 1; i <= 200; ++i) {
    std::wstring name = L"\\\\.\\pipe\\tolvexa-" + std::to_wstring(GetProcessId(app.process())) +
                        L"-" + std::to_wstring(i);
    squatted.emplace_back(
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr));
  }
  app.set_text(Box::name, L"com.miui.notes");
  ASSERT_TRUE(app.click(Button::uninstall));
  const std::wstring start = L"卸载APP中，请稍后...\r\n无法运行命令：";
  std::wstring log;
  ASSERT_TRUE(app.wait_text(
      Box::log,
      [&](const std::wstring& t) {
        return t.size() > start.size() && app.enabled(Button::uninstall);
      },
      kActionTimeoutMs, &log));
  EXPECT_EQ(log.substr(0, start.size()), start) << support::narrow(log);
  EXPECT_NE(log.find(L"CreateNamedPipe"), std::wstring::npos) << support::narrow(log);
  EXPECT_EQ(log.substr(log.size() - 3), L"）\r\n") << support::narrow(log);
  EXPECT_EQ(log.find(L"完成"), std::wstring::npos);
  squatted.clear();
  expect_clean_close(app, 0);
  EXPECT_FALSE(support::file_exists(kStateFile));
}

// What the log says when deployment could not complete c:\adb.
void expect_deploy_failure_told(const std::wstring& log) {
  const std::wstring start = L"无法把 adb 工具写入 c:\\adb：";
  const std::wstring end = L"\r\n请检查磁盘空间和 c:\\adb 的写入权限，然后重新打开本程序。\r\n";
  ASSERT_GT(log.size(), start.size() + end.size()) << support::narrow(log);
  EXPECT_EQ(log.substr(0, start.size()), start) << support::narrow(log);
  EXPECT_EQ(log.substr(log.size() - end.size()), end) << support::narrow(log);
}

TEST_F(EndToEnd, AnAdbFolderThatCannotBeMadeIsToldAndTheWindowStillOpens) {
  support::remove_tree(kAdbFolder);
  ASSERT_TRUE(support::write_file(kAdbFolder, ""));
  {
    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    expect_deploy_failure_told(app.text(Box::log));
    expect_clean_close(app, 0);
  }
  DeleteFileW(kAdbFolder.c_str());
}

TEST_F(EndToEnd, AStartThatCouldNotCompleteAdbIsRepairedByTheNext) {
  support::remove_tree(kAdbFolder);
  ASSERT_TRUE(CreateDirectoryW(kAdbFolder.c_str(), nullptr));
  // A folder, not empty, where a library's temporary file must go.
  const std::wstring obstacle = kAdbFolder + L"\\AdbWinApi.dll.part";
  ASSERT_TRUE(CreateDirectoryW(obstacle.c_str(), nullptr));
  ASSERT_TRUE(support::write_file(obstacle + L"\\in the way", "x"));
  {
    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    expect_deploy_failure_told(app.text(Box::log));
    expect_clean_close(app, 0);
  }
  EXPECT_FALSE(support::file_exists(kAdb)) << "adb.exe was written without its library";

  support::remove_tree(obstacle);
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  EXPECT_EQ(app.text(Box::log), L"");
  for (const wchar_t* name : kDeployed)
    EXPECT_TRUE(support::read_file(kAdbFolder + L"\\" + name) == support::read_file(standin(name)))
        << support::narrow(name);
  expect_clean_close(app, 0);
}

TEST_F(EndToEnd, ADriverInstallerThatCannotBeWrittenIsTold) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  DeleteFileW(kInstaller.c_str());
  ASSERT_TRUE(CreateDirectoryW(kInstaller.c_str(), nullptr));  // in the way of the file
  ASSERT_TRUE(app.click(Button::driver));
  MessageBoxInfo box;
  ASSERT_TRUE(app.wait_message_box(box, 10000));
  EXPECT_EQ(box.caption, kCaption);
  const std::wstring start = L"无法启动驱动安装程序：";
  EXPECT_EQ(box.text.substr(0, start.size()), start) << support::narrow(box.text);
  EXPECT_GT(box.text.size(), start.size());
  EXPECT_EQ(GetWindow(box.hwnd, GW_OWNER), app.window());
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  EXPECT_TRUE(support::processes_named(L"ADBDriverInstaller.exe").empty());
  RemoveDirectoryW(kInstaller.c_str());
  expect_clean_close(app, 1);
}

TEST_F(EndToEnd, ClosingEndsTheAdbServerOurAdbStarted) {
  App app(tolvexa_exe(), {{L"TOLVEXA_ADB_SERVER", L"1"}});
  ASSERT_TRUE(app.ready()) << app.error();
  click_and_expect_log(
      app, Button::connect,
      L"连接设备中...\r\nList of devices attached\r\nSIMULATED-PHONE-01\tdevice\r\n\r\n");
  // The command has ended; the server it started runs on.
  ASSERT_EQ(support::processes_named(L"adb.exe").size(), 1u);
  expect_close_ends_our_adb(app, 5000, "the program did not end", 3000);
}

TEST_F(EndToEnd, CriticalPackagesAreRemovedOnlyAfterYesAndNeverByTheBatch) {
  App app(tolvexa_exe());
  ASSERT_TRUE(app.ready()) << app.error();
  const std::wstring question =
      L"com.miui.home 是手机的关键组件（系统桌面），卸载后手机可能无法正常使用，甚至无法开机。\r\n"
      L"确定要卸载吗？";
  app.set_text(Box::log, L"earlier");
  app.set_text(Box::name, L"com.miui.home");

  // No: nothing runs, the log is as it was.
  ASSERT_TRUE(app.click(Button::uninstall));
  MessageBoxInfo box = expect_message_box(app, question);
  EXPECT_TRUE(box.has_yes && box.has_no);
  EXPECT_FALSE(box.has_ok || box.has_cancel);
  EXPECT_EQ(box.default_button, IDNO);
  EXPECT_EQ(GetWindow(box.hwnd, GW_OWNER), app.window());
  ASSERT_TRUE(app.answer(box.hwnd, IDNO));
  Sleep(300);
  EXPECT_EQ(app.text(Box::log), L"earlier");
  EXPECT_FALSE(support::file_exists(kStateFile));

  // Yes: removed as any other package.
  ASSERT_TRUE(app.click(Button::uninstall));
  box = expect_message_box(app, question);
  ASSERT_TRUE(app.answer(box.hwnd, IDYES));
  std::wstring log = L"卸载APP中，请稍后...\r\nSuccess\r\n\r\n完成...\r\n";
  std::wstring last;
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == log; }, kActionTimeoutMs, &last))
      << difference(log, last);
  EXPECT_EQ(support::read_file(kStateFile), "com.miui.home\r\n");

  // Restore is never asked about.
  click_and_expect_log(
      app, Button::restore,
      L"恢复APP，请稍后...\r\nPackage com.miui.home installed for user: 0\r\n\r\n");

  // A batch skips exactly the critical items, running nothing for them.
  const std::vector<std::wstring> chosen = {L"com.miui.securitycenter", L"com.miui.notes",
                                            L"com.miui.securitycore", L"com.miui.video"};
  app.set_text(Box::list, as_listing(chosen));
  ASSERT_TRUE(app.click(Button::batch));
  box = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  const std::map<std::wstring, std::wstring> critical = {
      {L"com.miui.securitycenter", L"手机管家"}, {L"com.miui.securitycore", L"安全核心组件"}};
  log = L"准备卸载APP...\r\n";
  std::vector<std::wstring> removed;
  for (const std::wstring& name : chosen) {
    log += L"卸载: <" + name + L"> 中，请稍后...\r\n";
    auto found = critical.find(name);
    if (found == critical.end()) {
      log += L"Success\r\n\r\n";
      removed.push_back(name);
    } else {
      log += name + L" 是手机的关键组件（" + found->second +
             L"），已跳过。如确需卸载，请用“卸载”按钮单独卸载。\r\n";
    }
  }
  log += L"完成...\r\n共 " + std::to_wstring(chosen.size()) + L" 个：卸载了 " +
         std::to_wstring(removed.size()) + L" 个，停用了 0 个，跳过 2 个，没有成功 0 个。\r\n";
  ASSERT_EQ(removed.size() + 2, chosen.size()) << "both critical packages are on the phone";
  ASSERT_TRUE(support::wait_until(
      [&] { return (last = app.text(Box::log)) == log && app.enabled(Button::batch); },
      kActionTimeoutMs * static_cast<int>(chosen.size())))
      << difference(log, last);
  std::vector<std::wstring> state =
      e2e::split_lines(support::widen(support::read_file(kStateFile)));
  std::sort(state.begin(), state.end());
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(state, removed);
  expect_clean_close(app, 3);
}

TEST_F(EndToEnd, RecommendExplainAndABatchThatAsksAboutCautionPackages) {
  const Environment xiaomi{{L"TOLVEXA_ADB_VENDOR", L"xiaomi"}};
  App app(tolvexa_exe(), xiaomi);
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages(xiaomi);
  ASSERT_GE(names.size(), 250u);

  // 推荐卸载: a part of the phone's packages, in the phone's order, and what to do next.
  app.set_text(Box::list, L"stale\r\n");
  ASSERT_TRUE(app.click(Button::recommend));
  std::wstring log;
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return t.rfind(L"建议卸载的应用共 ", 0) == 0; },
      kActionTimeoutMs, &log))
      << support::narrow(log);
  ASSERT_TRUE(app.wait_enabled(Button::recommend, true, kActionTimeoutMs));
  std::vector<std::wstring> chosen = e2e::split_lines(app.text(Box::list));
  ASSERT_GE(chosen.size(), 3u);
  EXPECT_EQ(app.text(Box::log), L"建议卸载的应用共 " + std::to_wstring(chosen.size()) +
                                    L" 个，已放入下方列表。请逐个看一遍，把想保留的应用所在的行删"
                                    L"掉，再点“批量卸载”。");
  size_t at = 0;
  for (const std::wstring& name : chosen) {
    auto found = std::find(names.begin() + at, names.end(), name);
    ASSERT_NE(found, names.end()) << "not on the phone, or out of order: " << support::narrow(name);
    at = found - names.begin() + 1;
  }

  // 查看说明 after it: one line per package, each marked as recommended.
  ASSERT_TRUE(app.click(Button::explain));
  std::wstring before = app.text(Box::log);
  ASSERT_TRUE(app.wait_text(
      Box::log,
      [&](const std::wstring& t) { return e2e::split_lines(t).size() == chosen.size() + 1; }, 5000,
      &log))
      << support::narrow(log);
  std::vector<std::wstring> explained = e2e::split_lines(log);
  for (size_t i = 0; i < chosen.size(); ++i) {
    const std::wstring& line = explained[i + 1];
    EXPECT_EQ(line.rfind(chosen[i] + L"：", 0), 0u) << support::narrow(line);
    EXPECT_NE(line.find(L"【建议卸载】"), std::wstring::npos) << support::narrow(line);
  }

  // The whole listing explained; the first package marked 谨慎 goes into a batch between two
  // recommended ones.
  list_all(app, names);
  app.set_text(Box::log, L"");
  ASSERT_TRUE(app.click(Button::explain));
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return e2e::split_lines(t).size() == names.size(); },
      10000, &log));
  std::wstring caution, title;
  for (const std::wstring& line : e2e::split_lines(log)) {
    size_t mark = line.find(L"【谨慎】");
    if (mark == std::wstring::npos) continue;
    size_t colon = line.find(L"：");
    caution = line.substr(0, colon);
    title = line.substr(colon + 1, mark - colon - 1);
    break;
  }
  ASSERT_FALSE(caution.empty()) << "the phone has no package marked 谨慎";
  app.set_text(Box::list, as_listing({chosen[0], caution, chosen[1]}));
  app.set_text(Box::log, L"");
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo box = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  ASSERT_TRUE(app.wait_message_box(box, 10000)) << "no question about the caution package";
  EXPECT_EQ(box.text, L"列表里有 1 个需要谨慎卸载的应用，卸载后部分功能会失效：\r\n" + caution +
                          L"（" + title +
                          L"）\r\n\r\n点“是”一并卸载它们；点“否”跳过它们，只卸载其余的应用；"
                          L"点“取消”什么也不卸载。");
  EXPECT_TRUE(box.has_yes && box.has_no && box.has_cancel);
  EXPECT_EQ(box.default_button, IDNO);
  EXPECT_EQ(GetWindow(box.hwnd, GW_OWNER), app.window());
  ASSERT_TRUE(app.answer(box.hwnd, IDNO));
  std::wstring expected =
      L"准备卸载APP...\r\n卸载: <" + chosen[0] + L"> 中，请稍后...\r\nSuccess\r\n\r\n卸载: <" +
      caution + L"> 中，请稍后...\r\n" + caution + L"（" + title +
      L"）需要谨慎卸载，已跳过。如确需卸载，请用“卸载”按钮单独卸载。\r\n卸载: <" + chosen[1] +
      L"> 中，请稍后...\r\nSuccess\r\n\r\n完成...\r\n"
      L"共 3 个：卸载了 2 个，停用了 0 个，跳过 1 个，没有成功 0 个。\r\n";
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t == expected; }, 3 * kActionTimeoutMs, &log))
      << difference(expected, log);
  EXPECT_EQ(support::read_file(kStateFile),
            support::narrow(chosen[0]) + "\r\n" + support::narrow(chosen[1]) + "\r\n");

  // Yes removes it too.
  ASSERT_TRUE(app.wait_enabled(Button::batch, true, kActionTimeoutMs));
  app.set_text(Box::list, caution + L"\r\n");
  ASSERT_TRUE(app.click(Button::batch));
  box = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(box.hwnd, IDOK));
  ASSERT_TRUE(app.wait_message_box(box, 10000));
  ASSERT_TRUE(app.answer(box.hwnd, IDYES));
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return t.find(L"完成...") != std::wstring::npos; },
      kActionTimeoutMs, &log));
  EXPECT_NE(log.find(L"Success"), std::wstring::npos) << support::narrow(log);
  EXPECT_NE(support::read_file(kStateFile).find(support::narrow(caution)), std::string::npos);
  expect_clean_close(app, 4);
}

// Whether the box shows its last line: the first visible line, plus as many lines as the box
// is high, reaches the last one. The line height is measured between two lines of the box.
std::string last_line_in_view(const App& app, Control id) {
  HWND box = app.control(id);
  auto ask = [box](UINT message, WPARAM w = 0, LPARAM l = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(box, message, w, l, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
  };
  LRESULT lines = ask(EM_GETLINECOUNT), first = ask(EM_GETFIRSTVISIBLELINE);
  if (lines < 3) return "only " + std::to_string(lines) + " lines";
  LRESULT top = ask(EM_POSFROMCHAR, ask(EM_LINEINDEX, 0));
  LRESULT next = ask(EM_POSFROMCHAR, ask(EM_LINEINDEX, 1));
  int line_height = static_cast<short>(HIWORD(next)) - static_cast<short>(HIWORD(top));
  RECT client{};
  GetClientRect(box, &client);
  if (line_height <= 0) return "no line height";
  LRESULT shown = (client.bottom - client.top) / line_height;
  bool in_view = first <= lines - 1 && lines - 1 < first + shown;
  return in_view ? ""
                 : "first visible line " + std::to_string(first) + ", " + std::to_string(shown) +
                       " lines shown, " + std::to_string(lines) + " lines";
}

TEST_F(EndToEnd, TheEndStaysInViewAfterEveryAppend) {
  Environment phone{{L"TOLVEXA_ADB_PACKAGES", L"3000"}};
  App app(tolvexa_exe(), phone);
  ASSERT_TRUE(app.ready()) << app.error();
  std::vector<std::wstring> names = phone_packages(phone);
  list_all(app, names);
  EXPECT_EQ(last_line_in_view(app, Box::list), "") << "list box after listing";

  app.set_text(Box::name, L"generated");
  ASSERT_TRUE(app.click(Button::filter));
  std::vector<std::wstring> kept = containing(names, L"generated");
  ASSERT_TRUE(app.wait_text(
      Box::list, [&](const std::wstring& t) { return t == as_listing(kept); }, 10000));
  EXPECT_EQ(last_line_in_view(app, Box::list), "") << "list box after filtering";

  // A batch of a few packages fills the log box past its height.
  std::vector<std::wstring> batch(kept.begin(), kept.begin() + 6);
  app.set_text(Box::list, as_listing(batch));
  ASSERT_TRUE(app.click(Button::batch));
  MessageBoxInfo question = expect_message_box(app, L"是否批量卸载编辑框里的app");
  ASSERT_TRUE(app.answer(question.hwnd, IDOK));
  ASSERT_TRUE(app.wait_text(
      Box::log, [&](const std::wstring& t) { return t.find(L"完成...") != std::wstring::npos; },
      kActionTimeoutMs * 6));
  EXPECT_EQ(last_line_in_view(app, Box::log), "") << "log box after a batch";
  expect_clean_close(app, 1);
}

// Sets the prefix's DPI for the programs started meanwhile, and 96 again afterwards.
class ScopedDpi {
 public:
  explicit ScopedDpi(DWORD dpi) { set(dpi); }
  ~ScopedDpi() { set(96); }

 private:
  static void set(DWORD dpi) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                    sizeof dpi);
  }
};

// Height of a line of the box's font, measured between its first two lines.
int line_height(const App& app, Control id) {
  auto ask = [&](UINT message, WPARAM w) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(app.control(id), message, w, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
  };
  LRESULT second_line = ask(EM_LINEINDEX, 1);
  return static_cast<short>(HIWORD(ask(EM_POSFROMCHAR, second_line))) -
         static_cast<short>(HIWORD(ask(EM_POSFROMCHAR, 0)));
}

TEST_F(EndToEnd, LayoutAndFontsScaleWithTheDpi) {
  int line_at_96 = 0;
  {
    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    app.set_text(Box::log, L"a\r\nb\r\n");
    line_at_96 = line_height(app, Box::log);
    expect_clean_close(app, 0);
  }
  ASSERT_GT(line_at_96, 0);
  for (DWORD dpi : {120u, 144u, 192u}) {
    SCOPED_TRACE("dpi " + std::to_string(dpi));
    ScopedDpi scoped(dpi);
    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
    RECT outer{};
    GetWindowRect(app.window(), &outer);
    EXPECT_NEAR(outer.right - outer.left, scaled(650), 1);
    EXPECT_NEAR(outer.bottom - outer.top, scaled(532), 1);
    for (const Expected& c : kLayout) {
      SCOPED_TRACE("control " + std::to_string(c.id.id));
      RECT r = app.rect_in_client(c.id);
      EXPECT_NEAR(r.left, scaled(c.x), 1);
      EXPECT_NEAR(r.top, scaled(c.y), 1);
      EXPECT_NEAR(r.right - r.left, scaled(c.width), 1);
      EXPECT_NEAR(r.bottom - r.top, scaled(c.height), 1);
    }
    app.set_text(Box::log, L"a\r\nb\r\n");
    EXPECT_NEAR(line_height(app, Box::log), scaled(line_at_96), 2);
    expect_clean_close(app, 0);
  }
}

}  // namespace
