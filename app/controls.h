// The main window's controls by role, and the ids they carry. Shared with the tests, which
// find a control by its role through these ids.
#pragma once

#include "packages/view.h"

/// The id of a button: one per role, in the order of the roles.
constexpr int control_id(Button role) { return 1001 + static_cast<int>(role); }
/// The id of an edit box.
constexpr int control_id(Box role) { return 2001 + static_cast<int>(role); }

#define MAIN_WINDOW_CLASS L"TolvexaMainWindow"
