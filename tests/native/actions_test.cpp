#include "packages/actions.h"

#include <gtest/gtest.h>

#include "packages/package_info.h"
#include "tests/native/fakes.h"

namespace {

const std::string kList = "c:\\adb\\adb.exe shell pm list packages";
const std::string kUninstall = "c:\\adb\\adb.exe uninstall --user 0 ";
const std::string kRestore = "c:\\adb\\adb.exe shell pm install-existing --user 0 ";
const std::string kUserApps = "c:\\adb\\adb.exe shell pm list packages -3";

const std::string kBatchStart = "准备卸载APP...\r\n";
std::string item_line(const std::string& item) {
  return gbk("卸载: <") + item + gbk("> 中，请稍后...\r\n");
}

// The batch's closing lines: "完成..." and the count.
std::string batch_end(int items, int removed, int skipped, int failed) {
  return gbk("完成...\r\n共 " + std::to_string(items) + " 个：卸载了 " + std::to_string(removed) +
             " 个，停用了 0 个，跳过 " + std::to_string(skipped) + " 个，没有成功 " +
             std::to_string(failed) + " 个。\r\n");
}

// The Chinese name the package information gives a package.
std::string title_of(const char* name) { return std::string(find_package_info(name)->title); }

// The count line of a listing of n packages the program does not know, and its summary.
std::string count_of_unknown(int n) {
  return "APP数量为： " + std::to_string(n) +
         "\r\n其中建议卸载 0 个，可以卸载 0 个，谨慎 0 个，不要卸载 0 个，未收录 " +
         std::to_string(n) + " 个。";
}

struct Actions : ::testing::Test {
  FakeView view;
  FakeCommands commands;
  Session session;

