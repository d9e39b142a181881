// ADBDriverInstaller.exe, the USB driver helper that Tolvexa writes to disk and starts from its
// 通用驱动 button. It installs nothing: in one window it tells in plain Chinese when a phone
// needs a driver, opens the Device Manager from the system folder, says where Windows Update
// offers a driver and names the vendors' official driver pages (guide.h).
//
// Exit code: always 1, "nothing was installed", whether the user closes the window or the
// window cannot be made. The helper never reports a driver as installed. It takes no
// command-line arguments; closing the window (close button, 关闭, Esc, Alt+F4) ends it.
#include <windows.h>

#include <algorithm>
#include <string>

#include "app/gdi.h"
#include "payload/driver/device_manager.h"
#include "payload/driver/guide.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TolvexaDriverHelper";
constexpr int kExitNothingInstalled = 1;

// Control ids; the tests find the controls by them.
constexpr int kHeadlineId = 100;
constexpr int kGuideId = 101;
constexpr int kDeviceManagerId = 102;
constexpr int kCloseId = IDCANCEL;  // Esc sends IDCANCEL through the dialog keyboard handling

// The layout at 96 DPI, scaled to the system's DPI.
constexpr int kClientWidth = 700, kClientHeight = 600;
constexpr int kMargin = 12, kHeadlineHeight = 24, kButtonHeight = 30;
constexpr int kDeviceManagerWidth = 170, kCloseWidth = 100;
constexpr int kBodyFont = 16, kHeadlineFont = 17;

HMENU as_menu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

GdiObject<HFONT> make_font(int height, int weight) {
  return GdiObject<HFONT>(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      PROOF_QUALITY, DEFAULT_PITCH, L""));
}

// The system's message for an error code, without its line break; empty when it has none.
std::wstring system_message(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n'))
    message.pop_back();
  return message;
}

// What the user reads when the Device Manager did not open, or empty when there is nothing to
// tell (it opened, or the user declined Windows' consent prompt).
std::wstring device_manager_problem(const DeviceManagerOutcome& outcome) {
  std::wstring text;
  if (outcome.kind == DeviceManagerOutcome::missing) {
    text = guide::kNotFound;
  } else if (outcome.kind == DeviceManagerOutcome::failed) {
    text = guide::kNotStarted;
    std::wstring reason = system_message(outcome.error);
    if (!reason.empty()) text += L"：" + reason;
    text += L"（错误代码 " + std::to_wstring(outcome.error) + L"）。";
  } else {
    return L"";
  }
  return text + guide::kByHand;
}

class HelperWindow {
 public:
  static bool register_class(HINSTANCE instance);
  bool create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void create_controls();
  void lay_out(int width, int height);
  void on_command(int id);
  int scale(int value) const { return MulDiv(value, dpi_, 96); }

  HWND hwnd_ = nullptr;
  HWND headline_ = nullptr, guide_ = nullptr, device_manager_ = nullptr, close_ = nullptr;
  HWND last_focus_ = nullptr;
  int dpi_ = 96;
  GdiObject<HFONT> body_font_, headline_font_;
};

bool HelperWindow::register_class(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(nullptr, IDI_INFORMATION);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  return RegisterClassExW(&window_class) != 0;
}

bool HelperWindow::create(HINSTANCE instance) {
  {
    ScopedGetDC screen(nullptr);
    dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
  RECT frame{0, 0, scale(kClientWidth), scale(kClientHeight)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + std::max(0L, (work.right - work.left - width) / 2);
  const int top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
  return CreateWindowExW(0, kWindowClass, guide::kTitle, kStyle, left, top, width, height, nullptr,
                         nullptr, instance, this) != nullptr;
}

LRESULT CALLBACK HelperWindow::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<HelperWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HelperWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->handle(message, wparam, lparam)
              : DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT HelperWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: create_controls(); return 0;
    case WM_SIZE: lay_out(LOWORD(lparam), HIWORD(lparam)); return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize = {scale(420), scale(300)};
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only guide is drawn like a page, not greyed out.
      if (reinterpret_cast<HWND>(lparam) == guide_) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_ACTIVATE:
      // The focus comes back to the control that had it when the window is activated again.
      if (LOWORD(wparam) == WA_INACTIVE)
        last_focus_ = GetFocus();
      else
        SetFocus(last_focus_ && IsChild(hwnd_, last_focus_) ? last_focus_ : device_manager_);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) on_command(LOWORD(wparam));
      return 0;
    case WM_DESTROY: PostQuitMessage(kExitNothingInstalled); return 0;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void HelperWindow::create_controls() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
  body_font_ = make_font(scale(kBodyFont), FW_NORMAL);
  headline_font_ = make_font(scale(kHeadlineFont), FW_BOLD);
  auto child = [&](DWORD ex_style, const wchar_t* window_class, const wchar_t* text, DWORD style,
                   int id, HFONT font) {
    HWND control = CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE | style, 0,
                                   0, 0, 0, hwnd_, as_menu(id), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  headline_ = child(0, L"STATIC", guide::kHeadline, SS_LEFT | SS_NOPREFIX, kHeadlineId,
                    headline_font_.get());
  // Read-only but selectable, so that a web address can be copied.
  guide_ = child(WS_EX_CLIENTEDGE, L"EDIT", guide::kText,
                 WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, kGuideId,
                 body_font_.get());
  device_manager_ = child(0, L"BUTTON", guide::kOpenDeviceManager, WS_TABSTOP | BS_PUSHBUTTON,
                          kDeviceManagerId, body_font_.get());
  close_ =
      child(0, L"BUTTON", guide::kClose, WS_TABSTOP | BS_PUSHBUTTON, kCloseId, body_font_.get());
}

void HelperWindow::lay_out(int width, int height) {
  const int margin = scale(kMargin), button_height = scale(kButtonHeight);
  const int guide_top = margin + scale(kHeadlineHeight) + margin / 2;
  const int buttons_top = height - margin - button_height;
  MoveWindow(headline_, margin, margin, width - 2 * margin, scale(kHeadlineHeight), TRUE);
  MoveWindow(guide_, margin, guide_top, width - 2 * margin, buttons_top - margin - guide_top, TRUE);
  MoveWindow(device_manager_, margin, buttons_top, scale(kDeviceManagerWidth), button_height, TRUE);
  MoveWindow(close_, width - margin - scale(kCloseWidth), buttons_top, scale(kCloseWidth),
             button_height, TRUE);
}

void HelperWindow::on_command(int id) {
  if (id == kCloseId) {
    DestroyWindow(hwnd_);
  } else if (id == kDeviceManagerId) {
    std::wstring problem = device_manager_problem(open_device_manager(device_manager_folders()));
    if (!problem.empty())
      MessageBoxW(hwnd_, problem.c_str(), guide::kTitle, MB_OK | MB_ICONWARNING);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // Drawn at the system's DPI rather than stretched as a bitmap; the layout scales with it.
  SetProcessDPIAware();
  HelperWindow window;
  if (!HelperWindow::register_class(instance) || !window.create(instance)) {
    // Without a window the guide still reaches the user, in a message box.
    std::wstring text = std::wstring(guide::kHeadline) + L"\r\n\r\n" + guide::kText;
    MessageBoxW(nullptr, text.c_str(), guide::kTitle, MB_OK | MB_ICONINFORMATION);
    return kExitNothingInstalled;
  }
  ShowWindow(window.hwnd(), show);
  UpdateWindow(window.hwnd());
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab, Esc and Space on the buttons, as in a dialog.
    if (IsDialogMessageW(window.hwnd(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return kExitNothingInstalled;
}
