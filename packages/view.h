// What the button actions need from the window and the platform: five operations on the
// window's controls, and running a command or pausing while the window stays live.
#pragma once

#include <string>
#include <string_view>

enum class Button { connect, driver, uninstall, restore, filter, list_all, list_uninstalled, batch };
enum class Box { log, name, list };

/// Message box button styles.
inline constexpr unsigned kStyleOk = 0;
inline constexpr unsigned kStyleOkCancel = 1;

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
  /// Shows a modal message box with the default caption; owned by the main window when
  /// `owned`. Returns 0 for OK, 1 for Cancel (the platform's result minus one).
  virtual int show_message(std::string_view text, unsigned style, bool owned) = 0;
  /// True once the window is gone. An action that was waiting then stops at its next step;
  /// the other operations do nothing by then.
  virtual bool closed() const = 0;
};

/// Running commands and pausing, both keeping the window's messages flowing, so another
/// action (or a close) may run to its end inside them. Abstract for the same reason as View;
/// the real implementation is WindowCommands (app/window_view.h).
class Commands {
 public:
  virtual ~Commands() = default;
  /// Runs the command line behind the command interpreter and returns all it printed.
  virtual std::string run(std::string_view command_line) = 0;
  virtual void wait(int milliseconds) = 0;
};
