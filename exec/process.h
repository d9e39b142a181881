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

/// Ends the first running adb.exe, so that no adb command outlives the window.
void end_adb_process();
