// Plays the user of the real Tolvexa.exe from another process of the same Wine prefix: starts it,
// finds its window and controls, clicks, types, presses keys, answers its message boxes and watches
// it end. Clicks and keys are posted, never sent: the program's actions run nested message loops,
// and a sent message would block until they finish.
#pragma once

#include <windows.h>

#include "app/controls.h"
#include "exec/handle.h"
#include "tests/windows/support.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

/// A control of the program's window, named by its role.
struct Control {
  Control(Button role) : id(control_id(role)) {}  // NOLINT: roles convert implicitly
  Control(Box role) : id(control_id(role)) {}     // NOLINT
  int id;
};

using support::Environment;

/// Ends every process of this prefix running the given image, and waits for each to end.
void kill_processes_named(const std::wstring& image_name);

struct Output {
  std::string text;  // standard output and error, as bytes
  DWORD exit_code = 0;
  bool started = false;
};
/// Runs a program to its end with its output captured through a pipe.
Output run_program(const std::wstring& command_line, const Environment& environment = {});

/// The lines of a text split at CR LF, the last line's terminator optional.
std::vector<std::wstring> split_lines(const std::wstring& text);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;
  bool has_ok = false;
  bool has_cancel = false;
  bool has_yes = false;
  bool has_no = false;
  int default_button = 0;  // the id of the button drawn as the default, which Enter presses
};

/// Top-level message boxes (dialogs of class "#32770") of a process.
std::vector<HWND> message_boxes_of(DWORD process_id);
MessageBoxInfo describe_message_box(HWND box);

/// One running Tolvexa.exe.
class App {
 public:
  /// Starts the program (a Windows path) with the extra environment and waits for its main
  /// window to show.
  explicit App(const std::wstring& exe, const Environment& environment = {});
  /// Ends the program if it still runs.
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  /// False when the program could not be started or its window did not show; see error().
  bool ready() const { return window_ != nullptr; }
  const std::string& error() const { return error_; }

  HWND window() const { return window_; }
  HANDLE process() const { return process_.get(); }
  HWND control(Control c) const;

  /// The text of a window of the program, read with WM_GETTEXT.
  std::wstring text_of(HWND hwnd) const;
  std::wstring text(Control c) const { return text_of(control(c)); }
  /// Replaces a box's text with WM_SETTEXT, as typing it would.
  void set_text(Control c, const std::wstring& text);
  bool enabled(Control c) const;
  bool visible(Control c) const;
  LONG style(Control c) const;
  /// The control's rectangle in the main window's client coordinates.
  RECT rect_in_client(Control c) const;

  /// Clicks an enabled button by posting BM_CLICK; false when it is disabled or missing.
  bool click(Control button);

  /// The control that has the keyboard focus in the program's thread, or null.
  HWND focus() const;
  /// Posts a key press and release to the focused control (the main window when none has
  /// the focus). The program filters keys in its message loop, so posted keys reach it.
  void press_key(WORD key);
  /// Shift+key: Shift is held in the program's key state until the condition holds or the
  /// time is up. True when the condition held.
  bool press_shifted_key(WORD key, const std::function<bool()>& until, int timeout_ms);

  bool wait_text(Control box, const std::function<bool(const std::wstring&)>& condition,
                 int timeout_ms, std::wstring* last = nullptr);
  bool wait_enabled(Control button, bool enabled, int timeout_ms);

  /// The program's open message boxes, remembered for boxes_seen().
  std::vector<HWND> message_boxes();
  /// Waits for a message box of the program to show.
  bool wait_message_box(MessageBoxInfo& info, int timeout_ms);
  /// Answers a message box with IDOK or IDCANCEL and waits for it to close.
  bool answer(HWND box, int button_id, int timeout_ms = 5000);
  /// Texts of every message box of the program seen so far, by any of the calls above.
  const std::vector<std::wstring>& boxes_seen() const { return boxes_seen_; }

  /// Posts WM_CLOSE to the main window.
  void close();
  /// Waits for the process to end, watching for message boxes meanwhile; true when it
  /// ended, with its exit code.
  bool wait_exit(int timeout_ms, DWORD* exit_code);

 private:
  void note_boxes(const std::vector<HWND>& boxes);

  Handle process_;
  DWORD process_id_ = 0;
  HWND window_ = nullptr;
  DWORD thread_id_ = 0;
  std::string error_;
  std::vector<HWND> noted_;
  std::vector<std::wstring> boxes_seen_;
};

}  // namespace e2e
