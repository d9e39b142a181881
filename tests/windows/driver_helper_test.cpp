// Tests of the USB driver helper (ADBDriverInstaller.exe): the Device Manager start it builds,
// against a stand-in shell, and the real program under Wine, read and clicked from outside as
// a user would: what its window says, its Device Manager button and its exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/driver/device_manager.h"
#include "tests/windows/paths.h"
#include "tests/windows/support.h"
#include "tests/windows/user.h"

namespace {

constexpr int kHeadlineId = 100, kGuideId = 101, kDeviceManagerId = 102;

// What the stand-in shell was asked to start.
struct ShellCall {
  int calls = 0;
  std::wstring verb, file, parameters, directory;
};

ShellStart answering(ShellCall& call, DWORD error) {
  return [&call, error](SHELLEXECUTEINFOW* info) {
    ++call.calls;
    call.verb = info->lpVerb ? info->lpVerb : L"";
    call.file = info->lpFile ? info->lpFile : L"";
    call.parameters = info->lpParameters ? info->lpParameters : L"";
    call.directory = info->lpDirectory ? info->lpDirectory : L"";
    SetLastError(error);
    return error == 0 ? TRUE : FALSE;
  };
}

TEST(DeviceManager, IsStartedFromTheGivenSystemFolderThroughTheShell) {
  support::ScopedTempDir folder;
  ASSERT_TRUE(support::write_file(folder / L"mmc.exe", "MZ"));
  ASSERT_TRUE(support::write_file(folder / L"devmgmt.msc", "<MMC_ConsoleFile/>"));
  ShellCall call;
  DeviceManagerOutcome outcome = open_device_manager({folder.path()}, answering(call, 0));
  EXPECT_EQ(outcome.kind, DeviceManagerOutcome::opened);
  EXPECT_EQ(call.verb, L"");  // the default verb, so that Windows asks for consent if needed
  EXPECT_EQ(call.file, folder / L"mmc.exe");
  EXPECT_EQ(call.parameters, L"\"" + (folder / L"devmgmt.msc") + L"\"");
  EXPECT_EQ(call.directory, folder.path());

  // The user saying no to Windows' consent prompt is no failure; a refusal is, with its code.
  EXPECT_EQ(open_device_manager({folder.path()}, answering(call, ERROR_CANCELLED)).kind,
            DeviceManagerOutcome::declined);
  outcome = open_device_manager({folder.path()}, answering(call, ERROR_ACCESS_DENIED));
  EXPECT_EQ(outcome.kind, DeviceManagerOutcome::failed);
  EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(DeviceManager, IsNotStartedWhenAFileOfItIsMissing) {
  support::ScopedTempDir folder;
  ASSERT_TRUE(support::write_file(folder / L"mmc.exe", "MZ"));
  ASSERT_TRUE(CreateDirectoryW((folder / L"devmgmt.msc").c_str(), nullptr));  // not a file
  support::ScopedTempDir empty;
  ASSERT_TRUE(support::write_file(empty / L"devmgmt.msc", "<MMC_ConsoleFile/>"));
  ShellCall call;
  for (const std::wstring& where : {folder.path(), empty.path(), std::wstring()}) {
    SCOPED_TRACE(support::narrow(where));
    EXPECT_EQ(open_device_manager({where}, answering(call, 0)).kind, DeviceManagerOutcome::missing);
  }
  EXPECT_EQ(call.calls, 0);

  // The first folder that holds both files serves.
  support::ScopedTempDir whole;
  ASSERT_TRUE(support::write_file(whole / L"mmc.exe", "MZ"));
  ASSERT_TRUE(support::write_file(whole / L"devmgmt.msc", "<MMC_ConsoleFile/>"));
  EXPECT_EQ(
      open_device_manager({folder.path(), empty.path(), whole.path()}, answering(call, 0)).kind,
      DeviceManagerOutcome::opened);
  EXPECT_EQ(call.file, whole / L"mmc.exe");
}

TEST(DeviceManager, IsLookedForInTheSystemFolderThenInThe64BitOne) {
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(expected, MAX_PATH), 0u);
  const std::wstring folder = system_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), L'\\');
  EXPECT_EQ(folder, std::wstring(expected).substr(0, folder.size()));
  const std::vector<std::wstring> folders = device_manager_folders();
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  ASSERT_EQ(folders.size(), wow64 ? 2u : 1u);
  EXPECT_EQ(folders[0], folder);
  if (wow64) EXPECT_EQ(folders[1].substr(folders[1].size() - 10), L"\\Sysnative");
}

// One running helper, found by its window.
struct Helper {
  support::Started process;
  HWND window = nullptr;

  Helper() {
    process = support::start_process(L"\"" + support::widen(wine_path(DRIVER_HELPER_EXE)) + L"\"");
    if (!process) return;
    support::wait_until(
        [&] {
          window = FindWindowW(L"TolvexaDriverHelper", nullptr);
          DWORD owner = 0;
          if (window) GetWindowThreadProcessId(window, &owner);
          return window && owner == process.id && IsWindowVisible(window);
        },
        30000);
  }
  ~Helper() {
    if (process && WaitForSingleObject(process.process.get(), 0) == WAIT_TIMEOUT)
      support::end_process(process.process.get());
  }
  HWND control(int id) const { return GetDlgItem(window, id); }
  // A window's text, read with WM_GETTEXT as assistive tools do.
  std::wstring text(HWND hwnd) const {
    DWORD_PTR length = 0, copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
      return L"";
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
  }
  DWORD wait_exit() const {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.process.get(), 10000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.process.get(), &code);
    return code;
  }
};

