// The actions that use what the program knows of packages: the listing's summary, 推荐卸载,
// 查看说明, the Chinese filter and the questions before removing packages some users need.
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
const std::string kUnknown = "com.example.nobody.knows";

// Exact names of the data of one class, in the table's order.
std::vector<std::string> names_of(Removal removal, size_t n) {
  std::vector<std::string> names;
  for (int i = 0; i < package_info_exact_count() && names.size() < n; ++i)
    if (package_info_entry(i).removal == removal) names.emplace_back(package_info_entry(i).name);
  EXPECT_EQ(names.size(), n) << "too few entries of the class";
  return names;
}

const PackageInfo& info(const std::string& name) { return *find_package_info(name); }

std::string packages(const std::vector<std::string>& names) {
  std::string output;
  for (const std::string& name : names) output += "package:" + name + "\r\n";
  return output;
}

std::string lines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\r\n";
  return text;
}

struct Guidance : ::testing::Test {
  FakeView view;
  FakeCommands commands;
  Session session;
  std::vector<std::string> recommended = names_of(Removal::recommended, 3);
  std::vector<std::string> optional = names_of(Removal::optional, 2);
  std::vector<std::string> caution = names_of(Removal::caution, 12);
  std::vector<std::string> keep = names_of(Removal::keep, 1);
};

TEST_F(Guidance, ListingCountsEachClassAfterItsCountLine) {
  // Phone order, mixed: 3 recommended, 2 optional, 1 caution, 1 keep, 2 unknown.
  std::vector<std::string> phone = {optional[0],    recommended[2], kUnknown,
                                    caution[0],     recommended[0], keep[0],
                                    kUnknown + "2", optional[1],    recommended[1]};
  commands.answers[kList] = "* daemon started successfully\r\n" + packages(phone);
  list_packages(view, commands, Button::list_all, kList);
  EXPECT_EQ(view.box(Box::list), lines(phone));
  EXPECT_EQ(
      view.box(Box::log),
      gbk("APP数量为： 9\r\n其中建议卸载 3 个，可以卸载 2 个，谨慎 1 个，不要卸载 1 个，未收录 2 个。"
          "\r\n* daemon started successfully\r\n"));
}

TEST_F(Guidance, RecommendListsOnlyRecommendedPackagesInThePhonesOrder) {
  const std::string advice =
      "个，已放入下方列表。请逐个看一遍，把想保留的应用所在的行删掉，再点“批量卸载”。";
  struct Row {
    const char* name;
    std::string output, listed, log;  // log in UTF-8
  } rows[] = {
      {"three of five",
       packages({recommended[2], optional[0], recommended[0], keep[0], recommended[1]}),
       lines({recommended[2], recommended[0], recommended[1]}), "建议卸载的应用共 3 " + advice},
      {"none", packages({optional[0], keep[0], kUnknown}), "",
       "这台手机上没有找到建议卸载的应用。想自己挑选时，可以点“看所有包”，再点“查看说明”看每个应用的用途。"},
      {"no phone: only adb and the hint", "error: no devices/emulators found\r\n", "",
       "error: no devices/emulators found\r\n提示：" + kNoPhoneHint + "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::list) = "stale\r\n";
    commands.answers[kSystem] = row.output;
    commands.during_run = [&] { EXPECT_TRUE(view.disabled(Button::recommend)); };
    recommend_packages(view, commands);
    EXPECT_EQ(commands.ran, std::vector<std::string>{kSystem});
    EXPECT_EQ(view.box(Box::list), row.listed);
    EXPECT_EQ(view.box(Box::log), gbk(row.log));
    EXPECT_FALSE(view.disabled(Button::recommend));
  }

  view = FakeView();
  commands.results[kSystem] = {"", gbk("拒绝访问。")};
  recommend_packages(view, commands);
  EXPECT_EQ(view.box(Box::log), gbk("无法运行命令：拒绝访问。\r\n"));
  EXPECT_FALSE(view.disabled(Button::recommend));
}

TEST_F(Guidance, ExplainGivesOneLinePerPackageInOneAppend) {
  const PackageInfo& known = info(caution[0]);
  std::string known_line = caution[0] + gbk("：") + std::string(known.title) + gbk("【谨慎】") +
                           std::string(known.use) + "\r\n";
  std::string unknown_line = kUnknown + gbk("：未收录【用途不明，建议保留】\r\n");
  struct Row {
    const char* name;
    std::string log, name_box, list, added;
  } rows[] = {
      {"list lines, blanks and CRs dropped", "", "ignored",
       caution[0] + "\r\n\r\n  " + kUnknown + " \r\r\n", known_line + unknown_line},
      {"after a log line without a line end", "APP", "", kUnknown, "APP\r\n" + unknown_line},
      {"the name box when the list is empty", "done\r\n", " " + caution[0] + " ", "",
       "done\r\n" + known_line},
      {"the name box when the list holds only blank lines", "", kUnknown, "\r\n \r\n",
       unknown_line},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::log) = row.log;
    view.box(Box::name) = row.name_box;
    view.box(Box::list) = row.list;
    explain_packages(view, commands);
    EXPECT_EQ(view.box(Box::log), row.added);
    EXPECT_EQ(commands.ran, std::vector<std::string>{kUserApps});
    EXPECT_EQ(view.calls, (std::vector<std::string>{"disable 9", "append 0", "enable 9"}));
    EXPECT_TRUE(view.messages.empty());
  }

  view = FakeView();
  view.box(Box::log) = "old";
  view.box(Box::name) = "  ";
  commands = FakeCommands();
  explain_packages(view, commands);
  EXPECT_TRUE(commands.ran.empty());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text,
            gbk("列表和包名框都是空的。请先点“看所有包”或“推荐卸载”列出手机上的应用，或在包名框里"
                "填写包名，再点“查看说明”。"));
  EXPECT_EQ(view.box(Box::log), "old");
}

