#include "app/main_window.h"

#include <algorithm>

#include "app/controls.h"
#include "exec/process.h"
#include "packages/actions.h"
#include "payload/adb_commands.h"
#include "payload/driver.h"

namespace {

constexpr int kWidth = 650, kHeight = 532;  // at 96 DPI, as every size below
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kButtonStyle =
    WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER;
constexpr DWORD kMultilineStyle = WS_CHILD | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_LEFT |
                                  ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD kSingleLineStyle = WS_CHILD | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr COLORREF kGrey = RGB(192, 192, 192);

struct Place {
  int x, y, width, height;
};

enum class Font { gui, small, box };

// One row per button: its role (the id follows from it, app/controls.h), caption, place,
// font, visibility, place in the Tab order and what a click does. In the order of creation.
struct ButtonRow {
  Button role;
  const wchar_t* caption;
  Place place;
  Font font;
  bool visible;
  int tab;
  void (*click)(MainWindow& window);
};

const ButtonRow kButtons[] = {
    {Button::connect,
     L"连接设备",
     {3, 5, 64, 24},
     Font::gui,
     true,
     11,  // 按钮5
     [](MainWindow& w) { connect_device(w.view(), w.commands()); }},
    {Button::driver,
     L"通用驱动",
     {3, 39, 64, 24},
     Font::gui,
     true,
     10,  // 按钮4
     [](MainWindow& w) {
       if (Failure failure = launch_driver_installer())
         report_driver_failure(w.view(), failure->describe());
     }},
    {Button::uninstall,
     L"卸载",
     {3, 176, 64, 20},
     Font::gui,
     true,
     1,  // 按钮2
     [](MainWindow& w) { uninstall_package(w.view(), w.commands(), w.session()); }},
    {Button::restore,
     L"恢复",
     {576, 176, 64, 20},
     Font::gui,
     true,
     13,  // 按钮7
     [](MainWindow& w) { restore_package(w.view(), w.commands(), w.session()); }},
    {Button::filter,
     L"筛选",
     {3, 232, 64, 24},
     Font::gui,
     true,
     4,  // 按钮3
     [](MainWindow& w) { filter_packages(w.view()); }},
    {Button::list_all,
     L"看所有包",
     {3, 264, 64, 24},
     Font::gui,
     true,
     5,  // 按钮1
     [](MainWindow& w) {
       list_packages(w.view(), w.commands(), Button::list_all, adb::kListPackages);
     }},
    {Button::recommend,
     L"推荐卸载",
     {3, 328, 64, 24},
     Font::gui,
     true,
     6,
     [](MainWindow& w) { recommend_packages(w.view(), w.commands()); }},
    {Button::explain,
     L"查看说明",
     {3, 360, 64, 24},
     Font::gui,
     true,
     7,
     [](MainWindow& w) { explain_packages(w.view(), w.commands()); }},
    {Button::list_removed,
     L"已卸载的",
     {3, 392, 64, 24},
     Font::gui,
     true,
     8,
     [](MainWindow& w) { list_removed_packages(w.view(), w.commands(), w.session()); }},
    {Button::batch_restore,
     L"批量恢复",
     {3, 424, 64, 24},
     Font::gui,
     true,
     9,
     [](MainWindow& w) { batch_restore(w.view(), w.commands(), w.session()); }},
    {Button::list_uninstalled,
     L"已卸载包",
     {3, 296, 64, 24},
     Font::gui,
     false,
     12,  // 按钮6
     [](MainWindow& w) {
       list_packages(w.view(), w.commands(), Button::list_uninstalled, adb::kListAllPackages);
     }},
    {Button::batch,
     L"批量卸载",
     {3, 476, 64, 24},
     Font::small,
     true,
     14,  // 按钮8
     [](MainWindow& w) { batch_uninstall(w.view(), w.commands(), w.session()); }},
};

struct BoxRow {
  Box role;
  Place place;
  Font font;
  int tab;
};

const BoxRow kBoxes[] = {
    {Box::log, {70, 5, 570, 160}, Font::box, 0},     // 编辑框1
    {Box::name, {72, 176, 496, 20}, Font::gui, 2},   // 编辑框2, single line
    {Box::list, {72, 205, 568, 296}, Font::box, 3},  // 编辑框3
};

constexpr int kControls = sizeof kButtons / sizeof kButtons[0] + sizeof kBoxes / sizeof kBoxes[0];

MainWindow* g_window = nullptr;  // the one window, for the message filter; not owned

// A function of a newer user32, or null where the system lacks it (Windows 7 lacks the
// per-monitor DPI functions; the system's DPI then serves).
template <typename Function>
Function user32_function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT system_dpi() {
  ScopedGetDC screen(nullptr);
  return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

UINT dpi_of(HWND hwnd) {
  static auto get_dpi = user32_function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  return get_dpi && hwnd ? get_dpi(hwnd) : system_dpi();
}

int edge_height(UINT dpi) {
  static auto metric = user32_function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  return metric ? metric(SM_CYEDGE, dpi) : MulDiv(GetSystemMetrics(SM_CYEDGE), dpi, system_dpi());
}

GdiObject<HFONT> make_font(int height) {
  return GdiObject<HFONT>(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      PROOF_QUALITY, DEFAULT_PITCH, L""));
}

// The system's default GUI font, made for the given DPI (the stock one is made for the
// system's DPI).
GdiObject<HFONT> gui_font(UINT dpi) {
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = MulDiv(font.lfHeight, dpi, system_dpi());
  return GdiObject<HFONT>(CreateFontIndirectW(&font));
}

// One line of the font plus the edit's 3-D edges.
int single_line_height(HWND edit, HFONT font, UINT dpi) {
  ScopedGetDC dc(edit);
  ScopedSelectObject selected(dc.get(), font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  return metrics.tmHeight + 2 * edge_height(dpi);
}

HMENU as_menu(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

}  // namespace

MainWindow::MainWindow() : view_(*this), commands_(view_) {}

MainWindow::~MainWindow() {
  if (exists()) DestroyWindow(hwnd_);
  if (g_window == this) g_window = nullptr;
}

Failure MainWindow::create(HINSTANCE instance) {
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
  if (!RegisterClassExW(&window_class)) return last_error("RegisterClassEx");

  // Centred on the whole screen, at the size for the system's DPI; the window's own DPI,
  // known once it exists, may differ on another monitor.
  dpi_ = system_dpi();
  int left = (GetSystemMetrics(SM_CXSCREEN) - scale(kWidth)) / 2;
  int top = (GetSystemMetrics(SM_CYSCREEN) - scale(kHeight)) / 2;
  g_window = this;
  CreateWindowExW(0, MAIN_WINDOW_CLASS, L"Tolvexa", kWindowStyle, left, top, scale(kWidth),
                  scale(kHeight), nullptr, nullptr, instance, this);
  if (!hwnd_) return last_error("CreateWindowEx");
  dpi_ = dpi_of(hwnd_);
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  if (rect.left != left || rect.top != top || rect.right - rect.left != scale(kWidth) ||
      rect.bottom - rect.top != scale(kHeight))
    SetWindowPos(hwnd_, nullptr, left, top, scale(kWidth), scale(kHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  create_controls();
  return {};
}

void MainWindow::create_controls() {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
  grey_brush_ = GdiObject<HBRUSH>(CreateSolidBrush(kGrey));
  for (const ButtonRow& row : kButtons)
    buttons_[static_cast<int>(row.role)] =
        CreateWindowExW(0, L"BUTTON", row.caption, kButtonStyle, 0, 0, 0, 0, hwnd_,
                        as_menu(control_id(row.role)), instance, nullptr);
  for (const BoxRow& row : kBoxes) {
    HWND control = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                   row.font == Font::box ? kMultilineStyle : kSingleLineStyle, 0, 0,
                                   0, 0, hwnd_, as_menu(control_id(row.role)), instance, nullptr);
    // The edit control's default limit of about 32,000 characters would cut a long listing.
    SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
    boxes_[static_cast<int>(row.role)] = control;
  }
  lay_out();
  for (const ButtonRow& row : kButtons)
    if (row.visible) ShowWindow(button(row.role), SW_SHOWNA);
  for (HWND control : boxes_) ShowWindow(control, SW_SHOWNA);
}

// Places every control and gives it its font, for the window's DPI.
void MainWindow::lay_out() {
  gui_font_ = gui_font(dpi_);
  small_font_ = make_font(scale(12));
  box_font_ = make_font(scale(16));
  auto font_of = [this](Font font) {
    return font == Font::gui     ? gui_font_.get()
           : font == Font::small ? small_font_.get()
                                 : box_font_.get();
  };
  auto place = [this](HWND control, const Place& at, int height, HFONT font) {
    SetWindowPos(control, nullptr, scale(at.x), scale(at.y), scale(at.width), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  };
  for (const ButtonRow& row : kButtons)
    place(button(row.role), row.place, scale(row.place.height), font_of(row.font));
  for (const BoxRow& row : kBoxes) {
    HWND control = box(row.role);
    int height = scale(row.place.height);
    // A single-line box is never lower than one line of its font.
    if (row.font == Font::gui)
      height = std::max(height, single_line_height(control, gui_font_.get(), dpi_));
    place(control, row.place, height, font_of(row.font));
  }
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
    case WM_DPICHANGED:
      on_dpi_changed(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::on_command(int id) {
  for (const ButtonRow& row : kButtons)
    if (control_id(row.role) == id) return row.click(*this);
}

void MainWindow::on_dpi_changed(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  lay_out();
}

LRESULT MainWindow::on_ctl_color_edit(HDC dc, HWND edit) {
  bool grey = edit != box(Box::name);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, grey ? kGrey : RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(grey ? grey_brush_.get() : GetStockObject(WHITE_BRUSH));
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
  HWND order[kControls] = {};
  for (const ButtonRow& row : kButtons) order[row.tab] = button(row.role);
  for (const BoxRow& row : kBoxes) order[row.tab] = box(row.role);
  HWND focus = GetFocus();
  if (focus == hwnd_) focus = tab_anchor_;
  int at = backwards ? kControls : -1;
  for (int i = 0; i < kControls; ++i)
    if (order[i] == focus) at = i;
  for (int step = 1; step <= kControls; ++step) {
    HWND candidate = order[((at + (backwards ? -step : step)) % kControls + kControls) % kControls];
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