bool contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

RECT client_rect_of(HWND control, HWND window) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST(DriverHelper, TellsWhenAndWhereToGetADriverInstallsNothingAndExitsWithOne) {
  Helper helper;
  ASSERT_TRUE(helper.process) << "error " << helper.process.error;
  ASSERT_TRUE(helper.window) << "the helper's window did not show";
  EXPECT_TRUE(contains(helper.text(helper.window), L"USB 驱动"));
  EXPECT_TRUE(contains(helper.text(helper.control(kHeadlineId)), L"不安装任何驱动"));

  const std::wstring guide = helper.text(helper.control(kGuideId));
  // When a driver is needed, Windows' own ways to one and the vendors' pages, as the user
  // reads them; every line break is CR LF, or the edit control shows a box instead.
  for (const wchar_t* part :
       {L"“连接设备”", L"“允许 USB 调试吗？”", L"“传输文件”", L"“USB 调试”", L"“其他设备”",
        L"“便携设备”", L"“更新驱动程序”", L"“自动搜索驱动程序”",
        L"设置 → Windows 更新 → 高级选项 → 可选更新",
        L"设置 → 更新和安全 → Windows 更新 → 查看可选更新",
        L"https://developer.android.com/studio/run/win-usb\r\n",
        L"https://developer.samsung.com/android-usb-driver\r\n",
        L"https://consumer.huawei.com/cn/support/hisuite/\r\n", L"https://zs.vivo.com.cn/\r\n"}) {
    SCOPED_TRACE(support::narrow(part));
    EXPECT_TRUE(contains(guide, part));
  }
  size_t line_feeds = 0, line_breaks = 0;
  for (size_t i = 0; i < guide.size(); ++i)
    if (guide[i] == L'\n') ++line_feeds, line_breaks += i > 0 && guide[i - 1] == L'\r';
  EXPECT_GT(line_feeds, 20u);
  EXPECT_EQ(line_feeds, line_breaks);
  for (const wchar_t* claim : {L"已安装", L"安装成功", L"安装完成"}) {
    SCOPED_TRACE(support::narrow(claim));
    EXPECT_FALSE(contains(guide, claim));
  }

  // The controls lie inside the window, the guide above the buttons, the buttons apart.
  RECT client{}, headline = client_rect_of(helper.control(kHeadlineId), helper.window),
                 text = client_rect_of(helper.control(kGuideId), helper.window),
                 open = client_rect_of(helper.control(kDeviceManagerId), helper.window),
                 close = client_rect_of(helper.control(IDCANCEL), helper.window);
  GetClientRect(helper.window, &client);
  for (const RECT& rect : {headline, text, open, close}) {
    EXPECT_GE(rect.left, 0);
    EXPECT_GE(rect.top, 0);
    EXPECT_LE(rect.right, client.right);
    EXPECT_LE(rect.bottom, client.bottom);
    EXPECT_GT(rect.bottom - rect.top, 10);
  }
  EXPECT_LE(headline.bottom, text.top);
  EXPECT_LE(text.bottom, open.top);
  EXPECT_LT(open.right, close.left);

  // Wine has neither mmc.exe nor devmgmt.msc, so there the button tells how to open the
  // Device Manager by hand; on Windows it opens it, which this test leaves alone.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  if (wine) {
    EXPECT_EQ(GetFileAttributesW((system_folder() + L"\\devmgmt.msc").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(PostMessageW(helper.control(kDeviceManagerId), BM_CLICK, 0, 0));
    std::vector<HWND> boxes;
    ASSERT_TRUE(support::wait_until(
        [&] { return !(boxes = e2e::message_boxes_of(helper.process.id)).empty(); }, 10000));
    e2e::MessageBoxInfo box = e2e::describe_message_box(boxes.front());
    EXPECT_TRUE(contains(box.text, L"无法打开设备管理器"));
    EXPECT_TRUE(contains(box.text, L"Windows 徽标键和 X 键"));
    EXPECT_TRUE(contains(box.text, L"“设备管理器”"));
    EXPECT_TRUE(box.has_ok);
    PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(support::wait_until([&] { return !IsWindow(box.hwnd); }, 5000));
  }

  ASSERT_TRUE(PostMessageW(helper.control(IDCANCEL), BM_CLICK, 0, 0));  // 关闭
  EXPECT_EQ(helper.wait_exit(), 1u);
}

TEST(DriverHelper, EscapeAndTheCloseBoxEndItWithOne) {
  {
    Helper helper;
    ASSERT_TRUE(helper.window);
    HWND focus = helper.control(kDeviceManagerId);  // the focus when it starts
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 1 | (3u << 30));
    EXPECT_EQ(helper.wait_exit(), 1u);
  }
  Helper helper;
  ASSERT_TRUE(helper.window);
  PostMessageW(helper.window, WM_CLOSE, 0, 0);
  EXPECT_EQ(helper.wait_exit(), 1u);
}

}  // namespace
