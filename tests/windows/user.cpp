#include "tests/windows/user.h"

#include <algorithm>

#include "app/controls.h"

namespace e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kStartTimeoutMs = 30000;
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring class_name(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

DWORD process_of(HWND hwnd) {
  DWORD id = 0;
  GetWindowThreadProcessId(hwnd, &id);
  return id;
}

struct WindowSearch {
  DWORD process_id;
  std::wstring class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND hwnd, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  if (process_of(hwnd) == search->process_id && IsWindowVisible(hwnd) &&
      class_name(hwnd) == search->class_name)
    search->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> windows_of(DWORD process_id, const std::wstring& window_class) {
  WindowSearch search{process_id, window_class, {}};
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring window_text(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!hwnd ||
      !SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
    return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return L"";
  text.resize(std::min<size_t>(copied, wcslen(text.c_str())));
  return text;
}

bool shown_child(HWND dialog, int id) {
  HWND child = GetDlgItem(dialog, id);
  return child && IsWindowVisible(child);
}

LPARAM key_lparam(WORD key, bool up) {
  LPARAM scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
  LPARAM value = 1 | (scan << 16);
  if (up) value |= (1u << 30) | (1u << 31);
  return value;
}

}  // namespace

void kill_processes_named(const std::wstring& image_name) {
  for (DWORD id : support::processes_named(image_name)) support::end_process(id);
}

Output run_program(const std::wstring& command_line, const Environment& environment) {
  Output output;
  support::Started child = support::start_process(command_line, {environment, true});
  output.started = static_cast<bool>(child);
  if (!child) return output;
  output.text = support::read_to_end(child.output.get());
  WaitForSingleObject(child.process.get(), 30000);
  GetExitCodeProcess(child.process.get(), &output.exit_code);
  return output;
}

std::vector<std::wstring> split_lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<HWND> message_boxes_of(DWORD process_id) { return windows_of(process_id, L"#32770"); }

MessageBoxInfo describe_message_box(HWND box) {
  MessageBoxInfo info;
  info.hwnd = box;
  info.caption = window_text(box);
  info.text = window_text(GetDlgItem(box, kMessageBoxTextId));
  info.has_ok = shown_child(box, IDOK);
  info.has_cancel = shown_child(box, IDCANCEL);
  info.has_yes = shown_child(box, IDYES);
  info.has_no = shown_child(box, IDNO);
  for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
    HWND button = GetDlgItem(box, id);
    if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      info.default_button = id;
  }
  return info;
}

App::App(const std::wstring& exe, const Environment& environment) {
  // Window coordinates as the program, which is DPI-aware, sees them: unscaled.
  SetProcessDPIAware();
  support::Started started = support::start_process(L"\"" + exe + L"\"", {environment});
  if (!started) {
    error_ = "cannot start " + support::narrow(exe) + ", error " + std::to_string(started.error);
    return;
  }
  process_ = std::move(started.process);
  process_id_ = started.id;
  HWND found = nullptr;
  support::wait_until(
      [&] {
        std::vector<HWND> windows = windows_of(process_id_, MAIN_WINDOW_CLASS);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr || WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs, 2);
  if (!found) {
    DWORD code = 0;
    if (GetExitCodeProcess(process_.get(), &code) && code != STILL_ACTIVE)
      // -1 when it could not create its window, as when Wine has no display.
      error_ = "the program ended with code " + std::to_string(static_cast<int>(code)) +
               " before its window showed";
    else
      error_ = "the main window did not show";
    return;
  }
  window_ = found;
  thread_id_ = GetWindowThreadProcessId(window_, nullptr);
}

App::~App() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
    support::end_process(process_.get());
}

HWND App::control(Control c) const { return GetDlgItem(window_, c.id); }

std::wstring App::text_of(HWND hwnd) const { return window_text(hwnd); }

void App::set_text(Control id, const std::wstring& text) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
}

bool App::enabled(Control id) const { return IsWindowEnabled(control(id)) != FALSE; }

bool App::visible(Control id) const { return IsWindowVisible(control(id)) != FALSE; }

LONG App::style(Control id) const { return GetWindowLongW(control(id), GWL_STYLE); }

RECT App::rect_in_client(Control id) const {
  RECT rect{};
  GetWindowRect(control(id), &rect);
  MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool App::click(Control id) {
  HWND button = control(id);
  if (!button || !IsWindowEnabled(button)) return false;
  return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

HWND App::focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(thread_id_, &info)) return nullptr;
  return info.hwndFocus;
}

void App::press_key(WORD key) {
  HWND target = focus();
  if (!target) target = window_;
  PostMessageW(target, WM_KEYDOWN, key, key_lparam(key, false));
  PostMessageW(target, WM_KEYUP, key, key_lparam(key, true));
}

bool App::press_shifted_key(WORD key, const std::function<bool()>& until, int timeout_ms) {
  // Attached, this thread shares the program's key state, so it can hold Shift down there.
  DWORD own = GetCurrentThreadId();
  if (!AttachThreadInput(own, thread_id_, TRUE)) return false;
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
  SetKeyboardState(state);
  press_key(key);
  bool held = support::wait_until(until, timeout_ms);
  state[VK_SHIFT] = state[VK_LSHIFT] = 0;
  SetKeyboardState(state);
  AttachThreadInput(own, thread_id_, FALSE);
  return held;
}

bool App::wait_text(Control id, const std::function<bool(const std::wstring&)>& condition,
                    int timeout_ms, std::wstring* last) {
  std::wstring seen;
  bool held = support::wait_until(
      [&] {
        seen = text(id);
        return condition(seen);
      },
      timeout_ms);
  if (last) *last = seen;
  return held;
}

bool App::wait_enabled(Control id, bool enabled_now, int timeout_ms) {
  return support::wait_until([&] { return enabled(id) == enabled_now; }, timeout_ms);
}

void App::note_boxes(const std::vector<HWND>& boxes) {
  for (HWND box : boxes) {
    if (std::find(noted_.begin(), noted_.end(), box) != noted_.end()) continue;
    noted_.push_back(box);
    boxes_seen_.push_back(describe_message_box(box).text);
  }
}

std::vector<HWND> App::message_boxes() {
  std::vector<HWND> boxes = message_boxes_of(process_id_);
  note_boxes(boxes);
  return boxes;
}

bool App::wait_message_box(MessageBoxInfo& info, int timeout_ms) {
  std::vector<HWND> boxes;
  if (!support::wait_until([&] { return !(boxes = message_boxes()).empty(); }, timeout_ms))
    return false;
  // A box can show before its text is set: read it once its text is there.
  support::wait_until([&] { return !(info = describe_message_box(boxes.front())).text.empty(); },
                      2000);
  return true;
}

bool App::answer(HWND box, int button_id, int timeout_ms) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0);
  return support::wait_until([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeout_ms);
}

void App::close() { PostMessageW(window_, WM_CLOSE, 0, 0); }

bool App::wait_exit(int timeout_ms, DWORD* exit_code) {
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (WaitForSingleObject(process_.get(), 20) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process_.get(), exit_code);
      return true;
    }
    message_boxes();
    if (GetTickCount64() >= deadline) return false;
  }
}

}  // namespace e2e
