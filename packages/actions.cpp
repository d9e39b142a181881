#include "packages/actions.h"

#include "packages/critical.h"
#include "packages/hints.h"
#include "packages/messages.h"
#include "packages/text.h"
#include "payload/adb_commands.h"

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kPackageMarker = "package:";
// Longer names cannot be package names, and a command line near the interpreter's limit of
// 8,191 characters would not run at all.
constexpr size_t kMaxNameBytes = 255;

// Old phones answer through a terminal, which turns each line end into CR CR LF; the
// extra CR would otherwise stick to every package name.
std::string_view without_trailing_cr(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool ends_with_line_break(std::string_view text) {
  return text.size() >= kLineBreak.size() &&
         text.substr(text.size() - kLineBreak.size()) == kLineBreak;
}

// Why a package text must not go into a command line, as a message; empty when it may.
std::string_view refusal(std::string_view name) {
  if (!is_safe_package_text(name)) return msg::kUnsafeNameMessage;
  if (name.size() > kMaxNameBytes) return msg::kNameTooLongMessage;
  return {};
}

// The same, as the line a batch logs for an item it skips.
std::string_view skipped_line(std::string_view name) {
  if (!is_safe_package_text(name)) return msg::kUnsafeNameSkipped;
  if (name.size() > kMaxNameBytes) return msg::kNameTooLongSkipped;
  return {};
}

std::string critical_text(const CriticalPackage& package, std::string_view after) {
  std::string text(package.name);
  return text.append(msg::kCriticalBefore).append(package.what).append(after);
}

// The log lines after a command's output: the hint for what adb said, then what the runner
// had to cut short. They start on a line of their own after `before`.
std::string lines_after(const RunResult& result, std::string_view hint_text, HintSource source,
                        std::string_view before) {
  std::string lines;
  std::string_view hint = hint_for(hint_text, source);
  if (!hint.empty()) lines.append(msg::kHintPrefix).append(hint).append(kLineBreak);
  if (result.truncated) lines += msg::kTruncated;
  if (result.timed_out) lines += msg::kTimedOut;
  if (!lines.empty() && !before.empty() && !ends_with_line_break(before))
    lines.insert(0, kLineBreak);
  return lines;
}

// What the log shows for one command: its output, then the lines after it; or why it could
// not be started. `output_end` is appended to the output ("\r\n", or nothing for connect).
std::string logged_result(const RunResult& result, HintSource source, std::string_view before,
                          std::string_view output_end) {
  if (!result.failure.empty()) return concat_text(msg::kCannotRun, result.failure, kLineBreak);
  std::string text = concat_text(result.output, output_end);
  return text + lines_after(result, result.output, source, text.empty() ? before : text);
}

bool finished(const RunResult& result) { return result.failure.empty() && !result.timed_out; }

// Asks before a package the phone cannot live without is removed; true to go on.
bool confirmed_removal(View& view, std::string_view name) {
  const CriticalPackage* critical = find_critical_package(name);
  if (!critical) return true;
  return view.show_message(critical_text(*critical, msg::kCriticalQuestionAfter),
                           MessageKind::yes_no_warning, true) == Answer::yes;
}

// Runs one command on the name box's package: uninstall or restore. Returns false when
// nothing ran or the window went away meanwhile.
bool run_on_named_package(View& view, Commands& commands, Button button, bool guarded,
                          std::string_view progress, std::string_view command_prefix,
                          RunResult& result) {
  std::string name = view.read_content(Box::name);
  if (compare_bytes(name, "") == 0) {
    view.show_message(msg::kEmptyNameMessage, MessageKind::ok, false);
    return false;
  }
  if (std::string_view refused = refusal(name); !refused.empty()) {
    view.show_message(refused, MessageKind::ok, false);
    return false;
  }
  if (guarded && !confirmed_removal(view, name)) return false;
  view.set_disabled(button, true);
  view.set_content(Box::log, progress);
  result = commands.run(concat_text(command_prefix, name));
  if (view.closed()) return false;
  view.append_text(Box::log, logged_result(result, HintSource::other, progress, kLineBreak));
  view.set_disabled(button, false);
  return true;
}

}  // namespace

bool is_safe_package_text(std::string_view text) {
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == ' ';
    if (!ok) return false;
  }
  return true;
}

