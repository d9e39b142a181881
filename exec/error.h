// Failures of Win32 calls as values: which operation failed, the error code, and the
// system's message for it, so the caller can tell the user why.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

struct Win32Error {
  std::string operation;  // the call that failed, such as "CreateProcess"
  DWORD code = 0;
  std::string message;  // the system's words for the code, code page 936, no line break

  /// The message followed by the operation and the code, for the user to read and to
  /// report: "拒绝访问。（CreateFile，错误代码 5）".
  std::string describe() const;
};

/// The error of the calling thread's last failed call (GetLastError).
Win32Error last_error(std::string_view operation);
/// The error for a given code.
Win32Error error_of(std::string_view operation, DWORD code);

/// What an operation that returns nothing gives: no value when it succeeded.
using Failure = std::optional<Win32Error>;
