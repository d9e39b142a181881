// The command lines that the program hands to the adb tool, which deployment writes to
// c:\adb\adb.exe. Each runs behind "cmd.exe /d /c ". The tool is named with its extension:
// without it the interpreter would run a c:\adb\adb.com or adb.bat placed there first.
#pragma once

#include <string_view>

namespace adb {

inline constexpr std::string_view kDevices = "c:\\adb\\adb.exe devices";
inline constexpr std::string_view kListPackages = "c:\\adb\\adb.exe shell pm list packages";
inline constexpr std::string_view kListAllPackages = "c:\\adb\\adb.exe shell pm list packages -u";
/// The packages of the system image only; the phone's own (user) apps only; the disabled ones.
inline constexpr std::string_view kListSystemPackages =
    "c:\\adb\\adb.exe shell pm list packages -s";
inline constexpr std::string_view kListUserPackages = "c:\\adb\\adb.exe shell pm list packages -3";
inline constexpr std::string_view kListDisabledPackages =
    "c:\\adb\\adb.exe shell pm list packages -d";
/// Followed by the package name.
inline constexpr std::string_view kUninstallPrefix = "c:\\adb\\adb.exe uninstall --user 0 ";
/// Followed by the package name.
inline constexpr std::string_view kRestorePrefix =
    "c:\\adb\\adb.exe shell pm install-existing --user 0 ";
/// Followed by the package name: turns a package off for user 0, where the phone does not let
/// it be removed; and on again.
inline constexpr std::string_view kDisablePrefix =
    "c:\\adb\\adb.exe shell pm disable-user --user 0 ";
inline constexpr std::string_view kEnablePrefix = "c:\\adb\\adb.exe shell pm enable --user 0 ";

/// Image name of the running tool, and its full path.
inline constexpr std::string_view kImageName = "adb.exe";
inline constexpr std::string_view kImagePath = "c:\\adb\\adb.exe";

}  // namespace adb
