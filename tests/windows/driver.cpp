#include "tests/windows/driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "app/controls.h"

namespace e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr int kStartTimeoutMs = 30000;
constexpr int kMessageBoxTextId = 0xFFFF;

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// This process's environment without the simulated phone's variables, which only the caller
// decides, plus the given variables; as a block for CreateProcessW.
std::wstring environment_block(const Environment& extra) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
    std::wstring line(entry);
    std::wstring name = upper(line.substr(0, line.find(L'=', 1)));
    bool replaced = name.rfind(L"TOLVEXA_ADB_", 0) == 0;
    for (const auto& variable : extra) replaced = replaced || name == upper(variable.first);
    if (!replaced) block += line + L'\0';
  }
  if (strings) FreeEnvironmentStringsW(strings);
  for (const auto& variable : extra) block += variable.first + L'=' + variable.second + L'\0';
  block += L'\0';
  return block;
}

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

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], n);
  return text;
}

std::string narrow(const std::wstring& text) {
  if (text.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], n, nullptr,
                      nullptr);
  return utf8;
}

bool wait_until(const std::function<bool()>& condition, int timeout_ms, int interval_ms) {
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(interval_ms);
  }
}

std::vector<DWORD> processes_named(const std::wstring& image_name) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, image_name.c_str()) == 0 &&
        entry.th32ProcessID != GetCurrentProcessId())
      ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

void kill_process(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (!process) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

void kill_processes_named(const std::wstring& image_name) {
  for (DWORD id : processes_named(image_name)) kill_process(id);
}

bool file_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

void remove_folder(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring path = folder + L"\\" + found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

Output run_program(const std::wstring& command_line, const Environment& environment) {
  Output output;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return output;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write_end;
  std::wstring line = command_line;
  std::wstring block = environment_block(environment);
  PROCESS_INFORMATION info{};
  output.started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr, &startup, &info);
  CloseHandle(write_end);  // only the child holds it now, so the pipe ends with the child
  if (output.started) {
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0)
      output.text.append(chunk, got);
    WaitForSingleObject(info.hProcess, 30000);
    GetExitCodeProcess(info.hProcess, &output.exit_code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  CloseHandle(read_end);
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
  std::wstring line = L"\"" + exe + L"\"";
  std::wstring block = environment_block(environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &block[0], nullptr, &startup, &process_)) {
    error_ = "cannot start " + narrow(exe) + ", error " + std::to_string(GetLastError());
    process_ = PROCESS_INFORMATION{};
    return;
  }
  HWND found = nullptr;
  wait_until(
      [&] {
        std::vector<HWND> windows = windows_of(process_.dwProcessId, MAIN_WINDOW_CLASS);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
      },
      kStartTimeoutMs, 2);
  if (!found) {
    DWORD code = 0;
    if (GetExitCodeProcess(process_.hProcess, &code) && code != STILL_ACTIVE)
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
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
  }
  if (process_.hThread) CloseHandle(process_.hThread);
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
  bool held = wait_until(until, timeout_ms);
  state[VK_SHIFT] = state[VK_LSHIFT] = 0;
  SetKeyboardState(state);
  AttachThreadInput(own, thread_id_, FALSE);
  return held;
}

bool App::wait_text(Control id, const std::function<bool(const std::wstring&)>& condition,
                    int timeout_ms, std::wstring* last) {
  std::wstring seen;
  bool held = wait_until(
      [&] {
        seen = text(id);
        return condition(seen);
      },
      timeout_ms);
  if (last) *last = seen;
  return held;
}

bool App::wait_enabled(Control id, bool enabled_now, int timeout_ms) {
  return wait_until([&] { return enabled(id) == enabled_now; }, timeout_ms);
}

void App::note_boxes(const std::vector<HWND>& boxes) {
  for (HWND box : boxes) {
    if (std::find(noted_.begin(), noted_.end(), box) != noted_.end()) continue;
    noted_.push_back(box);
    boxes_seen_.push_back(describe_message_box(box).text);
  }
}

std::vector<HWND> App::message_boxes() {
  std::vector<HWND> boxes = message_boxes_of(process_.dwProcessId);
  note_boxes(boxes);
  return boxes;
}

bool App::wait_message_box(MessageBoxInfo& info, int timeout_ms) {
  std::vector<HWND> boxes;
  if (!wait_until([&] { return !(boxes = message_boxes()).empty(); }, timeout_ms)) return false;
  // A box can show before its text is set: read it once its text is there.
  wait_until([&] { return !(info = describe_message_box(boxes.front())).text.empty(); }, 2000);
  return true;
}

bool App::answer(HWND box, int button_id, int timeout_ms) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0);
  return wait_until([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeout_ms);
}

void App::close() { PostMessageW(window_, WM_CLOSE, 0, 0); }

bool App::wait_exit(int timeout_ms, DWORD* exit_code) {
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process_.hProcess, exit_code);
      return true;
    }
    message_boxes();
    if (GetTickCount64() >= deadline) return false;
  }
}

}  // namespace e2e
