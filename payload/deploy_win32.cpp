#include "payload/deploy.h"

#include <windows.h>

#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

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

bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The SID of the user the process runs as, in its string form ("S-1-5-21-...").
Failure current_user_sid(std::wstring& sid) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return last_error("OpenProcessToken");
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
  if (Failure failure = make_adb_directory()) return failure;
  Failure failure;
  for (const Payload& payload : kAdbFiles) {
    responsive_wait(200);
    if (!install_file(payload.target, payload_bytes(payload)) && !failure)
      failure = last_error("CreateFile");
  }
  if (file_exists(kAdbMarker)) return {};
  return failure ? failure : error_of("CreateFile", ERROR_FILE_NOT_FOUND);
}
