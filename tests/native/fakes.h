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
