#include "exec/error.h"

#include "packages/messages.h"
#include "packages/text.h"

namespace {

// The system's message for the code in code page 936, the program's text encoding, whatever
// the system's own code page; without the line break the system ends it with.
std::string system_message(DWORD code) {
  wchar_t* wide = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
  std::string text;
  if (length > 0) {
    int n =
        WideCharToMultiByte(936, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    text.resize(n > 0 ? n : 0);
    WideCharToMultiByte(936, 0, wide, static_cast<int>(length), text.data(), n, nullptr, nullptr);
  }
  if (wide) LocalFree(wide);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? std::string(msg::kUnknownError) : text;
}

}  // namespace

std::string Win32Error::describe() const {
  return concat_text(message, msg::kErrorOpen, operation) +
         concat_text(msg::kErrorCode, to_text(static_cast<int>(code)), msg::kErrorClose);
}

Win32Error last_error(std::string_view operation) { return error_of(operation, GetLastError()); }

Win32Error error_of(std::string_view operation, DWORD code) {
  return {std::string(operation), code, system_message(code)};
}
