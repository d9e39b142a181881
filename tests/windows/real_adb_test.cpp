// The program with Google's real adb inside (build/windows/real/Tolvexa.exe), used as a user
// would, against the simulated phone on the wire: a program that speaks adb's transport
// protocol on 127.0.0.1:5555, where adb's server finds it by itself as emulator-5554. Unlike
// the stand-in adb.exe, the real one starts a server that outlives each command, prints its
// daemon lines, writes in the C runtime's text mode and answers `unauthorized` until the
// phone allows the computer.
//
// Under Wine, adb's server needs an X display: it makes a hidden window for the system's power
// notifications and ends at once when it cannot ("CreateWindowExW failed"), so the client then
// reports "could not read ok from ADB Server". The suite runs on Xvfb; on Windows a desktop is
// always there.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exec/handle.h"
#include "packages/messages.h"
#include "packages/package_info.h"
#include "tests/windows/paths.h"
#include "tests/windows/program.h"
#include "tests/windows/wire_phone.h"

namespace {

using e2e::App;
using e2e::as_listing;
using e2e::Control;
using e2e::WirePhone;

constexpr int kActionTimeoutMs = 30000;  // a real adb command, the server's start included
const std::wstring kAdb = L"c:\\adb\\adb.exe";
const std::wstring kSerial = L"emulator-5554";

std::wstring from_cp936(std::string_view text) {
  int n = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string narrow_cp936(const std::wstring& text) {
  int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                      nullptr);
  return bytes;
}

bool contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// The names that `pm list packages` gives through the real adb, asked directly.
std::vector<std::wstring> phone_packages() {
  e2e::Output output = e2e::run_program(kAdb + L" shell pm list packages");
  return e2e::package_names(support::widen(output.text));
}

// A package of the phone's listing whose removal the program asks nothing about.
std::vector<std::wstring> plainly_removable(const std::vector<std::wstring>& names, size_t n) {
  std::vector<std::wstring> chosen;
  for (const std::wstring& name : names) {
    const PackageInfo* info = find_package_info(narrow_cp936(name));
    if (info && info->removal == Removal::optional) chosen.push_back(name);
    if (chosen.size() == n) break;
  }
  return chosen;
}

class RealAdb : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::kill_processes_named(L"Tolvexa.exe");
    e2e::kill_processes_named(L"adb.exe");
    // The program deploys only when c:\adb\adb.exe is missing: remove the stand-in.
    support::remove_tree(L"c:\\adb");
  }
  void TearDown() override { e2e::kill_processes_named(L"adb.exe"); }

  // Empties the log, clicks the button and waits until it is enabled again and the log,
  // written anew, satisfies `done`.
  static std::wstring click_until(App& app, Control button,
                                  const std::function<bool(const std::wstring&)>& done) {
    app.set_text(Box::log, L"");
    EXPECT_TRUE(app.click(button))
        << "button " << button.id << " is disabled; log: " << support::narrow(app.text(Box::log));
    std::wstring log;
    support::wait_until(
        [&] {
          log = app.text(Box::log);
          return app.enabled(button) && !log.empty() && done(log);
        },
        kActionTimeoutMs);
    return log;
  }

  // 连接设备 until the phone is listed in the state wanted: the server finds the phone on its
  // own a moment after it starts, so the first answer may list nothing yet.
  static std::wstring connect_until(App& app, const std::wstring& state) {
    std::wstring log;
    for (int attempt = 0; attempt < 10; ++attempt) {
      log = click_until(app, Button::connect, [](const std::wstring& t) {
        return contains(t, L"List of devices attached");
      });
      if (contains(log, kSerial + L"\t" + state)) break;
      Sleep(500);
    }
    return log;
  }
};

