// Substitutes for the window and the command runner: they record what the actions do and
// answer with scripted output.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "packages/view.h"

/// Converts UTF-8 test text to the code page 936 bytes the program works in.
std::string gbk(const std::string& utf8);

/// The hint after adb found no phone, as the user reads it (UTF-8), without "提示：".
inline const std::string kNoPhoneHint =
    "没有找到手机。请用手机原装的数据线连接（有的线只能充电，传不了数据）；在手机的“开发者选项”中打开"
    "“USB调试”；插上后在手机的 USB 通知里选“传输文件”；仍找不到时，点“通用驱动”安装驱动。然后点“连接"
    "设备”。";

class FakeView : public View {
 public:
  void set_disabled(Button button, bool disabled) override;
  std::string read_content(Box box) override;
  void set_content(Box box, std::string_view text) override;
  void append_text(Box box, std::string_view text) override;
  Answer show_message(std::string_view text, MessageKind kind, bool owned) override;
  bool closed() const override { return closed_; }

  std::string& box(Box box) { return boxes_[static_cast<int>(box)]; }
  bool disabled(Button button) const { return disabled_.count(button) && disabled_.at(button); }

  struct Message {
    std::string text;
    MessageKind kind;
    bool owned;
  };
  std::vector<Message> messages;
  Answer message_answer = Answer::ok;   // what show_message returns
  std::vector<Answer> answers_in_turn;  // when not empty, the answers of the next boxes first
  std::vector<std::string> calls;       // e.g. "disable 2", "append 0 <text>"
  bool closed_ = false;

 private:
  std::string boxes_[3];
  std::map<Button, bool> disabled_;
};

class FakeCommands : public Commands {
 public:
  RunResult run(std::string_view command_line) override;
  void wait(int milliseconds) override;
  std::string adb_port_holder() override { return port_holder; }

  std::map<std::string, std::string> answers;  // command line -> output; others print nothing
  std::map<std::string, RunResult> results;    // command line -> whole result, before answers
  std::vector<std::string> ran;
  std::vector<int> waits;
  std::string port_holder;            // what adb_port_holder answers
  std::function<void()> during_run;   // runs inside each command, as a nested click would
  std::function<void()> during_wait;  // runs inside each pause
};
