// Stand-in for ADBDriverInstaller.exe: this build carries no USB driver
// installer, so it tells the user how to get a driver instead and exits with 1
// (nothing was installed). The source is UTF-8 and compiled with
// -finput-charset=UTF-8, so the wide strings below reach MessageBoxW intact.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const wchar_t* text =
      L"此版本不带 USB 驱动安装程序，未安装任何驱动。\n\n"
      L"请改用以下方法之一安装手机的 USB 驱动：\n"
      L"1. 从手机厂商官网下载并安装其 USB 驱动；\n"
      L"2. 在“设备管理器”中右键点击手机，选择“更新驱动程序”，"
      L"通过 Windows 更新安装 Google USB 驱动。\n\n"
      L"安装完成后，请重新连接手机，并在手机的“开发者选项”中打开“USB 调试”。";
  MessageBoxW(nullptr, text, L"Tolvexa", MB_OK | MB_ICONINFORMATION);
  return 1;
}
