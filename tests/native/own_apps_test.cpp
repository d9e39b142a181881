// The phone's own (user) apps: removing one deletes it for good, so 查看说明 marks them,
// 推荐卸载 never lists them and 卸载 and 批量卸载 ask before removing one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packages/actions.h"
#include "packages/package_info.h"
#include "tests/native/fakes.h"

namespace {

const std::string kList = "c:\\adb\\adb.exe shell pm list packages";
const std::string kSystem = "c:\\adb\\adb.exe shell pm list packages -s";
const std::string kUserApps = "c:\\adb\\adb.exe shell pm list packages -3";
const std::string kUninstall = "c:\\adb\\adb.exe uninstall --user 0 ";
const std::string kUserApp = "com.user.app";

// The first exact name of the data of one class.
std::string first_of(Removal removal, int skip = 0) {
  for (int i = 0; i < package_info_exact_count(); ++i)
    if (package_info_entry(i).removal == removal && skip-- == 0)
      return std::string(package_info_entry(i).name);
  ADD_FAILURE() << "too few entries of the class";
  return {};
}

std::string title(const std::string& name) { return std::string(find_package_info(name)->title); }
std::string use(const std::string& name) { return std::string(find_package_info(name)->use); }

const std::string kUserQuestion = gbk(
    " 是用户应用（自己安装或手机预装的普通应用）：卸载会把它连同数据彻底删除，本程序无法恢复它。\r\n");
const std::string kSure = gbk("确定要卸载吗？");

struct OwnApps : ::testing::Test {
  FakeView view;
  FakeCommands commands;
  Session session;
  std::string optional = first_of(Removal::optional);
  std::string recommended = first_of(Removal::recommended);
  std::string caution = first_of(Removal::caution);
  std::string caution2 = first_of(Removal::caution, 1);
  std::string keep = first_of(Removal::keep);
};

TEST_F(OwnApps, ExplainMarksUserAppsWhenThePhoneAnswers) {
  const std::string mark = gbk("（用户应用：卸载后无法用本程序恢复）");
  const std::string known =
      optional + gbk("：") + title(optional) + gbk("【可以卸载】") + use(optional);
  const std::string known_caution =
      caution + gbk("：") + title(caution) + gbk("【谨慎】") + use(caution) + "\r\n";
  const std::string unknown_user =
      kUserApp + gbk("：用户应用【可以卸载】自己安装或手机预装的普通应用，卸载只会失去它本身") +
      mark + "\r\n";
  const std::string unknown = "com.nobody" + gbk("：未收录【用途不明，建议保留】\r\n");
  const std::string no_phone = gbk(
      "（没能向手机查询哪些是用户应用，上面没有标出。连好手机后再点“查看说明”，会标出卸载后无法恢复"
      "的用户应用。）\r\n");
  // The user app's name with something after it, or as part of a longer one, is not it.
  const std::string answer = "package:" + optional + "\r\npackage:" + kUserApp +
                             "\r\npackage:" + caution + ".extra\r\npackage:x" + caution + "\r\n";
  // Each line as 查看说明 wrote it before it asked the phone.
  const std::string unmarked = known + "\r\n" + kUserApp +
                               gbk("：未收录【用途不明，建议保留】\r\n") + known_caution + unknown;
  struct Row {
    const char* name;
    RunResult users;
    std::string added;
  } rows[] = {
      {"known, unknown and near names",
       {answer, ""},
       known + mark + "\r\n" + unknown_user + known_caution + unknown},
      {"a phone without apps of its own", {"", ""}, unmarked},
      {"no phone: adb only talks",
       {"error: no devices/emulators found\r\n", ""},
       unmarked + no_phone},
      {"the command cannot start", {"", gbk("拒绝访问。")}, unmarked + no_phone},
      {"cut off by time", {answer, "", true, false}, unmarked + no_phone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::list) = optional + "\r\n" + kUserApp + "\r\n" + caution + "\r\ncom.nobody\r\n";
    commands.results[kUserApps] = row.users;
    commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::explain)); };
    explain_packages(view, commands);
    EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
    EXPECT_EQ(view.box(Box::log), row.added);
    EXPECT_FALSE(view.disabled(Button::explain));
  }
}

