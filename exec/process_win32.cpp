#include "exec/process.h"

#include <tlhelp32.h>

#include <string>

#include "exec/handle.h"
#include "packages/text.h"
#include "payload/adb_commands.h"

namespace {

std::string own_executable_name() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string_view full(path);
  size_t slash = full.rfind('\\');
  return std::string(slash == std::string_view::npos ? full : full.substr(slash + 1));
}

}  // namespace

DWORD find_process_by_image_name(std::string_view image_name, bool case_sensitive) {
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    std::string exe = to_text(entry.szExeFile, sizeof entry.szExeFile);
    if (compare_text(image_name, exe, case_sensitive) == 0) return entry.th32ProcessID;
  }
  return 0;
}

bool end_process_by_image_name(std::optional<std::string_view> image_name, bool case_sensitive) {
  std::string name = image_name ? std::string(*image_name) : own_executable_name();
  DWORD id = find_process_by_image_name(name, case_sensitive);
  if (id == 0) return false;
  Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
  return process && TerminateProcess(process.get(), 0) == 1;
}

void end_adb_process() {
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;  // nothing can be found to end; closing goes on regardless
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (compare_text(to_text(entry.szExeFile, sizeof entry.szExeFile), adb::kImageName, false) != 0)
      continue;
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                               entry.th32ProcessID));
    char path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (process && QueryFullProcessImageNameA(process.get(), 0, path, &size) &&
        compare_text(std::string_view(path, size), adb::kImagePath, false) == 0)
      TerminateProcess(process.get(), 0);  // one that has just ended is no matter
  }
}
