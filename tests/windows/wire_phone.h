// The simulated phone on the wire (a program that speaks adb's transport protocol on
// 127.0.0.1), started by a test or the benchmark and ended with it.
#pragma once

#include <string>

#include "exec/handle.h"

namespace e2e {

/// One phone program, started with its options (e.g. L"--port 5555 --vendor xiaomi"). It ends
/// by itself when its standard input closes, so a test that dies leaves no phone behind.
class WirePhone {
 public:
  explicit WirePhone(const std::wstring& options);
  /// Closes its input and waits for it to end.
  ~WirePhone();
  WirePhone(const WirePhone&) = delete;
  WirePhone& operator=(const WirePhone&) = delete;

  /// True once it said that it listens.
  bool ready() const { return ready_; }
  /// The user taps 允许 on the phone's question.
  bool allow();

 private:
  Handle process_, input_, output_;
  bool ready_ = false;
};

}  // namespace e2e
