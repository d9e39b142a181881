// 已卸载的 and 批量恢复: what was removed, and putting it all back; and the hint that names the
// program holding adb's port.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "packages/actions.h"
#include "tests/native/fakes.h"

namespace {

const std::string kAll = "c:\\adb\\adb.exe shell pm list packages -u";
const std::string kInstalled = "c:\\adb\\adb.exe shell pm list packages";
const std::string kDisabled = "c:\\adb\\adb.exe shell pm list packages -d";
const std::string kRestore = "c:\\adb\\adb.exe shell pm install-existing --user 0 ";
const std::string kDaemon =
    "* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n";

struct Rescue : ::testing::Test {
  FakeView view;
  FakeCommands commands;
  Session session;
};

// 已卸载的's count line: a removed and b disabled packages.
std::string removed_count(int a, int b) {
  return "已卸载 " + std::to_string(a) + " 个、已停用 " + std::to_string(b) +
         " 个应用，都列在下方（先列已卸载的，再列已停用的），可以用“恢复”或“批量恢复”找回。";
}

TEST_F(Rescue, RemovedAreThoseOfTheFullListingThatThePlainOneLacksThenTheDisabled) {
  const std::string four_unknown =
      "\r\n其中建议卸载 0 个，可以卸载 0 个，谨慎 0 个，不要卸载 0 个，未收录 4 个。";
  struct Row {
    const char* name;
    std::string all, installed, disabled, listed, log;  // log in UTF-8; "" when unchanged
  } rows[] = {
      {"phone order, one in both", "package:c\r\npackage:a\r\npackage:b\r\n", "package:a\r\n", "",
       "c\r\nb\r\n", removed_count(2, 0)},
      {"blanks and CR CR LF", "package:a\r\r\n\r\npackage:b\r\r\n", "\r\npackage:b\r\r\n", "",
       "a\r\n", removed_count(1, 0)},
      {"listed twice, taken once", "package:a\r\npackage:a\r\npackage:b\r\n", "package:b\r\n", "",
       "a\r\n", removed_count(1, 0)},
      {"daemon lines go to the log", kDaemon + "package:a\r\npackage:b\r\n", "package:b\r\n", "",
       "a\r\n", removed_count(1, 0) + "\r\n" + kDaemon},
      {"nothing removed or disabled", "package:a\r\n", "package:a\r\n", "", "",
       "手机上没有已卸载或已停用、还能恢复的应用。"},
      {"four removed: the count and its summary",
       "package:a1\r\npackage:a2\r\npackage:a3\r\npackage:a4\r\npackage:k\r\n", "package:k\r\n", "",
       "a1\r\na2\r\na3\r\na4\r\n", removed_count(4, 0) + four_unknown},
      {"the disabled after the removed, in the phone's order, each once",
       "package:c\r\npackage:a\r\npackage:b\r\npackage:d\r\npackage:e\r\n",
       "package:a\r\npackage:d\r\npackage:e\r\n", "package:e\r\npackage:d\r\npackage:e\r\r\n",
       "c\r\nb\r\ne\r\nd\r\n", removed_count(2, 2) + four_unknown},
      {"only disabled", "package:a\r\npackage:b\r\n", "package:a\r\npackage:b\r\n", "package:b\r\n",
       "b\r\n", removed_count(0, 1)},
      {"removed and said disabled: listed once, as removed", "package:a\r\npackage:b\r\n",
       "package:b\r\n", "package:a\r\n", "a\r\n", removed_count(1, 0)},
      // A phone gone between the commands lists nothing installed: nothing is taken as
      // removed, and adb's words and the hint are told.
      {"phone gone meanwhile", "package:a\r\npackage:b\r\n",
       "error: no devices/emulators found\r\n", "", "",
       "error: no devices/emulators found\r\n提示：" + kNoPhoneHint + "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::log) = "old";
    view.box(Box::list) = "stale\r\n";
    commands.answers[kAll] = row.all;
    commands.answers[kInstalled] = row.installed;
    commands.answers[kDisabled] = row.disabled;
    commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::list_removed)); };
    list_removed_packages(view, commands, session);
    EXPECT_EQ(commands.ran, (std::vector<std::string>{kAll, kInstalled, kDisabled}));
    EXPECT_EQ(view.box(Box::list), row.listed);
    EXPECT_EQ(view.box(Box::log), row.log.empty() ? "old" : gbk(row.log));
    EXPECT_FALSE(view.disabled(Button::list_removed));
  }
  // The session keeps what the last listing found disabled, for 恢复.
  EXPECT_TRUE(session.found_disabled.empty());
  commands.answers[kDisabled] = "package:e\r\npackage:d\r\n";
  list_removed_packages(view, commands, session);
  EXPECT_EQ(session.found_disabled, (std::set<std::string>{"d", "e"}));

  // No phone at all: told once, and nothing more is asked of it.
  view = FakeView();
  commands = FakeCommands();
  commands.answers[kAll] = "error: no devices/emulators found\r\n";
  list_removed_packages(view, commands, session);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kAll});
  EXPECT_EQ(view.box(Box::log),
            gbk("error: no devices/emulators found\r\n提示：" + kNoPhoneHint + "\r\n"));
  EXPECT_EQ(session.found_disabled, (std::set<std::string>{"d", "e"}));

  // The second listing cut short says so, and lists nothing.
  view = FakeView();
  commands = FakeCommands();
  commands.answers[kAll] = "package:a\r\npackage:b\r\n";
  commands.results[kInstalled] = {"package:a\r\n", "", true, false};
  list_removed_packages(view, commands, session);
  EXPECT_EQ(view.box(Box::list), "");
  EXPECT_EQ(view.box(Box::log), gbk("命令在 120 秒内没有结束，已停止。\r\n"));

  // Any command that cannot start is told, and those after it do not run.
  const std::string failing_ones[] = {kAll, kInstalled, kDisabled};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(failing_ones[i]);
    view = FakeView();
    commands = FakeCommands();
    commands.answers[kAll] = "package:a\r\n";
    commands.results[failing_ones[i]] = {"", gbk("拒绝访问。")};
    list_removed_packages(view, commands, session);
    EXPECT_EQ(view.box(Box::log), gbk("无法运行命令：拒绝访问。\r\n"));
    EXPECT_EQ(commands.ran.size(), i + 1);
    EXPECT_FALSE(view.disabled(Button::list_removed));
  }
}

