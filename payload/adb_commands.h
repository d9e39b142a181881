// The command lines that the program hands to the adb tool, which deployment writes to
// c:\adb\adb.exe. Each runs behind "cmd.exe /c ".
#pragma once

#include <string_view>

namespace adb {

inline constexpr std::string_view kDevices = "c:\\adb\\adb devices";
inline constexpr std::string_view kListPackages = "c:\\adb\\adb shell pm list packages";
inline constexpr std::string_view kListAllPackages = "c:\\adb\\adb shell pm list packages -u";
/// Followed by the package name.
inline constexpr std::string_view kUninstallPrefix = "c:\\adb\\adb uninstall --user 0 ";
/// Followed by the package name.
inline constexpr std::string_view kRestorePrefix = "c:\\adb\\adb shell pm install-existing --user 0 ";

/// Image name of the running tool.
inline constexpr std::string_view kImageName = "adb.exe";

}  // namespace adb
