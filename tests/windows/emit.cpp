// Prints test output on demand, for the runner's tests:
//   emit bytes N      N bytes of a repeating pattern (0..250 as "0123456789" digits), then exits
//   emit zeros        "ab", a zero byte, "cd", a zero byte, "ef"
//   emit stderr TEXT  TEXT on standard error only
//   emit sleep MS     prints "start", sleeps MS milliseconds, prints "end"
//   emit exit CODE    exits with CODE, printing nothing
//   emit forever      prints lines until writing fails (its reader went away) or 2 minutes pass
// Copied under any other name (adb.com, cmd.exe), it stands for a program planted where ours
// should run: it creates "<its own path>.ran" and prints "planted", whatever it is asked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exec/handle.h"

static void write_out(HANDLE to, const std::string& bytes) {
  DWORD written = 0;
  WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// True when this program runs under a name other than emit.exe; leaves its mark if so.
static bool ran_as_planted(HANDLE out) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, n);
  std::string name = self.substr(self.find_last_of("\\/") + 1);
  if (lstrcmpiA(name.c_str(), "emit.exe") == 0) return false;
  Handle mark(
      CreateFileA((self + ".ran").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  write_out(out, "planted");
  return true;
}

int main(int argc, char** argv) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (ran_as_planted(out)) return 0;
  if (argc < 2) return 2;
  std::string what = argv[1];
  if (what == "bytes" && argc == 3) {
    size_t n = std::strtoul(argv[2], nullptr, 10);
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('0' + i % 10);
    write_out(out, bytes);
  } else if (what == "zeros") {
    write_out(out, std::string("ab\0cd\0ef", 8));
  } else if (what == "stderr" && argc == 3) {
    write_out(GetStdHandle(STD_ERROR_HANDLE), argv[2]);
  } else if (what == "sleep" && argc == 3) {
    write_out(out, "start");
    Sleep(std::atoi(argv[2]));
    write_out(out, "end");
  } else if (what == "exit" && argc == 3) {
    return std::atoi(argv[2]);
  } else if (what == "forever") {
    std::string line(1000, 'x');
    line += "\r\n";
    DWORD written = 0, start = GetTickCount();
    while (GetTickCount() - start < 120000 &&
           WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
      Sleep(1);

  } else {
    return 2;
  }
  return 0;
}
