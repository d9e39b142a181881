// Phones that will not remove a system app for one user: the app is disabled instead, and
// 恢复 turns it on again.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "packages/actions.h"
#include "tests/native/fakes.h"

namespace {

const std::string kUserApps = "c:\\adb\\adb.exe shell pm list packages -3";
const std::string kUninstall = "c:\\adb\\adb.exe uninstall --user 0 ";
const std::string kDisable = "c:\\adb\\adb.exe shell pm disable-user --user 0 ";
const std::string kEnable = "c:\\adb\\adb.exe shell pm enable --user 0 ";
const std::string kRestore = "c:\\adb\\adb.exe shell pm install-existing --user 0 ";

const std::string kRefused = "Failure [only root can delete system app for a particular user]\r\n";
const std::string kCannotChange =
    "Error: java.lang.SecurityException: Shell cannot change component state for x to 3\r\n";
const std::string kInternal = "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n";
std::string disabled_answer(const std::string& name) {
  return "Package " + name + " new state: disabled-user\r\n";
}
const std::string kDisabledLine = gbk(
    "这部手机不允许卸载系统应用，已改为停用这个应用：它不再运行，也不再显示，但仍占着存储空间；点“恢复”"
    "可以重新启用它。\r\n");
const std::string kMustStay = gbk(
    "提示：这部手机不允许卸载系统应用，停用这个应用也被拒绝了，所以它只能留在手机上。请保留它，继续处理"
    "其他应用。\r\n");
const std::string kCore = gbk("提示：这个包不能卸载（多为系统核心组件）。\r\n");
const std::string kProgress = gbk("卸载APP中，请稍后...\r\n");
const std::string kDone = gbk("完成...\r\n");

struct Refusal : ::testing::Test {
  FakeView view;
  FakeCommands commands;
  Session session;
};

TEST_F(Refusal, SingleUninstallThatThePhoneRefusesDisablesInstead) {
  struct Row {
    const char* name;
    std::string uninstalled;
    RunResult disabled;
    std::vector<std::string> ran;
    std::string log;  // after the progress line
    bool remembered;
  } rows[] = {
      {"disabled instead",
       kRefused,
       {disabled_answer("com.a"), ""},
       {kUserApps, kUninstall + "com.a", kDisable + "com.a"},
       kRefused + "\r\n" + disabled_answer("com.a") + "\r\n" + kDisabledLine + kDone,
       true},
      {"disabling refused too: the app has to stay",
       kRefused,
       {kCannotChange, ""},
       {kUserApps, kUninstall + "com.a", kDisable + "com.a"},
       kRefused + "\r\n" + kCannotChange + "\r\n" + kMustStay + kDone,
       false},
      {"disabling says nothing: not taken as done",
       kRefused,
       {"", ""},
       {kUserApps, kUninstall + "com.a", kDisable + "com.a"},
       kRefused + "\r\n\r\n" + kMustStay + kDone,
       false},
      {"disabling cannot start",
       kRefused,
       {"", gbk("拒绝访问。")},
       {kUserApps, kUninstall + "com.a", kDisable + "com.a"},
       kRefused + "\r\n" + gbk("无法运行命令：拒绝访问。\r\n"),
       false},
      {"another refusal is not disabled",
       kInternal,
       {disabled_answer("com.a"), ""},
       {kUserApps, kUninstall + "com.a"},
       kInternal + "\r\n" + kCore + kDone,
       false},
      {"a shorter refusal is not this one",
       "Failure [only root can delete system app]\r\n",
       {disabled_answer("com.a"), ""},
       {kUserApps, kUninstall + "com.a"},
       "Failure [only root can delete system app]\r\n\r\n" + kDone,
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    session = Session();
    view.box(Box::name) = "com.a";
    commands.answers[kUninstall + "com.a"] = row.uninstalled;
    commands.results[kDisable + "com.a"] = row.disabled;
    commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::uninstall)); };
    uninstall_package(view, commands, session);
    EXPECT_EQ(commands.ran, row.ran);
    EXPECT_EQ(view.box(Box::log), kProgress + row.log);
    EXPECT_EQ(session.disabled_here.count("com.a"), row.remembered ? 1u : 0u);
    EXPECT_FALSE(view.disabled(Button::uninstall));
  }
}

