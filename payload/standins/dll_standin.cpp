// Stand-in for the DLLs that sit beside adb.exe (AdbWinApi.dll, AdbWinUsbApi.dll,
// libwinpthread-1.dll). The simulated adb needs none of them; they are real,
// loadable DLLs only so that the files Tolvexa writes out are well formed.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// Lets a caller that loads the DLL tell it is a stand-in.
extern "C" __declspec(dllexport) const char* TolvexaStandinInfo() {
  return "Tolvexa stand-in DLL: carries no adb code";
}
