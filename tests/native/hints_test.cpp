#include "packages/hints.h"

#include <gtest/gtest.h>

#include "packages/actions.h"
#include "tests/native/fakes.h"

namespace {

TEST(Hints, FirstMatchingCaseWins) {
  const std::string no_phone =
      "没有找到手机。请用数据线连接手机，在手机的“开发者选项”中打开“USB调试”，然后点“连接设备”。";
  const std::string unauthorized =
      "手机还没有允许这台电脑调试。请解锁手机屏幕，在“允许USB调试吗？”对话框中勾选“一律允许”，再点“允许”。";
  const std::string offline =
      "手机处于离线状态。请拔下数据线再重新插上；仍不行时，请在“开发者选项”中撤销USB调试授权，然后重新连接。";
  const std::string two = "连接了不止一台设备。请只连接一台手机后再试。";
  const std::string daemon =
      "adb 服务没能启动，可能被其他程序（如手机助手）占用。请关闭这类程序后再试。";
  const std::string not_installed = "手机上没有这个包，或者它已经卸载了。";
  const std::string no_such = "手机上没有这个包，无法恢复。请检查包名是否写对。";
  const std::string core = "这个包不能卸载（多为系统核心组件）。";
  const std::string missing =
      "c:\\adb 里的 adb 工具不见了。请关闭本程序再重新打开，程序会重新放置它。";
  struct Row {
    std::string output;  // UTF-8
    HintSource source;
    std::string hint;  // UTF-8, "" for none
  } rows[] = {
      {"error: no devices/emulators found\r\n", HintSource::other, no_phone},
      {"adb: error: NO DEVICES FOUND", HintSource::other, no_phone},
      {"List of devices attached\r\n\r\n", HintSource::connect, no_phone},
      {"* daemon started successfully\r\nList of devices attached\r\n \r\n", HintSource::connect,
       no_phone},
      {"List of devices attached\r\n\r\n", HintSource::other, ""},
      {"List of devices attached\r\nX\tdevice\r\n\r\n", HintSource::connect, ""},
      {"List of devices attached\r\nX\tunauthorized\r\n\r\n", HintSource::connect, unauthorized},
      {"error: device unauthorized.\r\n", HintSource::other, unauthorized},
      {"List of devices attached\r\nX\toffline\r\n", HintSource::connect, offline},
      {"error: device offline", HintSource::other, offline},
      {"error: more than one device/emulator\r\n", HintSource::other, two},
      {"* cannot connect to daemon at tcp:5037", HintSource::other, daemon},
      {"failed to start daemon", HintSource::connect, daemon},
      {"could not install *smartsocket* listener: cannot bind", HintSource::other, daemon},
      {"could not install smartsocket listener", HintSource::other, ""},
      {"Failure [not installed for 0]\r\n", HintSource::other, not_installed},
      {"android.content.pm.PackageManager$NameNotFoundException: Package x doesn't exist",
       HintSource::other, no_such},
      {"Package x DOESN'T EXIST", HintSource::other, no_such},
      {"Failure [DELETE_FAILED_INTERNAL_ERROR]", HintSource::other, core},
      {"'c:\\adb\\adb' 不是内部或外部命令，也不是可运行的程序\r\n", HintSource::other, missing},
      {"'c:\\adb\\adb' is not recognized as an internal or external command,", HintSource::other,
       missing},
      {"error: device unauthorized; offline; more than one device", HintSource::other,
       unauthorized},
      {"Success\r\n", HintSource::other, ""},
      {"", HintSource::connect, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.output);
    EXPECT_EQ(std::string(hint_for(gbk(row.output), row.source)),
              row.hint.empty() ? "" : gbk(row.hint));
  }
}

TEST(Hints, MatchesStartOnACharacter) {
  // "ffline" after a two-byte character whose second byte is 'o' is no "offline".
  EXPECT_FALSE(
      contains_ignoring_case("\x81o"
                             "ffline",
                             "offline"));
  EXPECT_TRUE(contains_ignoring_case("\x81\x81OffLine", "offline"));
  EXPECT_FALSE(contains_ignoring_case("", "offline"));
  EXPECT_FALSE(contains_ignoring_case("offlin", "offline"));
}

}  // namespace
