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

/// Creates or truncates the file, writes the blocks one after the other, flushes them to disk
/// and closes it. The failing call (CreateFile, WriteFile, FlushFileBuffers, CloseHandle), if
/// one did.
Failure try_write_file(std::string_view path, std::initializer_list<std::string_view> blocks);

/// The same as a truth value: false when the path is empty or the file cannot be opened,
/// written, flushed or closed.
bool write_file(std::string_view path, std::initializer_list<std::string_view> blocks);

/// Writes adb.exe and its libraries to c:\adb, pausing 200 ms (window still serviced) before
/// each file it writes. Temporary files an earlier start left go first. When c:\adb\adb.exe
/// is missing all four files are written anew; when it is there only the missing ones are
/// and nothing present is touched, so an adb of the user's own is never replaced. Each file
/// is written under a temporary name, flushed and renamed into place; adb.exe goes last, and
/// only once every library is there at its embedded size, so the next start repairs a
/// deployment cut short. Stops at the first failure and returns it.
Failure deploy_payloads();
