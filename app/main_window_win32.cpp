#include "app/main_window.h"

#include "app/controls.h"
#include "exec/process.h"
#include "packages/actions.h"
#include "payload/adb_commands.h"
#include "payload/driver.h"

namespace {

constexpr int kWidth = 650, kHeight = 532;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kButtonStyle = WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER |
                               BS_VCENTER;
constexpr DWORD kMultilineStyle = WS_CHILD | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_LEFT |
                                  ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD kSingleLineStyle = WS_CHILD | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr COLORREF kGrey = RGB(192, 192, 192);

struct ButtonLayout {
  Button role;
  int id, x, y, width, height;
  const wchar_t* caption;
  bool visible;
};

// In the order the controls are created.
constexpr ButtonLayout kButtons[] = {
    {Button::connect, IDC_BUTTON5, 3, 5, 64, 24, L"连接设备", true},
    {Button::driver, IDC_BUTTON4, 3, 39, 64, 24, L"通用驱动", true},
    {Button::uninstall, IDC_BUTTON2, 3, 176, 64, 20, L"卸载", true},
    {Button::restore, IDC_BUTTON7, 576, 176, 64, 20, L"恢复", true},
    {Button::filter, IDC_BUTTON3, 3, 232, 64, 24, L"筛选", true},
    {Button::list_all, IDC_BUTTON1, 3, 264, 64, 24, L"看所有包", true},
    {Button::list_uninstalled, IDC_BUTTON6, 3, 296, 64, 24, L"已卸载包", false},
    {Button::batch, IDC_BUTTON8, 3, 476, 64, 24, L"批量卸载", true},
};

struct BoxLayout {
  Box role;
  int id, x, y, width, height;
};

constexpr BoxLayout kBoxes[] = {
    {Box::log, IDC_EDIT1, 70, 5, 570, 160},
    {Box::name, IDC_EDIT2, 72, 176, 496, 20},
    {Box::list, IDC_EDIT3, 72, 205, 568, 296},
};

// Tab order; hidden and disabled controls are passed over.
constexpr int kTabOrder[] = {IDC_EDIT1,   IDC_BUTTON2, IDC_EDIT2,   IDC_EDIT3,
                             IDC_BUTTON3, IDC_BUTTON1, IDC_BUTTON4, IDC_BUTTON5,
                             IDC_BUTTON6, IDC_BUTTON7, IDC_BUTTON8};

MainWindow* g_window = nullptr;  // the one window, for the message filter; not owned

HFONT make_font(int height) {
  return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, L"");
}

void set_font(HWND control, HGDIOBJ font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// One line of the default GUI font plus the edit's 3-D edges.
int single_line_height(HWND edit) {
  HDC dc = GetDC(edit);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  return metrics.tmHeight + 2 * GetSystemMetrics(SM_CYEDGE);
}

}  // namespace

MainWindow::MainWindow() : view_(*this), commands_(view_) {}

MainWindow::~MainWindow() {
  if (exists()) DestroyWindow(hwnd_);
  if (button8_font_) DeleteObject(button8_font_);
  if (box_font_) DeleteObject(box_font_);
  if (grey_brush_) DeleteObject(grey_brush_);
  if (g_window == this) g_window = nullptr;
}

bool MainWindow::create(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, L"DEFAULT_ICON");
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0));
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = MAIN_WINDOW_CLASS;
  RegisterClassExW(&window_class);

  int left = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  g_window = this;
  CreateWindowExW(0, MAIN_WINDOW_CLASS, L"Tolvexa", kWindowStyle, left, top, kWidth, kHeight,
                  nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  if (rect.left != left || rect.top != top || rect.right - rect.left != kWidth ||
      rect.bottom - rect.top != kHeight)
    SetWindowPos(hwnd_, nullptr, left, top, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  create_controls();
  return true;
}

void MainWindow::create_controls() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
  HGDIOBJ gui_font = GetStockObject(DEFAULT_GUI_FONT);
  button8_font_ = make_font(12);
  box_font_ = make_font(16);
  grey_brush_ = CreateSolidBrush(kGrey);

  for (const ButtonLayout& layout : kButtons) {
    HWND control = CreateWindowExW(0, L"BUTTON", layout.caption, kButtonStyle, layout.x, layout.y,
                                   layout.width, layout.height, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                   instance, nullptr);
    set_font(control, layout.role == Button::batch ? button8_font_ : gui_font);
    buttons_[static_cast<int>(layout.role)] = control;
  }
  for (const BoxLayout& layout : kBoxes) {
    bool multiline = layout.role != Box::name;
    HWND control = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                   multiline ? kMultilineStyle : kSingleLineStyle, layout.x, layout.y,
                                   layout.width, layout.height, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)),
                                   instance, nullptr);
    set_font(control, multiline ? box_font_ : gui_font);
    // The edit control's default limit of about 32,000 characters would cut a long listing.
    SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    int height = multiline ? layout.height : single_line_height(control);
    if (height > layout.height)
      SetWindowPos(control, nullptr, 0, 0, layout.width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    boxes_[static_cast<int>(layout.role)] = control;
  }

  for (const ButtonLayout& layout : kButtons)
    if (layout.visible) ShowWindow(button(layout.role), SW_SHOWNA);
  for (HWND control : boxes_) ShowWindow(control, SW_SHOWNA);
}