void list_packages(View& view, Commands& commands, Button button, std::string_view command_line) {
  view.set_disabled(button, true);
  view.set_content(Box::list, "");
  RunResult result = commands.run(command_line);
  if (view.closed()) return;
  if (!result.failure.empty()) {
    view.set_content(Box::log, logged_result(result, HintSource::other, "", ""));
    view.set_disabled(button, false);
    return;
  }

  // Package lines go to the list box; every other line is adb talking, and goes to the log.
  // The whole listing goes into the box in one append: appending line by line costs a
  // repaint and a scroll per line, which takes minutes for a few thousand packages.
  std::string listing, talk;
  listing.reserve(result.output.size());
  int n = 0;
  for (const std::string& raw : split_text(result.output, kLineBreak)) {
    std::string_view line = without_trailing_cr(raw);
    if (line.empty()) continue;
    if (line.substr(0, kPackageMarker.size()) == kPackageMarker) {
      listing.append(line.substr(kPackageMarker.size())).append(kLineBreak);
      ++n;
    } else {
      talk.append(line).append(kLineBreak);
    }
  }
  if (!listing.empty()) view.append_text(Box::list, listing);

  // The hint looks at adb's own words only: a package may be called com.x.offlinemaps.
  std::string notes = talk + lines_after(result, talk, HintSource::other, talk);
  std::string count = n > 3 ? concat_text(msg::kListCountPrefix, to_text(n)) : "";
  if (!notes.empty())
    view.set_content(Box::log, count.empty() ? notes : concat_text(count, kLineBreak, notes));
  else if (!count.empty())
    view.set_content(Box::log, count);
  view.set_disabled(button, false);
}

void filter_packages(View& view) {
  std::string filter = view.read_content(Box::name);
  if (compare_bytes(filter, "") == 0) {
    view.show_message(msg::kEmptyFilterMessage, MessageKind::ok, true);
    return;
  }
  TextArray lines = split_text(view.read_content(Box::list), kLineBreak);
  view.set_content(Box::list, "");
  std::string kept;
  int n = 0;
  for (const std::string& line : lines) {
    if (find_text(line, filter) == -1) continue;
    kept += line;
    kept += kLineBreak;
    ++n;
  }
  if (!kept.empty()) view.append_text(Box::list, kept);
  if (n > 1) view.set_content(Box::log, concat_text(msg::kFilterCountPrefix, to_text(n)));
}

void uninstall_package(View& view, Commands& commands) {
  RunResult result;
  if (run_on_named_package(view, commands, Button::uninstall, true, msg::kUninstallProgress,
                           adb::kUninstallPrefix, result) &&
      finished(result))
    view.append_text(Box::log, msg::kDone);
}

void restore_package(View& view, Commands& commands) {
  RunResult result;
  run_on_named_package(view, commands, Button::restore, false, msg::kRestoreProgress,
                       adb::kRestorePrefix, result);
}

void connect_device(View& view, Commands& commands) {
  view.set_disabled(Button::connect, true);
  view.set_content(Box::log, msg::kConnectProgress);
  RunResult result = commands.run(adb::kDevices);
  if (view.closed()) return;
  view.append_text(Box::log, logged_result(result, HintSource::connect, msg::kConnectProgress, ""));
  view.set_disabled(Button::connect, false);
}

void batch_uninstall(View& view, Commands& commands) {
  if (compare_bytes(view.read_content(Box::list), "") == 0) {
    view.show_message(msg::kEmptyListMessage, MessageKind::ok, false);
    return;
  }
  if (view.show_message(msg::kBatchQuestion, MessageKind::ok_cancel, false) != Answer::ok) return;

  view.set_content(Box::log, msg::kBatchStart);
  view.set_disabled(Button::batch, true);
  // The items are taken once: changes to the list box during the run do not change them.
  TextArray items = split_text(view.read_content(Box::list), kLineBreak);
  for (const std::string& item : items) {
    std::string progress = concat_text(msg::kBatchItemBefore, item, msg::kBatchItemAfter);
    view.append_text(Box::log, progress);
    if (std::string_view skipped = skipped_line(item); !skipped.empty()) {
      view.append_text(Box::log, skipped);
      continue;
    }
    // Packages the phone cannot live without are only removed one by one, after a question.
    if (const CriticalPackage* critical = find_critical_package(item)) {
      view.append_text(Box::log, critical_text(*critical, msg::kCriticalSkippedAfter));
      continue;
    }
    RunResult result = commands.run(concat_text(adb::kUninstallPrefix, item));
    if (view.closed()) return;
    view.append_text(Box::log, logged_result(result, HintSource::other, progress, kLineBreak));
    commands.wait(1000);
    if (view.closed()) return;
  }
  view.set_disabled(Button::batch, false);
  view.append_text(Box::log, msg::kDone);
}

void report_deploy_failure(View& view, std::string_view reason) {
  view.set_content(Box::log, concat_text(msg::kDeployFailed, reason, kLineBreak) +
                                 std::string(msg::kDeployAdvice));
}

void report_driver_failure(View& view, std::string_view reason) {
  view.show_message(concat_text(msg::kDriverFailed, reason), MessageKind::ok, true);
}
