// Hints after adb's answers: adb speaks terse English, and the people who use this program
// read Chinese and are often not developers. One plain hint says what happened and what to do.
#pragma once

#include <string_view>

/// Which command the output came from: the "no device" case has one more form after
/// "adb devices", which lists no device rather than failing.
enum class HintSource { connect, other };

/// What a phone answers, since Android 17, when asked to remove a system app for one user; it
/// still lets such an app be disabled. A hint follows it only when disabling failed as well.
inline constexpr std::string_view kOnlyRootCanDelete =
    "only root can delete system app for a particular user";

/// The hint for the first case that the output matches (ASCII letters compared without
/// case), or the empty text when none does.
std::string_view hint_for(std::string_view output, HintSource source);

/// True when `text` holds `sought` starting on a character (two-byte characters are stepped
/// over as one), with ASCII letters compared without case.
bool contains_ignoring_case(std::string_view text, std::string_view sought);