TEST_F(Guidance, ChineseFilterAlsoSearchesNamesAndDescriptions) {
  const PackageInfo& first = info(recommended[0]);
  std::string title(first.title);
  std::string list = lines({optional[0], recommended[0], kUnknown, gbk("备注") + title});
  struct Row {
    const char* name;
    std::string filter, kept;
  } rows[] = {
      {"by Chinese name", title, recommended[0] + "\r\n" + gbk("备注") + title + "\r\n"},
      {"by description", std::string(first.use).substr(0, 4), ""},  // checked below
      {"ASCII as before: no description search", "zzz", ""},
      {"ASCII text in a line", recommended[0], recommended[0] + "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    view = FakeView();
    view.box(Box::name) = row.filter;
    view.box(Box::list) = list;
    filter_packages(view);
    if (std::string(row.name) == "by description")
      EXPECT_NE(view.box(Box::list).find(recommended[0] + "\r\n"), std::string::npos);
    else
      EXPECT_EQ(view.box(Box::list), row.kept);
  }
}

TEST_F(Guidance, SingleUninstallOfACautionPackageAsksFirst) {
  const PackageInfo& known = info(caution[0]);
  for (Answer answer : {Answer::no, Answer::yes}) {
    SCOPED_TRACE(answer == Answer::yes ? "yes" : "no");
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::name) = caution[0];
    view.message_answer = answer;
    uninstall_package(view, commands, session);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, caution[0] + gbk("（") + std::string(known.title) +
                                         gbk("）需要谨慎卸载：") + std::string(known.use) +
                                         gbk("\r\n确定要卸载吗？"));
    EXPECT_EQ(view.messages[0].kind, MessageKind::yes_no_warning);
    EXPECT_TRUE(view.messages[0].owned);
    EXPECT_EQ(commands.ran.size(), answer == Answer::yes ? 2u : 1u);
  }
  view = FakeView();
  commands = FakeCommands();
  view.box(Box::name) = optional[0];
  uninstall_package(view, commands, session);
  EXPECT_TRUE(view.messages.empty()) << "an optional app is removed unasked";
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUserApps, kUninstall + optional[0]}));
}

TEST_F(Guidance, BatchAsksOnceAboutCautionPackages) {
  // Eleven caution items (one unsafe line among them, which is not counted), a keep item
  // and an optional one.
  std::vector<std::string> items(caution.begin(), caution.begin() + 11);
  items.insert(items.begin() + 1, keep[0]);
  items.push_back(optional[0]);
  items.push_back(caution[11] + "&x");
  std::string question = gbk("列表里有 11 个需要谨慎卸载的应用，卸载后部分功能会失效：\r\n");
  for (int i = 0; i < 10; ++i)
    question += caution[i] + gbk("（") + std::string(info(caution[i]).title) + gbk("）\r\n");
  question +=
      gbk("等 11 个\r\n\r\n点“是”一并卸载它们；点“否”跳过它们，只卸载其余的应用；"
          "点“取消”什么也不卸载。");
  auto skip_line = [&](const std::string& name) {
    return name + gbk("（") + std::string(info(name).title) +
           gbk("）需要谨慎卸载，已跳过。如确需卸载，请用“卸载”按钮单独卸载。\r\n");
  };
  struct Row {
    Answer answer;
    std::vector<std::string> removed;
  } rows[] = {
      {Answer::yes, {caution.begin(), caution.begin() + 11}},
      {Answer::no, {}},
      {Answer::cancel, {}},
  };
  rows[0].removed.push_back(optional[0]);
  rows[1].removed.push_back(optional[0]);
  for (Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.answer));
    view = FakeView();
    commands = FakeCommands();
    view.box(Box::log) = "old";
    view.box(Box::list) = lines(items);
    view.answers_in_turn = {Answer::ok, row.answer};
    batch_uninstall(view, commands, session);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, question);
    EXPECT_EQ(view.messages[1].kind, MessageKind::yes_no_cancel_warning);
    EXPECT_TRUE(view.messages[1].owned);
    std::vector<std::string> ran = {kUserApps};
    for (const std::string& name : row.removed) ran.push_back(kUninstall + name);
    EXPECT_EQ(commands.ran, ran);
    EXPECT_FALSE(view.disabled(Button::batch));
    const std::string& log = view.box(Box::log);
    if (row.answer == Answer::cancel) {
      EXPECT_EQ(log, "old");
      continue;
    }
    EXPECT_NE(log.find(keep[0] + gbk(" 是手机的关键组件（")), std::string::npos) << "keep skipped";
    for (int i = 0; i < 11; ++i)
      EXPECT_EQ(log.find(skip_line(caution[i])) != std::string::npos, row.answer == Answer::no)
          << caution[i];
    EXPECT_NE(log.find(gbk("完成...")), std::string::npos);
  }

  // Without caution items there is no second question.
  view = FakeView();
  commands = FakeCommands();
  view.box(Box::list) = lines({optional[0], keep[0]});
  batch_uninstall(view, commands, session);
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(commands.ran, (std::vector<std::string>{kUserApps, kUninstall + optional[0]}));
}

}  // namespace