void MainWindow::show() {
  if (!exists()) return;  // closed while deploying
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  SetFocus(box(Box::name));
  UpdateWindow(hwnd_);
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) on_command(LOWORD(wparam));
      return 0;
    case WM_CTLCOLOREDIT:
      return on_ctl_color_edit(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_ACTIVATE:
      if (on_activate(LOWORD(wparam) != WA_INACTIVE)) return 0;
      break;
    case WM_DESTROY:
      on_destroy();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::on_command(int id) {
  switch (id) {
    case IDC_BUTTON5: connect_device(view_, commands_); break;
    case IDC_BUTTON4:
      if (Failure failure = launch_driver_installer()) report_driver_failure(view_, failure->describe());
      break;
    case IDC_BUTTON2: uninstall_package(view_, commands_); break;
    case IDC_BUTTON7: restore_package(view_, commands_); break;
    case IDC_BUTTON3: filter_packages(view_); break;
    case IDC_BUTTON1: list_packages(view_, commands_, Button::list_all, adb::kListPackages); break;
    case IDC_BUTTON6:
      list_packages(view_, commands_, Button::list_uninstalled, adb::kListAllPackages);
      break;
    case IDC_BUTTON8: batch_uninstall(view_, commands_); break;
  }
}

LRESULT MainWindow::on_ctl_color_edit(HDC dc, HWND edit) {
  bool grey = edit != box(Box::name);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, grey ? kGrey : RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(grey ? grey_brush_ : GetStockObject(WHITE_BRUSH));
}

bool MainWindow::on_activate(bool active) {
  // Give the focus back to the control that had it when the window was left; without one,
  // the default handling gives it to the window itself.
  if (!active) {
    HWND focus = GetFocus();
    saved_focus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
    return false;
  }
  if (!saved_focus_ || !IsWindowEnabled(saved_focus_)) return false;
  SetFocus(saved_focus_);
  return true;
}

void MainWindow::on_destroy() {
  // The view now reports the window as gone, so a waiting action stops at its next step.
  destroyed_ = true;
  end_adb_process();
  PostQuitMessage(0);
}

bool MainWindow::is_multiline(HWND control) const {
  return control && (control == box(Box::log) || control == box(Box::list));
}

void MainWindow::take_focus_from(HWND control) {
  // A disabled control loses the focus, and keys would then reach no control at all.
  if (GetFocus() != control) return;
  tab_anchor_ = control;
  SetFocus(hwnd_);
}

void MainWindow::move_focus(bool backwards) {
  constexpr int n = sizeof kTabOrder / sizeof kTabOrder[0];
  HWND focus = GetFocus();
  if (focus == hwnd_) focus = tab_anchor_;
  int at = backwards ? n : -1;
  for (int i = 0; i < n; ++i)
    if (GetDlgItem(hwnd_, kTabOrder[i]) == focus) at = i;
  for (int step = 1; step <= n; ++step) {
    int i = ((at + (backwards ? -step : step)) % n + n) % n;
    HWND candidate = GetDlgItem(hwnd_, kTabOrder[i]);
    if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
      SetFocus(candidate);
      return;
    }
  }
}

bool MainWindow::filter_message(MSG& message) {
  MainWindow* self = g_window;
  if (!self || !self->exists()) return false;
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  if (message.hwnd != self->hwnd_ && !IsChild(self->hwnd_, message.hwnd)) return false;
  bool alt = (message.lParam & (1 << 29)) != 0;
  switch (message.wParam) {
    case VK_ESCAPE:
      if (alt) return false;
      SendMessageW(self->hwnd_, WM_CLOSE, 0, 0);
      return true;
    case VK_TAB:
      if (alt) return false;
      self->move_focus(GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_RETURN:
      // Only the two multi-line boxes take Enter, as a line break.
      return !self->is_multiline(message.hwnd);
  }
  return false;
}