TEST_F(OwnApps, RecommendAsksForTheSystemsPackagesOnly) {
  // A recommended package that the phone lists as its own app is not a system package.
  commands.answers[kList] = "package:" + recommended + "\r\n";
  commands.answers[kUserApps] = "package:" + recommended + "\r\n";
  commands.answers[kSystem] = "package:" + optional + "\r\n";
  recommend_packages(view, commands);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kSystem});
  EXPECT_EQ(view.box(Box::list), "");
}

TEST_F(OwnApps, SingleUninstallOfAUserAppAsksOnceFirst) {
  struct Row {
    const char* name;
    std::string package, users, question;  // question "" when none is asked
  } rows[] = {
      {"a user app", kUserApp, "package:" + kUserApp + "\r\n", kUserApp + kUserQuestion + kSure},
      {"blanks around the name", " " + kUserApp + " ", "package:" + kUserApp + "\r\n",
       kUserApp + kUserQuestion + kSure},
      {"a user app some users need: one question", caution, "package:" + caution + "\r\n",
       caution + gbk("（") + title(caution) + gbk("）需要谨慎卸载：") + use(caution) + "\r\n" +
           caution + kUserQuestion + kSure},
      {"a user app not to remove: one question", keep, "package:" + keep + "\r\n",
       keep + gbk(" 是手机的关键组件（") + title(keep) +
           gbk("），卸载后手机可能无法正常使用，甚至无法开机。\r\n") + keep + kUserQuestion +
           kSure},
      {"near names are not it", kUserApp,
       "package:" + kUserApp + "2\r\npackage:x" + kUserApp + "\r\n" + kUserApp + "\r\n", ""},
  };
  for (const Row& row : rows) {
    for (Answer answer : {Answer::yes, Answer::no}) {
      SCOPED_TRACE(std::string(row.name) + (answer == Answer::yes ? ", yes" : ", no"));
      view = FakeView();
      commands = FakeCommands();
      view.box(Box::log) = "old";
      view.box(Box::name) = row.package;
      view.message_answer = answer;
      commands.answers[kUserApps] = row.users;
      uninstall_package(view, commands, session);
      bool asked = !row.question.empty();
      ASSERT_EQ(view.messages.size(), asked ? 1u : 0u);
      if (asked) {
        EXPECT_EQ(view.messages[0].text, row.question);
        EXPECT_EQ(view.messages[0].kind, MessageKind::yes_no_warning);
      }
      bool removes = !asked || answer == Answer::yes;
      std::vector<std::string> ran = {kUserApps};
      if (removes) ran.push_back(kUninstall + row.package);
      EXPECT_EQ(commands.ran, ran);
      // After No the log is as it was.
      EXPECT_EQ(view.box(Box::log),
                removes ? gbk("卸载APP中，请稍后...\r\n\r\n完成...\r\n") : "old");
      EXPECT_FALSE(view.disabled(Button::uninstall));
    }
  }

  // Without knowing which apps are the phone's own, nothing is removed.
  view = FakeView();
  commands = FakeCommands();
  view.box(Box::name) = kUserApp;
  commands.results[kUserApps] = {"", gbk("拒绝访问。")};
  uninstall_package(view, commands, session);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
  EXPECT_EQ(view.box(Box::log), gbk("卸载APP中，请稍后...\r\n无法运行命令：拒绝访问。\r\n"));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(OwnApps, BatchAsksOnceMoreAboutUserApps) {
  // A plain package, a user app, one some users need, one that is both, and one not to remove
  // that is a user app too.
  const std::string both = caution2;
  view.box(Box::list) =
      optional + "\r\n" + kUserApp + "\r\n" + caution + "\r\n" + both + "\r\n" + keep + "\r\n";
  const std::string choices =
      gbk("\r\n点“是”一并卸载它们；点“否”跳过它们，只卸载其余的应用；点“取消”什么也不卸载。");
  const std::string caution_question =
      gbk("列表里有 1 个需要谨慎卸载的应用，卸载后部分功能会失效：\r\n") + caution + gbk("（") +
      title(caution) + gbk("）\r\n") + choices;
  const std::string user_question =
      gbk("列表里有 2 个用户应用（自己安装或手机预装的普通应用），卸载会把它们连同数据彻底删除，本程序无"
          "法恢复：\r\n") +
      kUserApp + "\r\n" + both + gbk("（") + title(both) + gbk("）\r\n") + choices;
  auto user_skipped = [](const std::string& name) {
    return name +
           gbk(" 是用户应用，卸载后无法用本程序恢复，已跳过。如确需卸载，请用“卸载”按钮单独卸载。\r\n");
  };
  struct Row {
    const char* name;
    std::vector<Answer> answers;  // to the caution question, then the user apps'
    std::vector<std::string> removed;
    std::string count;  // the closing count, UTF-8; "" when nothing ran
  } rows[] = {
      {"yes, yes",
       {Answer::yes, Answer::yes},
       {optional, kUserApp, caution, both},
       "共 5 个：卸载了 4 个，停用了 0 个，跳过 1 个，没有成功 0 个。"},
      {"yes, no",
       {Answer::yes, Answer::no},
       {optional, caution},
       "共 5 个：卸载了 2 个，停用了 0 个，跳过 3 个，没有成功 0 个。"},
      {"no, yes",
       {Answer::no, Answer::yes},
       {optional, kUserApp, both},
       "共 5 个：卸载了 3 个，停用了 0 个，跳过 2 个，没有成功 0 个。"},
      {"yes, cancel", {Answer::yes, Answer::cancel}, {}, ""},
      {"cancel", {Answer::cancel}, {}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view.box(Box::log) = "old";
    view.messages.clear();
    commands = FakeCommands();
    commands.answers[kUserApps] =
        "package:" + kUserApp + "\r\npackage:" + both + "\r\npackage:" + keep + "\r\n";
    for (const std::string& name : {optional, kUserApp, caution, both})
      commands.answers[kUninstall + name] = "Success\r\n";
    view.answers_in_turn = {Answer::ok};
    view.answers_in_turn.insert(view.answers_in_turn.end(), row.answers.begin(), row.answers.end());
    batch_uninstall(view, commands, session);

    ASSERT_EQ(view.messages.size(), row.answers.size() + 1);
    EXPECT_EQ(view.messages[1].text, caution_question);
    if (row.answers.size() == 2) {
      EXPECT_EQ(view.messages[2].text, user_question);
      EXPECT_EQ(view.messages[2].kind, MessageKind::yes_no_cancel_warning);
      EXPECT_TRUE(view.messages[2].owned);
    }
    std::vector<std::string> ran = {kUserApps};
    for (const std::string& name : row.removed) ran.push_back(kUninstall + name);
    EXPECT_EQ(commands.ran, ran);
    EXPECT_FALSE(view.disabled(Button::batch));
    const std::string& log = view.box(Box::log);
    if (row.count.empty()) {
      EXPECT_EQ(log, "old");
      continue;
    }
    EXPECT_NE(log.find(keep + gbk(" 是手机的关键组件（")), std::string::npos) << "keep skipped";
    bool user_skip = row.answers[1] == Answer::no;
    EXPECT_EQ(log.find(user_skipped(kUserApp)) != std::string::npos, user_skip);
    EXPECT_EQ(log.find(user_skipped(both)) != std::string::npos, user_skip);
    EXPECT_EQ(log.find(caution + gbk("（") + title(caution) + gbk("）需要谨慎卸载，已跳过")) !=
                  std::string::npos,
              row.answers[0] == Answer::no);
    EXPECT_EQ(log.substr(log.size() - gbk(row.count).size() - 2), gbk(row.count) + "\r\n");
  }

  // Without knowing which apps are the phone's own, the batch stops before asking.
  view = FakeView();
  commands = FakeCommands();
  view.box(Box::list) = kUserApp + "\r\n";
  commands.results[kUserApps] = {"", gbk("拒绝访问。")};
  batch_uninstall(view, commands, session);
  EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.box(Box::log), gbk("无法运行命令：拒绝访问。\r\n"));
  EXPECT_FALSE(view.disabled(Button::batch));
}

}  // namespace
