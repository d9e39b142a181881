// The real program under impatient use and faults: random clicks, typing and answers while
// the simulated phone answers slowly; closing at random moments of every wait; the program
// killed in the middle of its first start.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/controls.h"
#include "tests/windows/program.h"

namespace {

using e2e::App;
using e2e::Environment;
using e2e::MessageBoxInfo;

const std::wstring kBatchQuestion = L"是否批量卸载编辑框里的app";
// Every message the program may show; anything else is an error box.
const std::set<std::wstring> kKnownMessages = {
    L"还没填写包名呢...",
    L"包名含有不能使用的字符",
    L"没有包名呢",
    kBatchQuestion,
    L"请在执行按钮后的编辑框填写筛选的内容",
    L"列表和包名框都是空的。请先点“看所有包”或“推荐卸载”"
    L"列出手机上的应用，或在包名框里填写包名，再点“查看说明”。"};

using e2e::kStateFile;
using e2e::standin;
using e2e::tolvexa_exe;

int env_int(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

std::wstring trim_blanks(std::wstring text) {
  size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::set<std::wstring> uninstalled_on_phone() {
  std::set<std::wstring> names;
  for (const std::wstring& line :
       e2e::split_lines(support::widen(support::read_file(kStateFile)))) {
    std::wstring name = trim_blanks(line);
    if (!name.empty()) names.insert(name);
  }
  return names;
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override { e2e::start_afresh(); }
  void TearDown() override { e2e::start_afresh(); }
};

// Plays an impatient user for a while and keeps track of what the phone must look like
// afterwards: a package's state is decided by the last command issued for it. Commands for
// a package are never issued while another one for it may still run, so issue order is
// execution order.
class Monkey {
 public:
  Monkey(App& app, std::vector<std::wstring> pool, unsigned seed)
      : app_(app), pool_(std::move(pool)), random_(seed) {}

  void step() {
    if (answer_open_box()) return;
    release_finished();
    switch (pick(16)) {
      case 0:
      case 1: app_.set_text(Box::name, some_name()); break;
      case 2: app_.set_text(Box::list, some_list()); break;
      case 3:
      case 4: single(Button::uninstall, true); break;
      case 5: single(Button::restore, false); break;
      case 6: batch(); break;
      case 7: app_.click(Button::list_all); break;
      case 8: app_.click(Button::filter); break;
      case 9: app_.click(Button::connect); break;
      case 10: app_.press_key(VK_TAB); break;
      case 11: app_.press_key(VK_RETURN); break;
      case 12:
        if (pick(10) == 0) app_.click(Button::driver);
        break;
      case 13: app_.click(Button::recommend); break;
      case 14: app_.click(Button::explain); break;
      case 15: break;  // a pause
    }
  }

  // Answers what is still open and waits until every action has finished.
  bool settle(int timeout_ms) {
    return support::wait_until(
        [&] {
          answer_open_box();
          for (Button id : {Button::list_all, Button::uninstall, Button::connect, Button::restore,
                            Button::batch, Button::recommend})
            if (!app_.enabled(id)) return false;
          return app_.message_boxes().empty();
        },
        timeout_ms, 50);
  }

  bool expected_uninstalled(const std::wstring& name) const {
    auto found = last_command_.find(name);
    return found != last_command_.end() && found->second;
  }
  std::vector<std::wstring> unknown_boxes;
  int commands_issued = 0;

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  std::wstring some_name() {
    const wchar_t* odd[] = {L"",    L"   ",      L"com.miui", L"a & del x",
                            L"a|b", L"a;reboot", L"微信",     L"com.tencent.mm\r\n"};
    const std::wstring& real = pool_[pick(static_cast<int>(pool_.size()))];
    switch (pick(6)) {
      case 0: return odd[pick(8)];
      case 1: return L" " + real + L" ";
      default: return real;
    }
  }

  std::wstring some_list() {
    std::wstring list;
    for (int i = 0, n = pick(4); i < n; ++i) {
      int kind = pick(8);
      if (kind == 0)
        list += L"a & del x";
      else if (kind == 1)
        list += L"";
      else
        list += (kind == 2 ? L" " : L"") + pool_[pick(static_cast<int>(pool_.size()))];
      if (i + 1 < n || pick(2)) list += L"\r\n";
    }
    return list;
  }

  // True when the program would run a command for this text: only package-name bytes, and
  // something besides blanks.
  static bool runs_a_command(const std::wstring& text) {
    for (wchar_t c : text)
      if (!(iswalnum(c) && c < 128) && c != L'.' && c != L'_' && c != L' ') return false;
    return !trim_blanks(text).empty();
  }

  // A package of the pool that a command line built from this text would act on; empty
  // for text that runs no command or acts on nothing the phone carries.
  std::wstring target_of(const std::wstring& text) const {
    if (!runs_a_command(text)) return L"";
    std::wstring name = trim_blanks(text);
    for (const std::wstring& known : pool_)
      if (known == name) return name;
    return L"";
  }

  // Single uninstall or restore of the name box's package.
  void single(Button button, bool uninstall) {
    if (!app_.enabled(button)) return;
    std::wstring target = target_of(app_.text(Box::name));
    if (!target.empty() && busy_.count(target)) return;
    if (!app_.click(button)) return;
    // Wait until the click has been taken (button disabled or a message box), so the name
    // box is not changed under it.
    support::wait_until([&] { return !app_.enabled(button) || !app_.message_boxes().empty(); },
                        5000, 2);
    if (target.empty() || app_.enabled(button)) return;
    last_command_[target] = uninstall;
    busy_.insert(target);
    running_[button].insert(target);
    ++commands_issued;
  }

  void batch() {
    if (!app_.enabled(Button::batch)) return;
    for (const std::wstring& item : e2e::split_lines(app_.text(Box::list)))
      if (busy_.count(target_of(item))) return;
    if (app_.click(Button::batch))
      support::wait_until([&] { return !app_.message_boxes().empty(); }, 5000, 2);
  }

  bool answer_open_box() {
    std::vector<HWND> boxes = app_.message_boxes();
    if (boxes.empty()) return false;
    MessageBoxInfo box;
    support::wait_until(
        [&] { return !(box = e2e::describe_message_box(boxes.front())).text.empty(); }, 2000, 5);
    if (!kKnownMessages.count(box.text)) unknown_boxes.push_back(box.text);
    int answer = IDOK;
    if (box.text == kBatchQuestion) {
      std::vector<std::wstring> items = e2e::split_lines(app_.text(Box::list));
      // A filtered listing may hold packages beyond the pool, which the phone's state would
      // then not account for: such a batch is declined.
      bool beyond_pool = std::any_of(items.begin(), items.end(), [&](const std::wstring& item) {
        return runs_a_command(item) && target_of(item).empty();
      });
      if (items.size() > 3 || beyond_pool || pick(4) == 0) {
        answer = IDCANCEL;
      } else {
        for (const std::wstring& item : items) {
          std::wstring target = target_of(item);
          if (target.empty()) continue;
          last_command_[target] = true;
          busy_.insert(target);
          running_[Button::batch].insert(target);
          ++commands_issued;
        }
      }
    }
    app_.answer(box.hwnd, answer);
    return true;
  }

  // Packages whose command has ended (its button is enabled again) may be used again.
  void release_finished() {
    for (auto& [button, names] : running_) {
      if (!app_.enabled(button)) continue;
      for (const std::wstring& name : names) busy_.erase(name);
      names.clear();
    }
  }

  App& app_;
  std::vector<std::wstring> pool_;
  std::mt19937 random_;
  std::map<std::wstring, bool> last_command_;  // true: uninstall
  std::set<std::wstring> busy_;
  std::map<Button, std::set<std::wstring>> running_;
};

TEST_F(Faults, ImpatientUseEndsEveryActionAndLeavesThePhoneAsTheCommandsSaid) {
  int seconds = env_int("TOLVEXA_MONKEY_SECONDS", 60);
  unsigned seed =
      static_cast<unsigned>(env_int("TOLVEXA_MONKEY_SEED", static_cast<int>(GetTickCount())));
  std::printf("monkey: %d s, seed %u (TOLVEXA_MONKEY_SEED repeats a run)\n", seconds, seed);
  std::vector<std::wstring> pool = {L"com.miui.video", L"com.miui.player",   L"com.tencent.mm",
                                    L"com.sina.weibo", L"com.taobao.taobao", L"com.baidu.searchbox",
                                    L"com.miui.notes", L"com.miui.weather2"};

  App app(tolvexa_exe(),
          Environment{{L"TOLVEXA_ADB_DELAY_MS", L"0"}, {L"TOLVEXA_ADB_DELAY_MAX_MS", L"400"}});
  ASSERT_TRUE(app.ready()) << app.error();
  Monkey monkey(app, pool, seed);
  std::mt19937 pause(seed);
  DWORD end = GetTickCount() + seconds * 1000;
  while (GetTickCount() < end) {
    monkey.step();
    ASSERT_EQ(WaitForSingleObject(app.process(), 0), WAIT_TIMEOUT) << "the program ended";
    Sleep(std::uniform_int_distribution<int>(5, 120)(pause));
  }
  ASSERT_TRUE(monkey.settle(60000)) << "an action did not finish";
  e2e::kill_processes_named(L"ADBDriverInstaller.exe");

  std::string unknown;
  for (const std::wstring& text : monkey.unknown_boxes)
    unknown += "[" + support::narrow(text) + "] ";
  EXPECT_TRUE(monkey.unknown_boxes.empty()) << unknown;
  std::printf("monkey: %d uninstall and restore commands issued\n", monkey.commands_issued);
  EXPECT_GT(monkey.commands_issued, 0);

  std::set<std::wstring> uninstalled = uninstalled_on_phone();
  for (const std::wstring& name : pool)
    EXPECT_EQ(uninstalled.count(name) == 1, monkey.expected_uninstalled(name))
        << support::narrow(name);
  for (const std::wstring& name : uninstalled)
    EXPECT_TRUE(std::find(pool.begin(), pool.end(), name) != pool.end())
        << "uninstalled without being asked: " << support::narrow(name);

  // The log box's last answers agree with the phone too: a listing now shows the pool's
  // remaining packages.
  app.set_text(Box::log, L"");
  app.click(Button::list_all);
  ASSERT_TRUE(support::wait_until(
      [&] {
        return app.enabled(Button::list_all) && app.text(Box::log).rfind(L"APP数量为： ", 0) == 0;
      },
      20000))
      << "log \"" << support::narrow(app.text(Box::log)) << "\", " << app.message_boxes().size()
      << " message boxes open";
  std::vector<std::wstring> listed = e2e::split_lines(app.text(Box::list));
  for (const std::wstring& name : pool)
    EXPECT_EQ(std::find(listed.begin(), listed.end(), name) == listed.end(),
              monkey.expected_uninstalled(name))
        << support::narrow(name);

  app.close();
  DWORD code = 1;
  ASSERT_TRUE(app.wait_exit(10000, &code));
  EXPECT_EQ(code, 0u);
}

// Starts a waiting action, closes the window at a random moment of the wait, and checks that
// the program ends by itself, normally, without any message box.
TEST_F(Faults, ClosingDuringEveryWaitEndsTheProgramCleanly) {
  std::mt19937 random(GetTickCount());
  struct Case {
    const char* name;
    std::function<void(App&)> start;
  } cases[] = {
      {"listing", [](App& app) { app.click(Button::list_all); }},
      {"connect", [](App& app) { app.click(Button::connect); }},
      {"uninstall",
       [](App& app) {
         app.set_text(Box::name, L"com.miui.video");
         app.click(Button::uninstall);
       }},
      {"restore",
       [](App& app) {
         app.set_text(Box::name, L"com.miui.video");
         app.click(Button::restore);
       }},
      {"batch",
       [](App& app) {
         app.set_text(Box::list, L"com.miui.video\r\ncom.miui.player\r\ncom.tencent.mm\r\n");
         app.click(Button::batch);
         MessageBoxInfo box;
         if (app.wait_message_box(box, 5000)) app.answer(box.hwnd, IDOK);
       }},
  };
  for (int round = 0; round < 2; ++round) {
    for (const Case& c : cases) {
      int after = std::uniform_int_distribution<int>(0, 700)(random);
      SCOPED_TRACE(std::string(c.name) + ", closed after " + std::to_string(after) + " ms");
      App app(tolvexa_exe(), Environment{{L"TOLVEXA_ADB_DELAY_MS", L"300"}});
      ASSERT_TRUE(app.ready()) << app.error();
      c.start(app);
      Sleep(after);
      if (round == 0)
        app.close();
      else
        app.press_key(VK_ESCAPE);
      DWORD code = 1;
      ASSERT_TRUE(app.wait_exit(10000, &code)) << "the program did not end";
      EXPECT_EQ(code, 0u);
      size_t answered = std::string(c.name) == "batch" ? 1 : 0;
      EXPECT_EQ(app.boxes_seen().size(), answered);
    }
  }
}

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK find_main_window(HWND hwnd, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (owner == search->process_id && std::wstring(name) == MAIN_WINDOW_CLASS) search->found = hwnd;
  return TRUE;
}

// Finds the program's main window even while it is still invisible.
HWND hidden_main_window(DWORD process_id) {
  WindowSearch search{process_id, nullptr};
  EnumWindows(find_main_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Starts the program on a phone-less machine's first start: c:\adb removed, the window not
// waited for, since it shows only once the deployment has ended.
support::Started start_first_time() {
  support::remove_tree(L"c:\\adb");
  return support::start_process(L"\"" + tolvexa_exe() + L"\"");
}

// Runs the round the given number of times, each on a first start with a random pause between
// the bounds, until one fails fatally.
void first_starts(int rounds, int from_ms, int to_ms, const char* what,
                  const std::function<void(support::Started&, int pause_ms)>& round) {
  std::mt19937 random(GetTickCount());
  for (int i = 0; i < rounds && !::testing::Test::HasFatalFailure(); ++i) {
    int after = std::uniform_int_distribution<int>(from_ms, to_ms)(random);
    SCOPED_TRACE(std::string(what) + " after " + std::to_string(after) + " ms");
    support::Started program = start_first_time();
    ASSERT_TRUE(program) << "error " << program.error;
    round(program, after);
  }
}

void expect_complete_deployment() {
  for (const wchar_t* name : e2e::kDeployed) {
    SCOPED_TRACE(support::narrow(name));
    EXPECT_TRUE(support::read_file(std::wstring(L"c:\\adb\\") + name) ==
                support::read_file(standin(name)));
  }
}

TEST_F(Faults, AFirstStartCutShortIsCompletedByTheNext) {
  first_starts(6, 0, 1000, "killed", [](support::Started& program, int pause_ms) {
    Sleep(pause_ms);
    TerminateProcess(program.process.get(), 9);
    WaitForSingleObject(program.process.get(), 5000);

    App app(tolvexa_exe());
    ASSERT_TRUE(app.ready()) << app.error();
    expect_complete_deployment();
    app.close();
    DWORD code = 1;
    ASSERT_TRUE(app.wait_exit(10000, &code));
  });
}

TEST_F(Faults, ClosingDuringTheFirstStartsPausesEndsCleanly) {
  first_starts(3, 100, 700, "closed", [](support::Started& program, int pause_ms) {
    HWND window = nullptr;
    ASSERT_TRUE(support::wait_until(
        [&] { return (window = hidden_main_window(program.id)) != nullptr; }, 10000, 2));
    Sleep(pause_ms);
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.process.get(), 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(program.process.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(e2e::message_boxes_of(program.id).empty());
    expect_complete_deployment();  // the deployment still ran to its end
  });
}

}  // namespace