TEST_F(Rescue, BatchRestoreRestoresEachLineWithoutPauses) {
  view.box(Box::list) = "com.a\r\na & del x\r\n\r\ncom.b";
  commands.answers[kRestore + "com.a"] = "Package com.a installed for user: 0\r\n";
  commands.answers[kRestore + "com.b"] =
      "android.content.pm.PackageManager$NameNotFoundException: Package com.b doesn't exist\r\n";
  commands.during_run = [&] {
    EXPECT_TRUE(view.disabled(Button::batch_restore));
    view.box(Box::list) = "com.evil\r\n";  // the items were taken before the first command
  };
  batch_restore(view, commands, session);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("是否批量恢复编辑框里的app"));
  EXPECT_EQ(view.messages[0].kind, MessageKind::ok_cancel);
  EXPECT_EQ(commands.ran,
            (std::vector<std::string>{kRestore + "com.a", kRestore, kRestore + "com.b"}));
  EXPECT_TRUE(commands.waits.empty());
  EXPECT_EQ(
      view.box(Box::log),
      gbk("准备恢复APP...\r\n恢复: <com.a> 中，请稍后...\r\nPackage com.a installed for user: "
          "0\r\n\r\n恢复: <a & del x> 中，请稍后...\r\n包名含有不能使用的字符，已跳过\r\n"
          "恢复: <> 中，请稍后...\r\n\r\n恢复: <com.b> 中，请稍后...\r\n") +
          "android.content.pm.PackageManager$NameNotFoundException: Package com.b doesn't "
          "exist\r\n\r\n" +
          gbk("提示：手机上没有这个包，无法恢复。可能是包名写错了；也可能它不是手机自带的应用，"
              "卸载时已被彻底删除，只能到应用商店重新安装。\r\n完成...\r\n"));
  EXPECT_FALSE(view.disabled(Button::batch_restore));

  // An empty list, and Cancel, run nothing.
  for (Answer answer : {Answer::ok, Answer::cancel}) {
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::log) = "old";
    view.box(Box::list) = answer == Answer::ok ? "" : "com.a\r\n";
    view.message_answer = answer;
    batch_restore(view, commands, session);
    EXPECT_TRUE(commands.ran.empty());
    EXPECT_EQ(view.box(Box::log), "old");
    ASSERT_EQ(view.messages.size(), 1u);
    if (answer == Answer::ok) {
      EXPECT_EQ(view.messages[0].text, gbk("没有包名呢"));
    }
  }
}

TEST_F(Rescue, OtherAdbHintNamesTheProgramOnTheAdbPort) {
  const std::string output =
      "adb server version (31) doesn't match this client (41); killing...\r\n"
      "could not read ok from ADB Server\r\n* failed to start daemon\r\n"
      "error: cannot connect to daemon\r\n";
  const std::string first =
      "提示：电脑上的另一个程序（多为手机助手）正在运行它自己的 adb，占用了 adb 的端口 5037，和本程序冲突"
      "。";
  const std::string advice = "请退出这个程序，或在任务管理器里结束它，然后再点“连接设备”。\r\n";
  struct Row {
    std::string holder, said;
  } rows[] = {
      {"tadb.exe", first + "占用端口的程序是 tadb.exe。" + advice},
      {"", first + advice},  // none known, or our own adb: nothing said of it
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.holder);
    view = FakeView();
    commands = FakeCommands();
    commands.port_holder = row.holder;
    commands.answers["c:\\adb\\adb.exe devices"] = output;
    connect_device(view, commands);
    EXPECT_EQ(view.box(Box::log), gbk("连接设备中...\r\n") + output + gbk(row.said));
  }
}

}  // namespace
