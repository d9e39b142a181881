// The view and command operations of the actions, carried out on the real window.
#pragma once

#include <windows.h>

#include "exec/runner.h"
#include "packages/view.h"

class MainWindow;

/// View over the main window's controls. After the window is destroyed every operation
/// does nothing and closed() is true, so an action that was waiting ends quietly.
class WindowView : public View {
 public:
  explicit WindowView(MainWindow& window) : window_(window) {}
  void set_disabled(Button button, bool disabled) override;
  std::string read_content(Box box) override;
  void set_content(Box box, std::string_view text) override;
  void append_text(Box box, std::string_view text) override;
  Answer show_message(std::string_view text, MessageKind kind, bool owned) override;
  bool closed() const override;

 private:
  MainWindow& window_;  // not owned
};

/// Runs commands with the captured runner and pauses with the responsive wait. Once the
/// window is gone it ends the command it waits for, so the program can end at once.
class WindowCommands : public Commands {
 public:
  explicit WindowCommands(const View& view);
  RunResult run(std::string_view command_line) override;
  void wait(int milliseconds) override;
  std::string adb_port_holder() override;

 private:
  const View& view_;  // not owned
  RunLimits limits_;
};
