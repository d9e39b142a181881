// Program entry: create the window invisible, deploy adb, show the window, run the loop.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/main_window.h"
#include "exec/encoding.h"
#include "exec/wait.h"
#include "packages/actions.h"
#include "payload/deploy.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  set_message_filter(&MainWindow::filter_message);
  MainWindow window;
  if (Failure failure = window.create(instance)) {
    // The first line as the program has always said it; the system's reason after it.
    std::wstring text = L"载入启动窗口失败\r\n" + widen(failure->describe());
    MessageBoxW(nullptr, text.c_str(), L"Tolvexa", MB_OK | MB_ICONERROR);
    return -1;
  }
  if (Failure failure = deploy_payloads())
    report_deploy_failure(window.view(), failure->describe());
  window.show();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatch_message(message);
  return 0;
}