  void list(const std::string& output) {
    commands.answers[kList] = output;
    list_packages(view, commands, Button::list_all, kList);
  }
};

TEST_F(Actions, ListingTakesOnlyPackageLinesAndLogsTheRest) {
  const std::string daemon =
      "* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n";
  struct Row {
    const char* name;
    std::string output, listed;
    std::string log;  // UTF-8; "" when the log stays as it was
  } rows[] = {
      {"five packages", "package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\npackage:e\r\n",
       "a\r\nb\r\nc\r\nd\r\ne\r\n", count_of_unknown(5)},
      {"three is below the threshold", "package:a\r\npackage:b\r\npackage:c\r\n", "a\r\nb\r\nc\r\n",
       ""},
      {"four, no final line end", "package:a\r\npackage:b\r\npackage:c\r\npackage:d",
       "a\r\nb\r\nc\r\nd\r\n", count_of_unknown(4)},
      {"everything after the marker", "package:a:b:c\r\n", "a:b:c\r\n", ""},
      {"marker alone is an empty name", "package:\r\n", "\r\n", ""},
      {"daemon lines go to the log",
       daemon + "package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\n", "a\r\nb\r\nc\r\nd\r\n",
       count_of_unknown(4) + "\r\n" + daemon},
      {"adb talking without a count", "error: device offline\r\n", "",
       "error: device offline\r\n提示：手机处于离线状态。请拔下数据线再重新插上；仍不行时，请在“开发者"
       "选项”中撤销USB调试授权，然后重新连接。\r\n"},
      {"a colon alone does not make a package", "a:b\r\nPackage:x\r\n package:y\r\n", "",
       "a:b\r\nPackage:x\r\n package:y\r\n"},
      {"package names do not give hints", "package:com.x.offlinemaps\r\n", "com.x.offlinemaps\r\n",
       ""},
      {"blank lines dropped", "\r\n\r\npackage:x\r\n\r\r\n", "x\r\n", ""},
      {"bare LF is one line", "package:a\npackage:b\n", "a\npackage:b\n\r\n", ""},
      {"CR CR LF from old phones", "package:a\r\r\npackage:b\r\r\n", "a\r\nb\r\n", ""},
      {"empty output", "", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    view.box(Box::log) = "old";
    list(row.output);
    EXPECT_EQ(view.box(Box::list), row.listed);
    EXPECT_EQ(view.box(Box::log), row.log.empty() ? "old" : gbk(row.log));
    EXPECT_FALSE(view.disabled(Button::list_all));
  }
}

TEST_F(Actions, ListingThatCannotRunOrIsCutShortSaysSo) {
  commands.results[kList] = {"", gbk("找不到文件。（CreateProcess，错误代码 2）")};
  list_packages(view, commands, Button::list_all, kList);
  EXPECT_EQ(view.box(Box::log), gbk("无法运行命令：找不到文件。（CreateProcess，错误代码 2）\r\n"));
  EXPECT_EQ(view.box(Box::list), "");

  commands.results[kList] = {"package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\npackage:e", "",
                             true, true};
  list_packages(view, commands, Button::list_all, kList);
  EXPECT_EQ(view.box(Box::list), "a\r\nb\r\nc\r\nd\r\ne\r\n");
  EXPECT_EQ(view.box(Box::log), gbk(count_of_unknown(5) + "\r\n输出超过 64 MB，其余部分已略去。\r\n"
                                                          "命令在 120 秒内没有结束，已停止。\r\n"));
  EXPECT_FALSE(view.disabled(Button::list_all));
}

TEST_F(Actions, ListingDisablesItsButtonAndEmptiesTheListBeforeRunning) {
  view.box(Box::list) = "stale\r\n";
  commands.during_run = [&] {
    EXPECT_TRUE(view.disabled(Button::list_uninstalled));
    EXPECT_EQ(view.box(Box::list), "");
    view.box(Box::list) = "typed meanwhile\r\n";  // an action run inside the wait
  };
  commands.answers["c:\\adb\\adb.exe shell pm list packages -u"] = "package:a\r\n";
  list_packages(view, commands, Button::list_uninstalled,
                "c:\\adb\\adb.exe shell pm list packages -u");
  EXPECT_EQ(commands.ran, std::vector<std::string>{"c:\\adb\\adb.exe shell pm list packages -u"});
  EXPECT_EQ(view.box(Box::list), "typed meanwhile\r\na\r\n");
  EXPECT_FALSE(view.disabled(Button::list_uninstalled));
}

TEST_F(Actions, ListingStopsWhenTheWindowClosesMeanwhile) {
  commands.during_run = [&] { view.closed_ = true; };
  list("package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\n");
  EXPECT_EQ(view.calls, (std::vector<std::string>{"disable 0", "set 2"}));
}

TEST_F(Actions, FilterKeepsMatchingLinesCaseSensitively) {
  struct Row {
    const char* name;
    std::string filter, list, kept, log;
  } rows[] = {
      {"two kept", "tencent", "com.tencent.mm\r\ncom.android.x\r\ncom.tencent.qq\r\n",
       "com.tencent.mm\r\ncom.tencent.qq\r\n", "APP数量为：2"},
      {"one kept, log unchanged", "mm", "com.tencent.mm\r\ncom.a\r\n", "com.tencent.mm\r\n", ""},
      {"case matters", "abc", "ABC\r\nxabc\r\n", "xabc\r\n", ""},
      {"last line gains CR LF", "a", "a1\r\na2", "a1\r\na2\r\n", "APP数量为：2"},
      {"blank lines dropped", "a", "a\r\n\r\n\r\na\r\n", "a\r\na\r\n", "APP数量为：2"},
      {"blank filter", " ", "a b\r\nab\r\n", "a b\r\n", ""},
      {"none kept", "zzz", "a\r\nb\r\n", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    view.box(Box::log) = "old";
    view.box(Box::name) = row.filter;
    view.box(Box::list) = row.list;
    filter_packages(view);
    EXPECT_EQ(view.box(Box::list), row.kept);
    EXPECT_EQ(view.box(Box::log), row.log.empty() ? "old" : gbk(row.log));
    EXPECT_TRUE(view.messages.empty());
  }
}

TEST_F(Actions, FilterWithEmptyNameBoxOnlyShowsAMessage) {
  view.box(Box::list) = "a\r\n";
  filter_packages(view);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("请在执行按钮后的编辑框填写筛选的内容"));
  EXPECT_EQ(view.messages[0].kind, MessageKind::ok);
  EXPECT_TRUE(view.messages[0].owned);
  EXPECT_EQ(view.box(Box::list), "a\r\n");
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(Actions, SinglePackageCommandsLogProgressOutputAndEnd) {
  view.box(Box::name) = "com.miui.video";
  commands.answers[kUninstall + "com.miui.video"] = "Success\r\n";
  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::uninstall)); };
  uninstall_package(view, commands, session);
  EXPECT_EQ(view.box(Box::log),
            gbk("卸载APP中，请稍后...\r\n") + "Success\r\n\r\n" + gbk("完成...\r\n"));
  EXPECT_FALSE(view.disabled(Button::uninstall));

  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::restore)); };
  commands.answers[kRestore + "com.miui.video"] =
      "Package com.miui.video installed for user: 0\r\n";
  restore_package(view, commands, session);
  EXPECT_EQ(view.box(Box::log),
            gbk("恢复APP，请稍后...\r\n") + "Package com.miui.video installed for user: 0\r\n\r\n");
  EXPECT_FALSE(view.disabled(Button::restore));

  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::connect)); };
  commands.answers["c:\\adb\\adb.exe devices"] = "List of devices attached\r\nX\tdevice\r\n\r\n";
  connect_device(view, commands);
  EXPECT_EQ(view.box(Box::log),
            gbk("连接设备中...\r\n") + "List of devices attached\r\nX\tdevice\r\n\r\n");
  EXPECT_FALSE(view.disabled(Button::connect));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Actions, EmptyOutputStillEndsTheLog) {
  view.box(Box::name) = "x";
  uninstall_package(view, commands, session);
  EXPECT_EQ(view.box(Box::log), gbk("卸载APP中，请稍后...\r\n") + "\r\n" + gbk("完成...\r\n"));
  connect_device(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("连接设备中...\r\n"));
}

