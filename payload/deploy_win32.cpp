#include "payload/deploy.h"

#include <windows.h>

#include <shlwapi.h>

#include <string>

#include "app/encoding.h"
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
  // Each prefix that ends before a backslash is created in turn, the whole path last. A
  // prefix that cannot be created, such as the drive "c:", is passed over: what counts is
  // whether the whole path is a directory at the end.
  std::wstring path = widen(directory);
  if (path.empty()) return false;
  for (size_t end = path.find(L'\\', 1); end != std::wstring::npos; end = path.find(L'\\', end + 1))
    CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
  CreateDirectoryW(path.c_str(), nullptr);
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
