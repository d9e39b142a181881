#include "packages/hints.h"

#include <gtest/gtest.h>

#include "packages/actions.h"
#include "tests/native/fakes.h"

namespace {

TEST(Hints, FirstMatchingCaseWins) {
  const std::string& no_phone = kNoPhoneHint;
  const std::string unauthorized =
      "手机还没有允许这台电脑调试。请解锁手机屏幕，在“允许USB调试吗？”对话框中勾选“一律允许”，再点“允许”。";
  const std::string offline =
      "手机处于离线状态。请拔下数据线再重新插上；仍不行时，请在“开发者选项”中撤销USB调试授权，然后重新连接。";
  const std::string two =
      "adb 找到了不止一台设备，最常见的原因是电脑上开着安卓模拟器（MuMu、雷电、BlueStacks 蓝叠、夜神等）"
      "。请关掉模拟器，并拔掉其他手机，只连这一台手机，然后再试。";
  const std::string other_adb =
      "电脑上的另一个程序（多为手机助手）正在运行它自己的 adb，占用了 adb 的端口 5037，和本程序冲突。";
  const std::string authorizing =
      "手机正在确认这台电脑的调试授权。请解锁手机屏幕，如果弹出“允许USB调试吗？”，勾选“一律允许”后点"
      "“允许”，等几秒再试一次。";
  const std::string xiaomi =
      "小米手机不允许卸载这个应用（Failure [-1000]）：它是 MIUI/HyperOS 保护的系统应用，在电脑上卸载不"
      "了，请保留它。其他应用不受影响。";
  const std::string no_user =
      "这部手机的安卓版本太旧（4.4 或更早），不支持只为主用户卸载应用，本程序无法在它上面卸载应用。";
  const std::string no_restore =
      "这部手机的安卓版本较旧（一般是 7.x 或更早），不支持恢复命令 install-existing。要找回删掉的应用，"
      "只能恢复出厂设置（会清除手机里的全部数据，请先备份）。";
  const std::string admin =
      "这个应用是“设备管理应用”，要先取消它的管理权限才能卸载：在手机“设置”里搜索“设备管理应用”，关掉"
      "这个应用的开关，再点“卸载”。开关是灰色的，说明手机受公司或学校管理，无法卸载。";
  const std::string restricted =
      "手机开启了禁止卸载应用的限制（多为公司或学校的管理规定，或家长控制），这台手机上的任何应用都卸载"
      "不了。请找设置限制的人解除：公司或学校的管理员，或者请家长在“家长控制”或“数字健康”里关掉这项限"
      "制，然后再试。";
  const std::string not_installed = "手机上没有这个包，或者它已经卸载了。";
  const std::string no_such =
      "手机上没有这个包，无法恢复。可能是包名写错了；也可能它不是手机自带的应用，卸载时已被彻底删除，"
      "只能到应用商店重新安装。";
  const std::string core = "这个包不能卸载（多为系统核心组件）。";
  const std::string missing =
      "c:\\adb 里的 adb 工具不见了，可能被杀毒软件隔离了。请在杀毒软件的隔离区里恢复 c:\\adb\\adb.exe "
      "并设为允许（信任）；然后关闭本程序再重新打开，缺少的文件程序会重新放置。";
  const std::string starting =
      "手机还在启动，系统服务还没准备好。请等手机完全开机、解锁屏幕，过一两分钟再试；一次不行就多试几次。";
  const std::string must_stay =
      "这部手机不允许卸载系统应用，停用这个应用也被拒绝了，所以它只能留在手机上。请保留它，继续处理其他"
      "应用。";
  const std::string refused = "Failure [only root can delete system app for a particular user]\r\n";
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
      {"error: more than one emulator\r\n", HintSource::other, two},
      {"error: more than one device\r\n", HintSource::connect, two},
      {"error: more than one\r\n", HintSource::other, ""},
      {"List of devices attached\r\nemulator-5554\tdevice\r\nX\tdevice\r\n", HintSource::connect,
       ""},
      {"cmd: Can't find service: package\r\n", HintSource::other, starting},
      {"CAN'T FIND SERVICE: PACKAGE", HintSource::other, starting},
      {"cmd: Can't find service: activity\r\n", HintSource::other, ""},
      {"Can't find package\r\n", HintSource::other, ""},
      // The refusal comes with what disabling said: the hint is only asked for when that failed.
      {refused + "Error: java.lang.SecurityException: Shell cannot change component state\r\n",
       HintSource::other, must_stay},
      {refused, HintSource::other, must_stay},
      {"Failure [only root can delete system app]\r\n", HintSource::other, ""},
      {"Failure [only root can delete system apps for a particular user]\r\n", HintSource::other,
       ""},
      {refused + "error: no devices/emulators found\r\n", HintSource::other, no_phone},
      {"* cannot connect to daemon at tcp:5037", HintSource::other, other_adb},
      {"failed to start daemon", HintSource::connect, other_adb},
      {"could not install *smartsocket* listener: cannot bind", HintSource::other, other_adb},
      {"adb server version (31) doesn't match this client (41); killing...\r\n",
       HintSource::connect, other_adb},
      {"could not read ok from ADB Server\r\n", HintSource::other, other_adb},
      {"error: protocol fault (couldn't read status)", HintSource::other, other_adb},
      {"error: device still authorizing\r\n", HintSource::other, authorizing},
      {"List of devices attached\r\nX\tauthorizing\r\n\r\n", HintSource::connect, authorizing},
      {"Failure [-1000]\r\n", HintSource::other, xiaomi},
      {"Failure [-100]\r\n", HintSource::other, ""},
      {"Error: Unknown option: --user\r\n", HintSource::other, no_user},
      {"Unknown command: install-existing\r\n", HintSource::other, no_restore},
      {"Error: unknown command 'install-existing'\r\nusage: pm list packages", HintSource::other,
       no_restore},
      {"Failure [DELETE_FAILED_DEVICE_POLICY_MANAGER]\r\n", HintSource::other, admin},
      {"Failure [DELETE_FAILED_USER_RESTRICTED]\r\n", HintSource::other, restricted},
      {"Failure [DELETE_FAILED_USER_RESTRICTED: user 0]\r\n", HintSource::other, restricted},
      {"Failure [DELETE_FAILED_USER]\r\n", HintSource::other, ""},
      {"could not install smartsocket listener", HintSource::other, ""},
      {"Failure [not installed for 0]\r\n", HintSource::other, not_installed},
      {"android.content.pm.PackageManager$NameNotFoundException: Package x doesn't exist",
       HintSource::other, no_such},
      {"Package x DOESN'T EXIST", HintSource::other, no_such},
      {"Failure [DELETE_FAILED_INTERNAL_ERROR]", HintSource::other, core},
      {"'c:\\adb\\adb' 不是内部或外部命令，也不是可运行的程序\r\n", HintSource::other, missing},
      {"'c:\\adb\\adb' is not recognized as an internal or external command,", HintSource::other,
       missing},
      {"'c:\\adb\\adb' is not recognized as an internal command", HintSource::other, ""},
      {"不是内部命令", HintSource::other, ""},
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