TEST_F(Actions, NameBoxIsCheckedBeforeAnythingRuns) {
  struct Row {
    std::string name;
    std::string message;  // "" when the command runs
  } rows[] = {
      {"", "还没填写包名呢..."},
      {"a & del x", "包名含有不能使用的字符"},
      {"a|b", "包名含有不能使用的字符"},
      {"a>b", "包名含有不能使用的字符"},
      {"a;reboot", "包名含有不能使用的字符"},
      {"a`id`", "包名含有不能使用的字符"},
      {"a\tb", "包名含有不能使用的字符"},
      {"com.a\r\n", "包名含有不能使用的字符"},
      {gbk("微信"), "包名含有不能使用的字符"},
      {"com.tencent.mm", ""},
      {" com.tencent.mm ", ""},
      {"   ", ""},
      {"A_b.9", ""},
  };
  for (auto action : {uninstall_package, restore_package}) {
    for (const Row& row : rows) {
      SCOPED_TRACE("name '" + row.name + "'");
      view = FakeView();
      commands = FakeCommands();
      view.box(Box::log) = "old";
      view.box(Box::name) = row.name;
      action(view, commands, session);
      if (row.message.empty()) {
        // Uninstalling asks the phone for its own apps first.
        bool uninstalling = action == uninstall_package;
        ASSERT_EQ(commands.ran.size(), uninstalling ? 2u : 1u);
        EXPECT_EQ(commands.ran[0], uninstalling ? kUserApps : kRestore + row.name);
        EXPECT_EQ(commands.ran.back(), (uninstalling ? kUninstall : kRestore) + row.name);
        // passed on unchanged, blanks too
        EXPECT_TRUE(view.messages.empty());
      } else {
        EXPECT_TRUE(commands.ran.empty());
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, gbk(row.message));
        EXPECT_EQ(view.messages[0].kind, MessageKind::ok);
        EXPECT_FALSE(view.messages[0].owned);
        EXPECT_EQ(view.box(Box::log), "old");
        EXPECT_TRUE(view.calls.empty());  // the button was never disabled
      }
    }
  }
}

TEST_F(Actions, CommandsThatFailOrAreCutShortSayWhatHappened) {
  const std::string reason = gbk("系统找不到指定的文件。（CreateProcess，错误代码 2）");
  const std::string cannot_run = gbk("无法运行命令：") + reason + "\r\n";
  const std::string not_installed = gbk("提示：手机上没有这个包，或者它已经卸载了。\r\n");
  const std::string timed_out = gbk("命令在 120 秒内没有结束，已停止。\r\n");
  const std::string truncated = gbk("输出超过 64 MB，其余部分已略去。\r\n");
  const std::string progress = gbk("卸载APP中，请稍后...\r\n");
  const std::string done = gbk("完成...\r\n");
  struct Row {
    const char* name;
    RunResult result;
    std::string log;  // after the progress line
  } rows[] = {
      {"cannot start: no closing line", {"", reason, false, false}, cannot_run},
      {"hint before the closing line",
       {"Failure [not installed for 0]\r\n", "", false, false},
       "Failure [not installed for 0]\r\n\r\n" + not_installed + done},
      {"timed out instead of the closing line",
       {"partial", "", true, false},
       "partial\r\n" + timed_out},
      {"cut output", {"lots", "", false, true}, "lots\r\n" + truncated + done},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::name) = "com.x";
    commands.results[kUninstall + "com.x"] = row.result;
    uninstall_package(view, commands, session);
    EXPECT_EQ(view.box(Box::log), progress + row.log);
    EXPECT_FALSE(view.disabled(Button::uninstall));
  }

  // Connect appends adb's words unchanged: a hint goes on a line of its own.
  commands.answers["c:\\adb\\adb.exe devices"] = "List of devices attached";
  connect_device(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("连接设备中...\r\n") + "List of devices attached\r\n" +
                                    gbk("提示：" + kNoPhoneHint + "\r\n"));
  commands.results["c:\\adb\\adb.exe devices"] = {"", reason};
  connect_device(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("连接设备中...\r\n") + cannot_run);
}

