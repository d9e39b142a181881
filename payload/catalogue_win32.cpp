#include "payload/catalogue.h"

#include <windows.h>

#include "payload/payload_ids.h"

const Payload kAdbFiles[4] = {
    {PAYLOAD_ADB_WIN_API, "c:\\adb\\AdbWinApi.dll", 97792},
    {PAYLOAD_ADB_WIN_USB_API, "c:\\adb\\AdbWinUsbApi.dll", 62976},
    {PAYLOAD_WINPTHREAD, "c:\\adb\\libwinpthread-1.dll", 231594},
    {PAYLOAD_ADB, "c:\\adb\\adb.exe", 5937152},
};

const Payload kDriverInstaller = {PAYLOAD_DRIVER_INSTALLER, "c:\\adb\\ADBDriverInstaller.exe",
                                  11715584};

std::string_view payload_bytes(const Payload& payload) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(payload.resource_id), RT_RCDATA);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(nullptr, found)};
}
