#include "payload/driver/device_manager.h"

#include <objbase.h>

namespace {

bool is_file(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Starts the Device Manager of a folder that holds both of its files.
DeviceManagerOutcome start_console(const std::wstring& folder, const ShellStart& start) {
  const std::wstring console = folder + L"\\mmc.exe";
  const std::wstring parameters = L"\"" + folder + L"\\devmgmt.msc\"";
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // a failure is told in our own words
  info.hwnd = GetActiveWindow();     // a consent prompt belongs to our window
  info.lpFile = console.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The shell may hand the start to COM objects, so COM is set up around the call.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  BOOL started = start ? start(&info) : ShellExecuteExW(&info);
  DWORD error = started ? 0 : GetLastError();
  if (SUCCEEDED(com)) CoUninitialize();
  if (started) return {DeviceManagerOutcome::opened, 0};
  if (error == ERROR_CANCELLED) return {DeviceManagerOutcome::declined, error};
  return {DeviceManagerOutcome::failed, error};
}

}  // namespace

std::wstring system_folder() {
  wchar_t path[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return L"";
  std::wstring folder(path, length);
  if (folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::vector<std::wstring> device_manager_folders() {
  std::vector<std::wstring> folders{system_folder()};
  BOOL wow64 = FALSE;
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && length > 0 && length < MAX_PATH) {
    std::wstring folder(windows, length);
    if (folder.back() == L'\\') folder.pop_back();
    folders.push_back(folder + L"\\Sysnative");
  }
  return folders;
}

DeviceManagerOutcome open_device_manager(const std::vector<std::wstring>& folders,
                                         const ShellStart& start) {
  for (const std::wstring& folder : folders)
    if (!folder.empty() && is_file(folder + L"\\mmc.exe") && is_file(folder + L"\\devmgmt.msc"))
      return start_console(folder, start);
  return {DeviceManagerOutcome::missing, ERROR_FILE_NOT_FOUND};
}
