// What the button actions need from the window and the platform: five operations on the
// window's controls, and running a command or pausing while the window stays live.
#pragma once

#include <string>
#include <string_view>

/// The buttons by role, in the order of their form names 按钮1 to 按钮8, then the buttons
/// added since (推荐卸载, 查看说明, 已卸载的, 批量恢复); the boxes likewise, 编辑框1 to 编辑框3.
enum class Button {
  list_all,
  uninstall,
  filter,
  driver,
  connect,
  list_uninstalled,
  restore,
  batch,
  recommend,
  explain,
  list_removed,
  batch_restore,
};
enum class Box { log, name, list };

/// The kinds of message box the actions show.
enum class MessageKind {
  ok,                     // a message with one OK button
  ok_cancel,              // a question answered with OK or Cancel
  yes_no_warning,         // a warning answered with Yes or No, No the default
  yes_no_cancel_warning,  // a warning answered with Yes, No or Cancel, No the default
};
/// How the user closed a message box. Esc and the close box answer Cancel (or No).
enum class Answer { ok, cancel, yes, no };

/// The main window's controls as the actions see them. Texts are code page 936 bytes.
/// Abstract so the actions can be tested without a window; the real implementation is
/// WindowView (app/window_view.h).
class View {
 public:
  virtual ~View() = default;
  virtual void set_disabled(Button button, bool disabled) = 0;
  /// The box's whole current content, including what the user typed.
  virtual std::string read_content(Box box) = 0;
  /// Replaces the whole content; the view returns to the start.
  virtual void set_content(Box box, std::string_view text) = 0;
  /// Adds text at the end, whatever is selected, and scrolls the end into view.
  virtual void append_text(Box box, std::string_view text) = 0;
  /// Shows a modal message box with the program's caption; owned by the main window when
  /// `owned`.
  virtual Answer show_message(std::string_view text, MessageKind kind, bool owned) = 0;
  /// True once the window is gone. An action that was waiting then stops at its next step;
  /// the other operations do nothing by then.
  virtual bool closed() const = 0;
};

/// What running one command gave.
struct RunResult {
  std::string output;  // all it printed, standard output and error in order
  /// Why the command could not be started at all: the system's message and its code, in
  /// code page 936. Empty when it ran.
  std::string failure;
  bool timed_out = false;  // it ran too long and was ended
  bool truncated = false;  // it printed more than the limit; the rest was dropped
};

/// Running commands and pausing, both keeping the window's messages flowing, so another
/// action (or a close) may run to its end inside them. Abstract for the same reason as View;
/// the real implementation is WindowCommands (app/window_view.h).
class Commands {
 public:
  virtual ~Commands() = default;
  /// Runs the command line behind the command interpreter.
  virtual RunResult run(std::string_view command_line) = 0;
  virtual void wait(int milliseconds) = 0;
  /// The file name of the program that holds adb's port (TCP 5037 on 127.0.0.1), in code
  /// page 936; empty when none does, when it is our own c:\adb\adb.exe, or when the system
  /// cannot tell.
  virtual std::string adb_port_holder() = 0;
};
