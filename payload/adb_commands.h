// The command lines that the program hands to the adb tool, which deployment writes to
// c:\adb\adb.exe. Each runs behind "cmd.exe /d /c ". The tool is named with its extension:
// without it the interpreter would run a c:\adb\adb.com or adb.bat placed there first.
#pragma once

#include <string_view>

namespace adb {

inline constexpr std::string_view kDevices = "c:\\adb\\adb.exe devices";
inline constexpr std::string_view kListPackages = "c:\\adb\\adb.exe shell pm list packages";
inline constexpr std::string_view kListAllPackages = "c:\\adb\\adb.exe shell pm list packages -u";
/// Followed by the package name.
inline constexpr std::string_view kUninstallPrefix = "c:\\adb\\adb.exe uninstall --user 0 ";
/// Followed by the package name.
inline constexpr std::string_view kRestorePrefix =
    "c:\\adb\\adb.exe shell pm install-existing --user 0 ";

/// Image name of the running tool, and its full path.
inline constexpr std::string_view kImageName = "adb.exe";
inline constexpr std::string_view kImagePath = "c:\\adb\\adb.exe";

}  // namespace adb
