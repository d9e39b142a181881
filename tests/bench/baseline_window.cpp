// The smallest window program: the yardstick for Tolvexa's start-up time. It registers the
// same class name so the benchmark finds it the same way.
#include <windows.h>

#include "app/controls.h"

static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = MAIN_WINDOW_CLASS;
  RegisterClassW(&window_class);
  HWND hwnd = CreateWindowW(MAIN_WINDOW_CLASS, L"Tolvexa", WS_OVERLAPPEDWINDOW, 100, 100, 650, 532,
                            nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