TEST_F(RealAdb, DeploysGoogleAdbAndUsesAPhoneOnTheWire) {
  WirePhone phone(L"--port 5555 --vendor xiaomi");
  ASSERT_TRUE(phone.ready());
  App app(support::widen(wine_path(TOLVEXA_REAL_EXE)));
  ASSERT_TRUE(app.ready()) << app.error();

  // Deployment wrote Google's files, not the stand-ins.
  for (const wchar_t* name : e2e::kDeployed) {
    SCOPED_TRACE(support::narrow(name));
    EXPECT_EQ(support::read_file(L"c:\\adb\\" + std::wstring(name)),
              support::read_file(support::widen(wine_path(REAL_PAYLOAD_DIR)) + L"\\" + name));
  }

  // The first command starts adb's server, which says so; the phone then shows as a device.
  std::wstring first = click_until(app, Button::connect, [](const std::wstring& t) {
    return contains(t, L"List of devices attached");
  });
  EXPECT_TRUE(contains(first, L"daemon started successfully")) << support::narrow(first);
  std::wstring log = connect_until(app, L"device");
  ASSERT_TRUE(contains(log, kSerial + L"\tdevice")) << support::narrow(log);

  // 看所有包 after a fresh server start: the daemon's lines go to the log box, never into the
  // list, and the list is exactly what the phone lists.
  std::vector<std::wstring> names = phone_packages();
  ASSERT_GT(names.size(), 200u);
  e2e::kill_processes_named(L"adb.exe");
  std::wstring listing = as_listing(names);
  bool daemon_told = false;
  for (int attempt = 0; attempt < 5 && app.text(Box::list) != listing; ++attempt) {
    log = click_until(app, Button::list_all, [](const std::wstring&) { return true; });
    daemon_told = daemon_told || contains(log, L"* daemon started successfully");
    std::wstring list = app.text(Box::list);
    EXPECT_FALSE(contains(list, L"* daemon")) << "a daemon line in the list box";
    if (list != listing) Sleep(500);
  }
  ASSERT_EQ(app.text(Box::list), listing) << support::narrow(log);
  EXPECT_TRUE(daemon_told) << "the server's start was not told in the log";
  EXPECT_TRUE(contains(log, L"APP数量为： " + std::to_wstring(names.size()) + L"\r\n"))
      << support::narrow(log);
  EXPECT_FALSE(contains(log, L"\r\r")) << "a CR of adb's text mode was left in the log";

  // 卸载, then 已卸载的 finds it, then 恢复 brings it back.
  std::vector<std::wstring> chosen = plainly_removable(names, 4);
  ASSERT_EQ(chosen.size(), 4u);
  app.set_text(Box::name, chosen[0]);
  log = click_until(app, Button::uninstall,
                    [](const std::wstring& t) { return contains(t, L"Success"); });
  ASSERT_TRUE(contains(log, L"Success")) << support::narrow(log);
  EXPECT_EQ(phone_packages().size(), names.size() - 1);
  log = click_until(app, Button::list_removed, [](const std::wstring& t) { return !t.empty(); });
  EXPECT_EQ(app.text(Box::list), chosen[0] + L"\r\n") << support::narrow(log);
  log = click_until(app, Button::restore,
                    [](const std::wstring& t) { return contains(t, L"installed for user: 0"); });
  EXPECT_TRUE(contains(log, L"installed for user: 0")) << support::narrow(log);
  EXPECT_EQ(phone_packages(), names);

  // A batch of three, confirmed once: all three are gone from the phone's listing.
  std::vector<std::wstring> batch(chosen.begin() + 1, chosen.end());
  app.set_text(Box::list, as_listing(batch));
  ASSERT_TRUE(app.click(Button::batch));
  e2e::MessageBoxInfo question;
  ASSERT_TRUE(app.wait_message_box(question, 10000));
  ASSERT_TRUE(app.answer(question.hwnd, IDOK));
  ASSERT_TRUE(app.wait_text(
      Box::log, [](const std::wstring& t) { return contains(t, L"完成..."); }, 4 * kActionTimeoutMs,
      &log));
  ASSERT_TRUE(app.wait_enabled(Button::batch, true, kActionTimeoutMs));
  std::vector<std::wstring> left = phone_packages();
  for (const std::wstring& name : batch) {
    SCOPED_TRACE(support::narrow(name));
    EXPECT_EQ(std::count(left.begin(), left.end(), name), 0) << support::narrow(log);
  }
  EXPECT_EQ(left.size(), names.size() - batch.size());

  // Closing the window ends adb's server too.
  app.close();
  DWORD code = 0xDEAD;
  ASSERT_TRUE(app.wait_exit(10000, &code));
  EXPECT_TRUE(
      support::wait_until([] { return support::processes_named(L"adb.exe").empty(); }, 10000))
      << "an adb.exe outlived the program";
}

TEST_F(RealAdb, UnauthorizedUntilThePhoneAllowsTheComputer) {
  WirePhone phone(L"--port 5555 --auth unauthorized");
  ASSERT_TRUE(phone.ready());
  App app(support::widen(wine_path(TOLVEXA_REAL_EXE)));
  ASSERT_TRUE(app.ready()) << app.error();

  std::wstring log = connect_until(app, L"unauthorized");
  ASSERT_TRUE(contains(log, kSerial + L"\tunauthorized")) << support::narrow(log);
  EXPECT_TRUE(contains(log, from_cp936(msg::kHintUnauthorized))) << support::narrow(log);

  ASSERT_TRUE(phone.allow());
  log = connect_until(app, L"device");
  EXPECT_TRUE(contains(log, kSerial + L"\tdevice")) << support::narrow(log);
  EXPECT_FALSE(contains(log, from_cp936(msg::kHintUnauthorized)));

  app.close();
  DWORD code = 0xDEAD;
  ASSERT_TRUE(app.wait_exit(10000, &code));
  EXPECT_TRUE(
      support::wait_until([] { return support::processes_named(L"adb.exe").empty(); }, 10000));
}

}  // namespace