TEST_F(Actions, CriticalPackageIsRemovedOnlyAfterYes) {
  const std::string question =
      "com.miui.home" + gbk(" 是手机的关键组件（") + title_of("com.miui.home") +
      gbk("），卸载后手机可能无法正常使用，甚至无法开机。\r\n确定要卸载吗？");
  for (Answer answer : {Answer::no, Answer::yes}) {
    SCOPED_TRACE(answer == Answer::yes ? "yes" : "no");
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::log) = "old";
    view.box(Box::name) = " com.miui.home ";
    view.message_answer = answer;
    uninstall_package(view, commands, session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, question);
    EXPECT_EQ(view.messages[0].kind, MessageKind::yes_no_warning);
    EXPECT_TRUE(view.messages[0].owned);
    if (answer == Answer::no) {
      EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
      EXPECT_EQ(view.box(Box::log), "old");
    } else {
      EXPECT_EQ(commands.ran,
                (std::vector<std::string>{kUserApps, kUninstall + " com.miui.home "}));
    }
    EXPECT_FALSE(view.disabled(Button::uninstall));
  }

  // Restore is never asked about; near names are not critical.
  for (const char* name : {"com.miui.home", "com.miui.Home", "com.miui.home2"}) {
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::name) = name;
    bool restoring = std::string(name) == "com.miui.home";
    if (restoring)
      restore_package(view, commands, session);
    else
      uninstall_package(view, commands, session);
    EXPECT_TRUE(view.messages.empty()) << name;
    EXPECT_EQ(commands.ran.size(), restoring ? 1u : 2u) << name;
  }
}

TEST_F(Actions, LongNamesAreRefused) {
  std::string longest(255, 'a'), too_long(256, 'a');
  view.box(Box::name) = longest;
  uninstall_package(view, commands, session);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUserApps, kUninstall + longest}));

  view = FakeView();
  commands = FakeCommands();
  view.box(Box::name) = too_long;
  restore_package(view, commands, session);
  EXPECT_TRUE(commands.ran.empty());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("包名太长（最多 255 个字符）"));

  view = FakeView();
  view.box(Box::list) = too_long + "\r\n";
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
  EXPECT_EQ(view.box(Box::log), gbk("准备卸载APP...\r\n") + item_line(too_long) +
                                    gbk("包名太长，已跳过\r\n") + batch_end(1, 0, 1, 0));
}

TEST_F(Actions, FailuresOfTheProgramItselfAreTold) {
  report_deploy_failure(view, gbk("拒绝访问。（CreateFile，错误代码 5）"));
  EXPECT_EQ(view.box(Box::log),
            gbk("无法把 adb 工具写入 c:\\adb：拒绝访问。（CreateFile，错误代码 5）\r\n"
                "请检查磁盘空间和 c:\\adb 的写入权限，然后重新打开本程序。\r\n"));
  report_driver_failure(view, gbk("拒绝访问。"));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("无法启动驱动安装程序：拒绝访问。"));
  EXPECT_EQ(view.messages[0].kind, MessageKind::ok);
  EXPECT_TRUE(view.messages[0].owned);
}

TEST_F(Actions, SinglePackageCommandStopsWhenTheWindowClosesMeanwhile) {
  // Closed while the phone lists its own apps, and while it uninstalls.
  const std::vector<std::string> calls[] = {{"disable 1"}, {"disable 1", "set 0"}};
  for (size_t closing_run = 0; closing_run < 2; ++closing_run) {
    SCOPED_TRACE(closing_run);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::name) = "com.a";
    commands.during_run = [&] { view.closed_ = commands.ran.size() == closing_run + 1; };
    uninstall_package(view, commands, session);
    EXPECT_EQ(view.calls, calls[closing_run]);
    EXPECT_EQ(commands.ran.size(), closing_run + 1);
  }
}

