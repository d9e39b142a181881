#include "packages/actions.h"

#include <gtest/gtest.h>

#include "tests/native/fakes.h"

namespace {

const std::string kList = "c:\\adb\\adb shell pm list packages";
const std::string kUninstall = "c:\\adb\\adb uninstall --user 0 ";
const std::string kRestore = "c:\\adb\\adb shell pm install-existing --user 0 ";

struct Actions : ::testing::Test {
  FakeView view;
  FakeCommands commands;

  void list(const std::string& output) {
    commands.answers[kList] = output;
    list_packages(view, commands, Button::list_all, kList);
  }
};

TEST_F(Actions, ListingTurnsOutputIntoNamesAndCount) {
  struct Row {
    const char* name;
    std::string output, listed;
    std::string log;  // the count line, or "" when the log stays as it was
  } rows[] = {
      {"five packages", "package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\npackage:e\r\n",
       "a\r\nb\r\nc\r\nd\r\ne\r\n", "APP数量为： 5"},
      {"three is below the threshold", "package:a\r\npackage:b\r\npackage:c\r\n",
       "a\r\nb\r\nc\r\n", ""},
      {"four", "package:a\r\npackage:b\r\npackage:c\r\npackage:d", "a\r\nb\r\nc\r\nd\r\n",
       "APP数量为： 4"},
      {"after the first colon", "a:b:c\r\n", "b:c\r\n", ""},
      {"colon last", "package:\r\n", "\r\n", ""},
      {"no colon, blank line", "error here\r\n\r\npackage:x\r\n", "error here\r\n\r\nx\r\n", ""},
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

TEST_F(Actions, ListingDisablesItsButtonAndEmptiesTheListBeforeRunning) {
  view.box(Box::list) = "stale\r\n";
  commands.during_run = [&] {
    EXPECT_TRUE(view.disabled(Button::list_uninstalled));
    EXPECT_EQ(view.box(Box::list), "");
    view.box(Box::list) = "typed meanwhile\r\n";  // an action run inside the wait
  };
  commands.answers["c:\\adb\\adb shell pm list packages -u"] = "package:a\r\n";
  list_packages(view, commands, Button::list_uninstalled, "c:\\adb\\adb shell pm list packages -u");
  EXPECT_EQ(commands.ran, std::vector<std::string>{"c:\\adb\\adb shell pm list packages -u"});
  EXPECT_EQ(view.box(Box::list), "typed meanwhile\r\na\r\n");
  EXPECT_FALSE(view.disabled(Button::list_uninstalled));
}

TEST_F(Actions, ListingStopsWhenTheWindowClosesMeanwhile) {
  commands.during_run = [&] { view.closed_ = true; };
  list("package:a\r\npackage:b\r\npackage:c\r\npackage:d\r\n");
  EXPECT_EQ(view.calls, (std::vector<std::string>{"disable 5", "set 2"}));
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
  EXPECT_EQ(view.messages[0].style, 0u);
  EXPECT_TRUE(view.messages[0].owned);
  EXPECT_EQ(view.box(Box::list), "a\r\n");
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(Actions, SinglePackageCommandsLogProgressOutputAndEnd) {
  view.box(Box::name) = "com.miui.video";
  commands.answers[kUninstall + "com.miui.video"] = "Success\r\n";
  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::uninstall)); };
  uninstall_package(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("卸载APP中，请稍后...\r\n") + "Success\r\n\r\n" + gbk("完成...\r\n"));
  EXPECT_FALSE(view.disabled(Button::uninstall));

  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::restore)); };
  commands.answers[kRestore + "com.miui.video"] = "Package com.miui.video installed for user: 0\r\n";
  restore_package(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("恢复APP，请稍后...\r\n") +
                                    "Package com.miui.video installed for user: 0\r\n\r\n");
  EXPECT_FALSE(view.disabled(Button::restore));

  commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::connect)); };
  commands.answers["c:\\adb\\adb devices"] = "List of devices attached\r\nX\tdevice\r\n\r\n";
  connect_device(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("连接设备中...\r\n") + "List of devices attached\r\nX\tdevice\r\n\r\n");
  EXPECT_FALSE(view.disabled(Button::connect));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(Actions, EmptyOutputStillEndsTheLog) {
  view.box(Box::name) = "x";
  uninstall_package(view, commands);
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
      action(view, commands);
      if (row.message.empty()) {
        ASSERT_EQ(commands.ran.size(), 1u);
        std::string prefix = action == uninstall_package ? kUninstall : kRestore;
        EXPECT_EQ(commands.ran[0], prefix + row.name);  // passed on unchanged, blanks too
        EXPECT_TRUE(view.messages.empty());
      } else {
        EXPECT_TRUE(commands.ran.empty());
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, gbk(row.message));
        EXPECT_EQ(view.messages[0].style, 0u);
        EXPECT_FALSE(view.messages[0].owned);
        EXPECT_EQ(view.box(Box::log), "old");
        EXPECT_TRUE(view.calls.empty());  // the button was never disabled
      }
    }
  }
}

