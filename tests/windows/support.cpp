#include "tests/windows/support.h"

#include <tlhelp32.h>

#include <cwctype>

namespace support {

namespace {

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

}  // namespace

double now_ms() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart * 1000.0 / frequency.QuadPart;
}

bool wait_until(const std::function<bool()>& condition, int timeout_ms, int interval_ms) {
  ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(interval_ms);
  }
}

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

bool file_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string read_file(const std::wstring& path) {
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
  return file ? read_to_end(file.get()) : "";
}

bool write_file(const std::wstring& path, const std::string& bytes) {
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

void remove_tree(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") remove_tree(path + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);  // a find handle, which Handle cannot end
  }
  RemoveDirectoryW(path.c_str());
}

ScopedTempDir::ScopedTempDir() {
  static int counter = 0;
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  path_ = std::wstring(temp) + L"tolvexa_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::to_wstring(++counter);
  remove_tree(path_);  // left by an earlier process of the same id
  CreateDirectoryW(path_.c_str(), nullptr);
}

Started start_process(const std::wstring& command_line, const Launch& launch) {
  Started started;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  Handle write_end, input;
  if (launch.capture) {
    HANDLE read_end = nullptr, write = nullptr;
    if (!CreatePipe(&read_end, &write, &inheritable, 0)) {
      started.error = GetLastError();
      return started;
    }
    started.output = Handle(read_end);
    write_end = Handle(write);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    input = Handle(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr));
    if (launch.error_to)
      SetHandleInformation(launch.error_to, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = write_end.get();
    startup.hStdError = launch.error_to ? launch.error_to : write_end.get();
  }
  std::wstring line = command_line;
  std::wstring block = environment_block(launch.environment);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, launch.capture,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, &block[0], nullptr, &startup,
                      &info)) {
    started.error = GetLastError();
    started.output = Handle();
    return started;
  }
  // The write end closes here, so the pipe ends when the child and its children have ended.
  started.process = Handle(info.hProcess);
  Handle thread(info.hThread);
  started.id = info.dwProcessId;
  return started;
}

std::string read_to_end(HANDLE pipe) {
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

void end_process(HANDLE process) {
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
}

void end_process(DWORD id) {
  Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
  if (process) end_process(process.get());
}

std::vector<DWORD> processes_named(const std::wstring& image_name) {
  std::vector<DWORD> ids;
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry))
    if (_wcsicmp(entry.szExeFile, image_name.c_str()) == 0 &&
        entry.th32ProcessID != GetCurrentProcessId())
      ids.push_back(entry.th32ProcessID);
  return ids;
}

}  // namespace support
