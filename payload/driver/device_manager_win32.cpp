#include "payload/driver/device_manager.h"

#include <objbase.h>

namespace {

bool is_file(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

DeviceManagerOutcome open_device_manager(const std::wstring& folder, const ShellStart& start) {
  const std::wstring console = folder + L"\\mmc.exe";
  const std::wstring snap_in = folder + L"\\devmgmt.msc";
  if (folder.empty() || !is_file(console) || !is_file(snap_in))
    return {DeviceManagerOutcome::missing, ERROR_FILE_NOT_FOUND};
  const std::wstring parameters = L"\"" + snap_in + L"\"";
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