TEST_F(Actions, SinglePackageCommandStopsWhenTheWindowClosesMeanwhile) {
  view.box(Box::name) = "com.a";
  commands.during_run = [&] { view.closed_ = true; };
  uninstall_package(view, commands);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"disable 2", "set 0"}));
}

const std::string kBatchStart = "准备卸载APP...\r\n";
std::string item_line(const std::string& item) { return gbk("卸载: <") + item + gbk("> 中，请稍后...\r\n"); }

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
    batch_uninstall(view, commands);

    std::string log = gbk(kBatchStart);
    std::vector<std::string> ran;
    for (const std::string& item : row.items) {
      log += item_line(item) + "out " + item + "\r\n";
      ran.push_back(kUninstall + item);
    }
    log += gbk("完成...\r\n");
    EXPECT_EQ(view.box(Box::log), log);
    EXPECT_EQ(commands.ran, ran);
    EXPECT_EQ(commands.waits, std::vector<int>(row.items.size(), 1000));
    EXPECT_EQ(view.box(Box::list), row.list);
    EXPECT_FALSE(view.disabled(Button::batch));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, gbk("是否批量卸载编辑框里的app"));
    EXPECT_EQ(view.messages[0].style, 1u);
  }
}

TEST_F(Actions, BatchAsksFirstAndChecksTheList) {
  view.box(Box::log) = "old";
  batch_uninstall(view, commands);  // empty list
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, gbk("没有包名呢"));
  EXPECT_EQ(view.messages[0].style, 0u);

  view.messages.clear();
  view.box(Box::list) = "A\r\n";
  view.message_answer = 1;  // Cancel
  batch_uninstall(view, commands);
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.box(Box::log), "old");
  EXPECT_TRUE(commands.ran.empty());
  EXPECT_TRUE(view.calls.empty());
}

TEST_F(Actions, BatchTakesItsItemsOnceAndSkipsUnsafeOnes) {
  view.box(Box::list) = "com.a\r\na & del x\r\na|b\r\na;reboot\r\n" + gbk("微信") + "\r\ncom.b\r\n";
  commands.during_run = [&] { view.box(Box::list) = "com.evil\r\n"; };
  batch_uninstall(view, commands);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUninstall + "com.a", kUninstall + "com.b"}));
  EXPECT_EQ(commands.waits, (std::vector<int>{1000, 1000}));
  std::string skipped = gbk("包名含有不能使用的字符，已跳过\r\n");
  EXPECT_EQ(view.box(Box::log), gbk(kBatchStart) + item_line("com.a") + "\r\n" +
                                    item_line("a & del x") + skipped + item_line("a|b") + skipped +
                                    item_line("a;reboot") + skipped + item_line(gbk("微信")) +
                                    skipped + item_line("com.b") + "\r\n" + gbk("完成...\r\n"));
}

TEST_F(Actions, BatchStopsWhenTheWindowClosesDuringAPause) {
  view.box(Box::list) = "A\r\nB\r\nC\r\n";
  commands.during_wait = [&] { view.closed_ = true; };
  batch_uninstall(view, commands);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kUninstall + "A"});
  EXPECT_TRUE(view.disabled(Button::batch));
}

}  // namespace