TEST_F(Actions, BatchUninstallsEachLineWithItsPause) {
  struct Row {
    const char* name;
    std::string list;
    std::vector<std::string> items;
  } rows[] = {
      {"two names", "A\r\nB\r\n", {"A", "B"}},
      {"no final line end", "A\r\nB", {"A", "B"}},
      {"blank line between", "A\r\n\r\nB\r\n", {"A", "", "B"}},
      {"only a line end", "\r\n", {""}},
      {"blanks around a name", " A \r\n", {" A "}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::list) = row.list;
    for (const std::string& item : row.items) commands.answers[kUninstall + item] = "out " + item;
    commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::batch)); };
    batch_uninstall(view, commands, session);

    std::string log = gbk(kBatchStart);
    std::vector<std::string> ran = {kUserApps};
    for (const std::string& item : row.items) {
      log += item_line(item) + "out " + item + "\r\n";
      ran.push_back(kUninstall + item);
    }
    int n = static_cast<int>(row.items.size());
    log += batch_end(n, 0, 0, n);
    EXPECT_EQ(view.box(Box::log), log);
    EXPECT_EQ(commands.ran, ran);
    EXPECT_EQ(commands.waits, std::vector<int>(row.items.size(), 1000));
    EXPECT_EQ(view.box(Box::list), row.list);
    EXPECT_FALSE(view.disabled(Button::batch));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, gbk("是否批量卸载编辑框里的app"));
    EXPECT_EQ(view.messages[0].kind, MessageKind::ok_cancel);
  }
}

TEST_F(Actions, BatchAsksFirstAndChecksTheList) {
  view.box(Box::log) = "old";
  batch_uninstall(view, commands, session);  // empty list
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("没有包名呢"));
  EXPECT_EQ(view.messages[0].kind, MessageKind::ok);

  view.messages.clear();
  view.box(Box::list) = "A\r\n";
  view.message_answer = Answer::cancel;
  batch_uninstall(view, commands, session);
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.box(Box::log), "old");
  EXPECT_TRUE(commands.ran.empty());
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(Actions, BatchTakesItsItemsOnceAndSkipsUnsafeOnes) {
  view.box(Box::list) = "com.a\r\na & del x\r\na|b\r\na;reboot\r\n" + gbk("微信") + "\r\ncom.b\r\n";
  commands.during_run = [&] { view.box(Box::list) = "com.evil\r\n"; };
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran,
            (std::vector<std::string>{kUserApps, kUninstall + "com.a", kUninstall + "com.b"}));
  EXPECT_EQ(commands.waits, (std::vector<int>{1000, 1000}));
  std::string skipped = gbk("包名含有不能使用的字符，已跳过\r\n");
  EXPECT_EQ(view.box(Box::log), gbk(kBatchStart) + item_line("com.a") + "\r\n" +
                                    item_line("a & del x") + skipped + item_line("a|b") + skipped +
                                    item_line("a;reboot") + skipped + item_line(gbk("微信")) +
                                    skipped + item_line("com.b") + "\r\n" + batch_end(6, 0, 4, 2));
}

TEST_F(Actions, BatchSkipsCriticalPackagesAndGoesOnAfterFailures) {
  view.box(Box::list) =
      "com.miui.video\r\ncom.miui.home\r\n com.miui.securitycenter \r\n"
      "com.miui.Home\r\ncom.miui.notes\r\n";
  commands.results[kUninstall + "com.miui.video"] = {"", gbk("拒绝访问。")};
  commands.answers[kUninstall + "com.miui.notes"] = "error: device offline\r\n";
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUserApps, kUninstall + "com.miui.video",
                                                    kUninstall + "com.miui.Home",
                                                    kUninstall + "com.miui.notes"}));
  EXPECT_EQ(commands.waits, (std::vector<int>{1000, 1000, 1000}));
  std::string skip_tail = gbk("），已跳过。如确需卸载，请用“卸载”按钮单独卸载。\r\n");
  EXPECT_EQ(
      view.box(Box::log),
      gbk(kBatchStart) + item_line("com.miui.video") + gbk("无法运行命令：拒绝访问。\r\n") +
          item_line("com.miui.home") + "com.miui.home" + gbk(" 是手机的关键组件（") +
          title_of("com.miui.home") + skip_tail + item_line(" com.miui.securitycenter ") +
          "com.miui.securitycenter" + gbk(" 是手机的关键组件（") +
          title_of("com.miui.securitycenter") + skip_tail + item_line("com.miui.Home") + "\r\n" +
          item_line("com.miui.notes") + "error: device offline\r\n\r\n" +
          gbk("提示：手机处于离线状态。请拔下数据线再重新插上；仍不行时，请在“开发者选项”中撤销USB调试授权，"
              "然后重新连接。\r\n") +
          batch_end(5, 0, 2, 3));
}

TEST_F(Actions, BatchStopsWhenTheWindowClosesDuringAPause) {
  view.box(Box::list) = "A\r\nB\r\nC\r\n";
  commands.during_wait = [&] { view.closed_ = true; };
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUserApps, kUninstall + "A"}));
  EXPECT_TRUE(view.disabled(Button::batch));
}

}  // namespace
