// The main window's controls by role, and the ids they carry. Shared with the tests, which
// find a control by its role through these ids.
#pragma once

#include "packages/view.h"

/// The id of a button: 1001 to 1008 for 按钮1 to 按钮8.
constexpr int control_id(Button role) { return 1001 + static_cast<int>(role); }
/// The id of an edit box: 2001 to 2003 for 编辑框1 to 编辑框3.
constexpr int control_id(Box role) { return 2001 + static_cast<int>(role); }

#define MAIN_WINDOW_CLASS L"TolvexaMainWindow"
