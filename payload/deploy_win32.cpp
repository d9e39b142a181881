#include "payload/deploy.h"

#include <windows.h>

#include <dbghelp.h>
#include <shlwapi.h>

#include <string>

#include "exec/handle.h"
#include "exec/wait.h"
#include "packages/text.h"
#include "payload/catalogue.h"

namespace {

// Writes the file beside its target and renames it into place, so the target is either
// missing or complete.
bool install_file(std::string_view path, std::string_view bytes) {
  std::string temporary = concat_text(path, ".part");
  if (write_file(temporary, {bytes}) &&
      MoveFileExA(temporary.c_str(), std::string(path).c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  DeleteFileA(temporary.c_str());
  return false;
}

}  // namespace

bool file_exists(std::string_view path) {
  return PathFileExistsA(std::string(path).c_str()) == TRUE;
}

bool make_sure_directory_exists(std::string_view directory) {
  // The last component only counts as a directory when a backslash follows it.
  std::string path(directory);
  if (compare_bytes(right_text(path, 1), "\\") != 0) path = concat_text(path, "\\");
  return MakeSureDirectoryPathExists(path.c_str()) != FALSE;
}

bool write_file(std::string_view path, std::initializer_list<std::string_view> blocks) {
  if (path.empty()) return false;
  Handle file(CreateFileA(std::string(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bool ok = true;
  for (std::string_view block : blocks) {
    if (block.empty()) continue;
    DWORD written = 0;
    if (!WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written,
                   nullptr) ||
        written != block.size())
      ok = false;
  }
  return CloseHandle(file.release()) && ok;
}

Failure deploy_payloads() {
  if (file_exists(kAdbMarker)) return {};
  make_sure_directory_exists(kAdbDirectory);
  Failure failure;
  for (const Payload& payload : kAdbFiles) {
    responsive_wait(200);
    if (!install_file(payload.target, payload_bytes(payload)) && !failure)
      failure = last_error("CreateFile");
  }
  if (file_exists(kAdbMarker)) return {};
  return failure ? failure : error_of("CreateFile", ERROR_FILE_NOT_FOUND);
}
