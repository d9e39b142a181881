// The program's one window: a column of buttons on the left, the log, name and list boxes on
// the right. Each button's click runs its action against the window's view.
#pragma once

#include <windows.h>

#include "app/gdi.h"
#include "app/window_view.h"
#include "exec/error.h"
#include "packages/actions.h"

class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  /// Creates the window and its controls, all still invisible but for the controls that
  /// start visible. The failure when the window cannot be created.
  Failure create(HINSTANCE instance);
  void show();
  bool exists() const { return hwnd_ != nullptr && !destroyed_; }

  HWND button(Button button) const { return buttons_[static_cast<int>(button)]; }
  HWND box(Box box) const { return boxes_[static_cast<int>(box)]; }
  HWND hwnd() const { return hwnd_; }
  View& view() { return view_; }
  Commands& commands() { return commands_; }
  Session& session() { return session_; }

  /// Takes the keyboard focus from a control that is about to be disabled, keeping it on the
  /// window so Tab and Esc go on working; Tab then goes on from that control.
  void take_focus_from(HWND control);

  /// The window's own keyboard handling (Tab, Shift+Tab, Esc, Enter), applied to every
  /// message before it is dispatched, in the main loop and inside waits alike.
  static bool filter_message(MSG& message);

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void create_controls();
  void lay_out();
  void on_command(int id);
  void on_dpi_changed(UINT dpi, const RECT& suggested);
  LRESULT on_ctl_color_edit(HDC dc, HWND edit);
  bool on_activate(bool active);
  void on_destroy();
  void move_focus(bool backwards);
  bool is_multiline(HWND control) const;
  int scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

  HWND hwnd_ = nullptr;
  HWND buttons_[12] = {};
  HWND boxes_[3] = {};
  bool destroyed_ = false;
  UINT dpi_ = 96;
  HWND saved_focus_ = nullptr;
  HWND tab_anchor_ = nullptr;  // where Tab goes on from while the window itself has the focus
  GdiObject<HFONT> gui_font_, small_font_, box_font_;  // made for dpi_
  GdiObject<HBRUSH> grey_brush_;
  WindowView view_;
  WindowCommands commands_;
  Session session_;
};
