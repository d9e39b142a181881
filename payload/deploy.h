// Writing the payloads to disk.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "exec/error.h"

/// True when the path names an existing file or directory.
bool file_exists(std::string_view path);

/// Creates every missing directory along the path; true when all exist afterwards. The last
/// component counts as a directory whether or not a backslash follows it.
bool make_sure_directory_exists(std::string_view directory);

/// Creates c:\adb unless it exists, with a descriptor of its own: nothing inherited from the
/// drive's root, full control for SYSTEM, Administrators and the user the program runs as,
/// read and execute for everyone else, all passed on to what is created inside. An existing
/// c:\adb is left as it is. The failure that left c:\adb no directory, if one did.
Failure make_adb_directory();

/// That descriptor in SDDL, for the user with the given SID ("S-1-5-21-...").
std::wstring adb_directory_sddl(std::wstring_view user_sid);

/// Creates or truncates the file and writes the blocks one after the other. False when the
/// path is empty or the file cannot be opened, written or closed.
bool write_file(std::string_view path, std::initializer_list<std::string_view> blocks);

/// Writes adb.exe and its libraries to c:\adb unless c:\adb\adb.exe is there, pausing
/// 200 ms (window still serviced) before each file. Each file is written under a temporary
/// name and renamed into place, adb.exe last, so a deployment cut short is redone in full
/// on the next start. The failure that left c:\adb\adb.exe missing, if one did.
Failure deploy_payloads();
