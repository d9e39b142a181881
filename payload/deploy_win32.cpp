#include "payload/deploy.h"

#include <windows.h>

#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "exec/encoding.h"
#include "exec/handle.h"
#include "exec/wait.h"
#include "packages/text.h"
#include "payload/catalogue.h"

namespace {

// True when the path names a directory.
bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The SID of the user the process runs as, in its string form ("S-1-5-21-...").
Failure current_user_sid(std::wstring& sid) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
    return last_error("OpenProcessToken");
  Handle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
    return last_error("GetTokenInformation");
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    return last_error("ConvertSidToStringSid");
  sid = text;
  LocalFree(text);
  return {};
}

// Creates the directory with c:\adb's descriptor.
Failure create_adb_directory(const std::wstring& path) {
  std::wstring sid;
  if (Failure failure = current_user_sid(sid)) return failure;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(adb_directory_sddl(sid).c_str(),
                                                            SDDL_REVISION_1, &descriptor, nullptr))
    return last_error("ConvertStringSecurityDescriptorToSecurityDescriptor");
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  Failure failure;
  if (!CreateDirectoryW(path.c_str(), &attributes)) failure = last_error("CreateDirectory");
  LocalFree(descriptor);
  return failure;
}

// Creates or truncates the file, writes the blocks, flushes them to disk and closes it.
Failure write_blocks(const std::wstring& path, std::initializer_list<std::string_view> blocks) {
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return last_error("CreateFile");
  for (std::string_view block : blocks) {
    DWORD written = 0;
    if (block.empty()) continue;
    if (!WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr))
      return last_error("WriteFile");
    if (written != block.size()) return error_of("WriteFile", ERROR_WRITE_FAULT);
  }
  if (!FlushFileBuffers(file.get())) return last_error("FlushFileBuffers");
  if (!CloseHandle(file.release())) return last_error("CloseHandle");
  return {};
}

// Writes the payload beside its target, flushed to disk, and renames it into place, so the
// target is either as it was or complete. The temporary file goes again when that fails.
Failure install_file(const Payload& payload) {
  std::wstring target = widen(payload.target), part = target + L".part";
  Failure failure = write_blocks(part, {payload_bytes(payload)});
  if (!failure && !MoveFileExW(part.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    failure = last_error("MoveFileEx");
  if (failure) DeleteFileW(part.c_str());
  return failure;
}

// Removes the temporary file of the payload that an earlier start left, read-only or not.
Failure remove_leftover(const Payload& payload) {
  std::wstring part = widen(payload.target) + L".part";
  DWORD attributes = GetFileAttributesW(part.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
      FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(part.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!DeleteFileW(part.c_str())) return last_error("DeleteFile");
  return {};
}

// Whether every library is on disk at its embedded size, which adb.exe needs to start.
Failure libraries_in_place() {
  for (const Payload& payload : kAdbFiles) {
    if (payload.target == kAdbMarker) continue;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(payload.target).c_str(), GetFileExInfoStandard, &data))
      return last_error("GetFileAttributesEx");
    if (data.nFileSizeHigh != 0 || data.nFileSizeLow != payload_bytes(payload).size())
      return error_of("GetFileAttributesEx", ERROR_FILE_CORRUPT);
  }
  return {};
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
  return is_directory(path);
}

std::wstring adb_directory_sddl(std::wstring_view user_sid) {
  // Protected (P), so nothing is inherited from the drive's root, whose entries let every
  // user add files; full control (FA) for SYSTEM, Administrators and the user; read and
  // execute (0x1200a9) for everyone; each entry passed on to files and folders inside (OICI).
  return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + std::wstring(user_sid) +
         L")(A;OICI;0x1200a9;;;WD)";
}

Failure make_adb_directory() {
  std::wstring path = widen(kAdbDirectory);
  if (is_directory(path)) return {};
  Failure failure = create_adb_directory(path);
  return is_directory(path) ? Failure() : failure;
}

Failure try_write_file(std::string_view path, std::initializer_list<std::string_view> blocks) {
  return write_blocks(widen(path), blocks);
}

bool write_file(std::string_view path, std::initializer_list<std::string_view> blocks) {
  return !try_write_file(path, blocks);
}

Failure deploy_payloads() {
  if (Failure failure = make_adb_directory()) return failure;
  for (const Payload& payload : kAdbFiles)
    if (Failure failure = remove_leftover(payload)) return failure;
  // Without adb.exe every file is written anew, since what is there may be cut short; with
  // it only the missing ones are, so an adb of the user's own and its files stay as they are.
  bool anew = !file_exists(kAdbMarker);
  for (const Payload& payload : kAdbFiles) {
    if (!anew && file_exists(payload.target)) continue;
    if (payload.target == kAdbMarker)
      if (Failure failure = libraries_in_place()) return failure;
    responsive_wait(200);
    if (Failure failure = install_file(payload)) return failure;
  }
  return {};
}
