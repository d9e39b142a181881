#include "tests/native/fakes.h"

#include <iconv.h>

#include <stdexcept>

std::string gbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no GBK converter");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* to = out.data();
  size_t out_left = out.size();
  if (iconv(cd, &in, &in_left, &to, &out_left) == static_cast<size_t>(-1))
    throw std::runtime_error("not convertible to GBK: " + utf8);
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

void FakeView::set_disabled(Button button, bool disabled) {
  calls.push_back((disabled ? "disable " : "enable ") + std::to_string(static_cast<int>(button)));
  disabled_[button] = disabled;
}

std::string FakeView::read_content(Box box) { return closed_ ? std::string() : this->box(box); }

void FakeView::set_content(Box box, std::string_view text) {
  calls.push_back("set " + std::to_string(static_cast<int>(box)));
  if (!closed_) this->box(box) = text;
}

void FakeView::append_text(Box box, std::string_view text) {
  calls.push_back("append " + std::to_string(static_cast<int>(box)));
  if (!closed_) this->box(box) += text;
}

Answer FakeView::show_message(std::string_view text, MessageKind kind, bool owned) {
  messages.push_back({std::string(text), kind, owned});
  if (answers_in_turn.empty()) return message_answer;
  Answer answer = answers_in_turn.front();
  answers_in_turn.erase(answers_in_turn.begin());
  return answer;
}

RunResult FakeCommands::run(std::string_view command_line) {
  ran.emplace_back(command_line);
  if (during_run) during_run();
  if (auto found = results.find(std::string(command_line)); found != results.end())
    return found->second;
  auto found = answers.find(std::string(command_line));
  RunResult result;
  if (found != answers.end()) result.output = found->second;
  return result;
}

void FakeCommands::wait(int milliseconds) {
  waits.push_back(milliseconds);
  if (during_wait) during_wait();
}
