// Writing the payloads to disk.
#pragma once

#include <initializer_list>
#include <string_view>

#include "exec/error.h"

/// True when the path names an existing file or directory.
bool file_exists(std::string_view path);

/// Creates every missing directory along the path; true when all exist afterwards.
bool make_sure_directory_exists(std::string_view directory);

/// Creates or truncates the file and writes the blocks one after the other. False when the
/// path is empty or the file cannot be opened, written or closed.
bool write_file(std::string_view path, std::initializer_list<std::string_view> blocks);

/// Writes adb.exe and its libraries to c:\adb unless c:\adb\adb.exe is there, pausing
/// 200 ms (window still serviced) before each file. Each file is written under a temporary
/// name and renamed into place, adb.exe last, so a deployment cut short is redone in full
/// on the next start. The failure that left c:\adb\adb.exe missing, if one did.
Failure deploy_payloads();
