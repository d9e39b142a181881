#include "app/window_view.h"

#include "app/encoding.h"
#include "app/main_window.h"
#include "exec/runner.h"
#include "exec/wait.h"

bool WindowView::closed() const { return !window_.exists(); }

void WindowView::set_disabled(Button button, bool disabled) {
  if (closed()) return;
  HWND control = window_.button(button);
  // A button that disables itself would take the focus with it; the window keeps it so
  // that Tab and Esc go on working.
  if (disabled && GetFocus() == control) SetFocus(window_.hwnd());
  EnableWindow(control, !disabled);
}

std::string WindowView::read_content(Box box) {
  if (closed()) return {};
  HWND edit = window_.box(box);
  std::wstring text(GetWindowTextLengthW(edit) + 1, L'\0');
  text.resize(GetWindowTextW(edit, text.data(), static_cast<int>(text.size())));
  return narrow(text);
}

void WindowView::set_content(Box box, std::string_view text) {
  if (closed()) return;
  SetWindowTextW(window_.box(box), widen(text).c_str());
}

void WindowView::append_text(Box box, std::string_view text) {
  if (closed()) return;
  HWND edit = window_.box(box);
  int end = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, end, end);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

int WindowView::show_message(std::string_view text, unsigned style, bool owned) {
  HWND owner = owned && !closed() ? window_.hwnd() : nullptr;
  if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
  int result = MessageBoxW(owner, widen(text).c_str(), L"信息：", style);
  return result >= IDOK && result <= IDNO ? result - 1 : 0;
}

std::string WindowCommands::run(std::string_view command_line) {
  return run_captured(command_line);
}

void WindowCommands::wait(int milliseconds) { responsive_wait(milliseconds); }