TEST_F(Refusal, BatchDisablesWhatThePhoneRefusesAndCountsHonestly) {
  view.box(Box::list) = "x.a\r\nx.b\r\nx.c\r\nx.d\r\n x.e \r\n";
  commands.answers[kUninstall + "x.a"] = "Success\r\n";
  for (const char* refused : {"x.b", "x.c", " x.e "})
    commands.answers[kUninstall + refused] = kRefused;
  commands.answers[kDisable + "x.b"] = disabled_answer("x.b");
  commands.answers[kDisable + "x.c"] = kCannotChange;
  commands.answers[kDisable + " x.e "] = disabled_answer("x.e");
  commands.answers[kUninstall + "x.d"] = kInternal;
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{
                              kUserApps, kUninstall + "x.a", kUninstall + "x.b", kDisable + "x.b",
                              kUninstall + "x.c", kDisable + "x.c", kUninstall + "x.d",
                              kUninstall + " x.e ", kDisable + " x.e "}));
  EXPECT_EQ(commands.waits, std::vector<int>(5, 1000));
  auto item = [](const std::string& name) {
    return gbk("卸载: <") + name + gbk("> 中，请稍后...\r\n");
  };
  EXPECT_EQ(view.box(Box::log),
            gbk("准备卸载APP...\r\n") + item("x.a") + "Success\r\n\r\n" + item("x.b") + kRefused +
                "\r\n" + disabled_answer("x.b") + "\r\n" + kDisabledLine + item("x.c") + kRefused +
                "\r\n" + kCannotChange + "\r\n" + kMustStay + item("x.d") + kInternal + "\r\n" +
                kCore + item(" x.e ") + kRefused + "\r\n" + disabled_answer("x.e") + "\r\n" +
                kDisabledLine + kDone +
                gbk("共 5 个：卸载了 1 个，停用了 2 个，跳过 0 个，没有成功 2 个。\r\n"));
  EXPECT_EQ(session.disabled_here, (std::set<std::string>{"x.b", "x.e"}));
  EXPECT_FALSE(view.disabled(Button::batch));
}

TEST_F(Refusal, RestoreEnablesOnlyWhatWasDisabled) {
  const std::string restored = "Package x installed for user: 0\r\n";
  const std::string enabled = "Package x new state: enabled\r\n";
  struct Row {
    const char* name;
    std::string package;
    RunResult restore, enable;
    std::vector<std::string> ran;
    bool still_remembered;
  } rows[] = {
      {"disabled by this program",
       "com.here",
       {restored, ""},
       {enabled, ""},
       {kRestore + "com.here", kEnable + "com.here"},
       false},
      {"found disabled by 已卸载的, blanks passed on",
       " com.found ",
       {restored, ""},
       {enabled, ""},
       {kRestore + " com.found ", kEnable + " com.found "},
       false},
      {"never disabled",
       "com.other",
       {restored, ""},
       {enabled, ""},
       {kRestore + "com.other"},
       false},
      {"restoring could not start: nothing enabled",
       "com.here",
       {"", gbk("拒绝访问。")},
       {enabled, ""},
       {kRestore + "com.here"},
       true},
      {"enabling refused: still remembered",
       "com.here",
       {restored, ""},
       {"Error: no\r\n", ""},
       {kRestore + "com.here", kEnable + "com.here"},
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    session.disabled_here = {"com.here"};
    session.found_disabled = {"com.found"};
    view.box(Box::name) = row.package;
    commands.results[kRestore + row.package] = row.restore;
    commands.results[kEnable + row.package] = row.enable;
    restore_package(view, commands, session);
    EXPECT_EQ(commands.ran, row.ran);
    std::string name(row.package == " com.found " ? "com.found" : row.package);
    EXPECT_EQ(session.disabled_here.count(name) + session.found_disabled.count(name),
              row.still_remembered ? 1u : 0u);
    EXPECT_FALSE(view.disabled(Button::restore));
  }
  // The answers of both commands are logged, in order.
  view = FakeView();
  commands = FakeCommands();
  session.disabled_here = {"com.here"};
  view.box(Box::name) = "com.here";
  commands.answers[kRestore + "com.here"] = restored;
  commands.answers[kEnable + "com.here"] = enabled;
  restore_package(view, commands, session);
  EXPECT_EQ(view.box(Box::log),
            gbk("恢复APP，请稍后...\r\n") + restored + "\r\n" + enabled + "\r\n");
}

}  // namespace
