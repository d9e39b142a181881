// Finding and ending a running process by the file name of its executable.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

/// Id of the first process, in the system's snapshot order, whose executable file name
/// equals `image_name` (regardless of case unless asked); 0 when there is none.
DWORD find_process_by_image_name(std::string_view image_name, bool case_sensitive = false);

/// Ends the first process found by that name (this program's own file name when none is
/// given). True when a process was ended.
bool end_process_by_image_name(std::optional<std::string_view> image_name = std::nullopt,
                               bool case_sensitive = false);

/// Ends every running process whose image is our own c:\adb\adb.exe (the path compared
/// whole, regardless of case): the commands we started and the adb server they started, so
/// none outlives the window. Another program's adb.exe elsewhere is left alone.
void end_adb_process();
