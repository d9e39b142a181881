#include "packages/actions.h"

#include <unordered_set>
#include <vector>

#include "packages/hints.h"
#include "packages/messages.h"
#include "packages/package_info.h"
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

// "<name> 是手机的关键组件（<Chinese name>" and what follows, for a package not to remove.
std::string critical_text(std::string_view name, const PackageInfo& info, std::string_view after) {
  return concat_text(trim_blanks(name), msg::kCriticalBefore, info.title) + std::string(after);
}

// "<name>（<Chinese name>" and what follows, for a package some users need.
std::string caution_text(std::string_view name, const PackageInfo& info, std::string_view after) {
  return concat_text(trim_blanks(name), msg::kCautionOpen, info.title) + std::string(after);
}

Removal removal_of(std::string_view name, Removal unknown) {
  const PackageInfo* info = find_package_info(name);
  return info ? info->removal : unknown;
}

// The hint for what adb said, on a line of its own; for another adb on the PC, with the name
// of the program that holds the port when the system tells it.
std::string hint_line(std::string_view output, HintSource source, Commands& commands) {
  std::string_view hint = hint_for(output, source);
  if (hint.empty()) return {};
  std::string line = concat_text(msg::kHintPrefix, hint);
  if (hint == msg::kHintOtherAdb) {
    std::string holder = commands.adb_port_holder();
    if (!holder.empty())
      line += concat_text(msg::kHintOtherAdbHolderBefore, holder, msg::kHintOtherAdbHolderAfter);
    line += msg::kHintOtherAdbAdvice;
  }
  return line.append(kLineBreak);
}

// The log lines after a command's output: the hint for what adb said, then what the runner
// had to cut short. They start on a line of their own after `before`.
std::string lines_after(const RunResult& result, std::string_view hint_text, HintSource source,
                        std::string_view before, Commands& commands) {
  std::string lines = hint_line(hint_text, source, commands);
  if (result.truncated) lines += msg::kTruncated;
  if (result.timed_out) lines += msg::kTimedOut;
  if (!lines.empty() && !before.empty() && !ends_with_line_break(before))
    lines.insert(0, kLineBreak);
  return lines;
}

// What the log shows for one command: its output, then the lines after it; or why it could
// not be started. `output_end` is appended to the output ("\r\n", or nothing for connect).
std::string logged_result(const RunResult& result, HintSource source, std::string_view before,
                          std::string_view output_end, Commands& commands) {
  if (!result.failure.empty()) return concat_text(msg::kCannotRun, result.failure, kLineBreak);
  std::string text = concat_text(result.output, output_end);
  return text + lines_after(result, result.output, source, text.empty() ? before : text, commands);
}

bool finished(const RunResult& result) { return result.failure.empty() && !result.timed_out; }

// Asks before a package the phone cannot live without, or one that some users need, is
// removed; true to go on.
bool confirmed_removal(View& view, std::string_view name) {
  const PackageInfo* info = find_package_info(name);
  std::string question;
  if (info && info->removal == Removal::keep)
    question = critical_text(name, *info, msg::kCriticalQuestionAfter);
  else if (info && info->removal == Removal::caution)
    question = caution_text(name, *info, msg::kCautionQuestionMiddle) + std::string(info->use) +
               std::string(msg::kCautionQuestionAfter);
  else
    return true;
  return view.show_message(question, MessageKind::yes_no_warning, true) == Answer::yes;
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
  view.append_text(Box::log,
                   logged_result(result, HintSource::other, progress, kLineBreak, commands));
  view.set_disabled(button, false);
  return true;
}

// A listing as adb printed it: the package names in the phone's order, and every other
// line, which is adb talking.
struct Listing {
  std::vector<std::string> names;
  std::string talk;
};

Listing read_listing(std::string_view output) {
  Listing listing;
  for (const std::string& raw : split_text(output, kLineBreak)) {
    std::string_view line = without_trailing_cr(raw);
    if (line.empty()) continue;
    if (line.substr(0, kPackageMarker.size()) == kPackageMarker)
      listing.names.emplace_back(line.substr(kPackageMarker.size()));
    else
      listing.talk.append(line).append(kLineBreak);
  }
  return listing;
}

// Disables the button, empties the list box and runs the listing command. False when the
// window went away or the command could not run; that is then told.
bool run_listing(View& view, Commands& commands, Button button, std::string_view command_line,
                 RunResult& result) {
  view.set_disabled(button, true);
  view.set_content(Box::list, "");
  result = commands.run(command_line);
  if (view.closed()) return false;
  if (result.failure.empty()) return true;
  view.set_content(Box::log, logged_result(result, HintSource::other, "", "", commands));
  view.set_disabled(button, false);
  return false;
}

// Sets the log to the action's own lines, then adb's talk and the hint for it; leaves the log
// as it was when there is nothing to say. Enables the button again.
void finish_listing(View& view, Commands& commands, Button button, const RunResult& result,
                    const Listing& listing, std::string_view said) {
  // The hint looks at adb's own words only: a package may be called com.x.offlinemaps.
  std::string notes =
      listing.talk + lines_after(result, listing.talk, HintSource::other, listing.talk, commands);
  if (!notes.empty())
    view.set_content(Box::log, said.empty() ? notes : concat_text(said, kLineBreak, notes));
  else if (!said.empty())
    view.set_content(Box::log, said);
  view.set_disabled(button, false);
}

// "其中建议卸载 a 个，可以卸载 b 个，谨慎 c 个，不要卸载 d 个，未收录 e 个。"
std::string summary_line(const std::vector<std::string>& names) {
  int counts[5] = {};  // by Removal, then the unknown ones
  for (const std::string& name : names) {
    const PackageInfo* info = find_package_info(name);
    ++counts[info ? static_cast<int>(info->removal) : 4];
  }
  std::string line(msg::kSummaryRecommended);
  const std::string_view after[] = {msg::kSummaryOptional, msg::kSummaryCaution, msg::kSummaryKeep,
                                    msg::kSummaryUnknown, msg::kSummaryEnd};
  for (int i = 0; i < 5; ++i) line.append(to_text(counts[i])).append(after[i]);
  return line;
}

// The count line of a listing and the summary by class after it; nothing for three packages
// or fewer, as a listing has always logged no count for them.
std::string count_and_summary(const std::vector<std::string>& names) {
  int n = static_cast<int>(names.size());
  if (n <= 3) return {};
  return concat_text(msg::kListCountPrefix, to_text(n), kLineBreak) + summary_line(names);
}

// The names in `names` joined by line breaks, each followed by one.
std::string as_lines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text.append(name).append(kLineBreak);
  return text;
}

// "<package>：<Chinese name>【<class>】<what it does>", or the line for a package not known.
std::string explanation(std::string_view name) {
  const PackageInfo* info = find_package_info(name);
  if (!info) return concat_text(name, msg::kExplainUnknown, kLineBreak);
  std::string line = concat_text(name, msg::kExplainAfterName, info->title);
  line.append(msg::kExplainClassOpen).append(removal_text(info->removal));
  return line.append(msg::kExplainClassClose).append(info->use).append(kLineBreak);
}

bool has_wide_bytes(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// True when the package on the line is known and its Chinese name or description holds
// `sought`.
bool described_by(std::string_view line, std::string_view sought) {
  const PackageInfo* info = find_package_info(without_trailing_cr(line));
  return info && (find_text(info->title, sought) != -1 || find_text(info->use, sought) != -1);
}

// The batch's question about the packages that some users need; how the user answered, or
// yes when there are none. Safe names only: the others are skipped anyway.
Answer ask_about_caution(View& view, const TextArray& items) {
  constexpr int kNamesShown = 10;
  std::string names;
  int n = 0;
  for (const std::string& item : items) {
    if (!skipped_line(item).empty()) continue;
    const PackageInfo* info = find_package_info(item);
    if (!info || info->removal != Removal::caution) continue;
    if (++n <= kNamesShown)
      names += caution_text(item, *info, msg::kCautionClose) + std::string(kLineBreak);
  }
  if (n == 0) return Answer::yes;
  std::string question =
      concat_text(msg::kCautionBatchBefore, to_text(n), msg::kCautionBatchAfterCount) + names;
  if (n > kNamesShown)
    question += concat_text(msg::kCautionBatchMore, to_text(n), msg::kCautionBatchMoreAfter);
  question += msg::kCautionBatchChoices;
  return view.show_message(question, MessageKind::yes_no_cancel_warning, true);
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
  RunResult result;
  if (!run_listing(view, commands, button, command_line, result)) return;
  Listing listing = read_listing(result.output);
  // The whole listing goes into the box in one append: appending line by line costs a
  // repaint and a scroll per line, which takes minutes for a few thousand packages.
  if (!listing.names.empty()) view.append_text(Box::list, as_lines(listing.names));
  finish_listing(view, commands, button, result, listing, count_and_summary(listing.names));
}

void recommend_packages(View& view, Commands& commands) {
  RunResult result;
  if (!run_listing(view, commands, Button::recommend, adb::kListPackages, result)) return;
  Listing listing = read_listing(result.output);
  std::vector<std::string> chosen;
  for (const std::string& name : listing.names)
    if (removal_of(name, Removal::keep) == Removal::recommended) chosen.push_back(name);
  if (!chosen.empty()) view.append_text(Box::list, as_lines(chosen));
  // A listing without any package is a failure that adb's own lines and the hint tell.
  std::string said;
  if (!chosen.empty())
    said = concat_text(msg::kRecommendCountBefore, to_text(static_cast<int>(chosen.size())),
                       msg::kRecommendCountAfter);
  else if (!listing.names.empty())
    said = msg::kRecommendNone;
  finish_listing(view, commands, Button::recommend, result, listing, said);
}

void list_removed_packages(View& view, Commands& commands) {
  RunResult all;
  if (!run_listing(view, commands, Button::list_removed, adb::kListAllPackages, all)) return;
  RunResult installed = commands.run(adb::kListPackages);
  if (view.closed()) return;
  if (!installed.failure.empty()) {
    view.set_content(Box::log, logged_result(installed, HintSource::other, "", "", commands));
    view.set_disabled(Button::list_removed, false);
    return;
  }
  Listing with = read_listing(all.output), without = read_listing(installed.output);
  Listing removed;
  removed.talk = with.talk + without.talk;
  // Only a whole listing of what is installed can tell what is not: one that was cut short,
  // or a phone that went away between the two commands, would make everything look removed.
  bool whole = !without.names.empty() && !installed.timed_out && !installed.truncated;
  if (whole) {
    // Each name goes into the set as it is taken, so a name listed twice is taken once.
    std::unordered_set<std::string> present(without.names.begin(), without.names.end());
    for (const std::string& name : with.names)
      if (present.insert(name).second) removed.names.push_back(name);
  }
  if (!removed.names.empty()) view.append_text(Box::list, as_lines(removed.names));
  std::string said = count_and_summary(removed.names);
  if (removed.names.empty() && whole) said = msg::kRemovedNone;
  RunResult both = all;
  both.timed_out = all.timed_out || installed.timed_out;
  both.truncated = all.truncated || installed.truncated;
  finish_listing(view, commands, Button::list_removed, both, removed, said);
}

void batch_restore(View& view, Commands& commands) {
  if (compare_bytes(view.read_content(Box::list), "") == 0) {
    view.show_message(msg::kEmptyListMessage, MessageKind::ok, false);
    return;
  }
  if (view.show_message(msg::kBatchRestoreQuestion, MessageKind::ok_cancel, false) != Answer::ok)
    return;
  view.set_content(Box::log, msg::kBatchRestoreStart);
  view.set_disabled(Button::batch_restore, true);
  for (const std::string& item : split_text(view.read_content(Box::list), kLineBreak)) {
    std::string progress = concat_text(msg::kRestoreItemBefore, item, msg::kBatchItemAfter);
    view.append_text(Box::log, progress);
    if (std::string_view skipped = skipped_line(item); !skipped.empty()) {
      view.append_text(Box::log, skipped);
      continue;
    }
    RunResult result = commands.run(concat_text(adb::kRestorePrefix, item));
    if (view.closed()) return;
    view.append_text(Box::log,
                     logged_result(result, HintSource::other, progress, kLineBreak, commands));
  }
  view.set_disabled(Button::batch_restore, false);
  view.append_text(Box::log, msg::kDone);
}

void explain_packages(View& view) {
  TextArray lines = split_text(view.read_content(Box::list), kLineBreak);
  std::string text;
  for (const std::string& line : lines) {
    std::string_view name = trim_blanks(without_trailing_cr(line));
    if (!name.empty()) text += explanation(name);
  }
  if (text.empty()) {
    std::string name = view.read_content(Box::name);
    if (!trim_blanks(name).empty()) text = explanation(trim_blanks(name));
  }
  if (text.empty()) {
    view.show_message(msg::kExplainNothingMessage, MessageKind::ok, true);
    return;
  }
  std::string log = view.read_content(Box::log);
  if (!log.empty() && !ends_with_line_break(log)) text.insert(0, kLineBreak);
  view.append_text(Box::log, text);
}

void filter_packages(View& view) {
  std::string filter = view.read_content(Box::name);
  if (compare_bytes(filter, "") == 0) {
    view.show_message(msg::kEmptyFilterMessage, MessageKind::ok, true);
    return;
  }
  // A Chinese filter also finds packages by what they are: "广告" the advertising services.
  bool by_description = has_wide_bytes(filter);
  TextArray lines = split_text(view.read_content(Box::list), kLineBreak);
  view.set_content(Box::list, "");
  std::string kept;
  int n = 0;
  for (const std::string& line : lines) {
    if (find_text(line, filter) == -1 && !(by_description && described_by(line, filter))) continue;
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
  view.append_text(Box::log,
                   logged_result(result, HintSource::connect, msg::kConnectProgress, "", commands));
  view.set_disabled(Button::connect, false);
}

void batch_uninstall(View& view, Commands& commands) {
  if (compare_bytes(view.read_content(Box::list), "") == 0) {
    view.show_message(msg::kEmptyListMessage, MessageKind::ok, false);
    return;
  }
  if (view.show_message(msg::kBatchQuestion, MessageKind::ok_cancel, false) != Answer::ok) return;
  // The items are taken once: changes to the list box during the run do not change them.
  TextArray items = split_text(view.read_content(Box::list), kLineBreak);
  Answer caution = ask_about_caution(view, items);
  if (caution != Answer::yes && caution != Answer::no) return;

  view.set_content(Box::log, msg::kBatchStart);
  view.set_disabled(Button::batch, true);
  for (const std::string& item : items) {
    std::string progress = concat_text(msg::kBatchItemBefore, item, msg::kBatchItemAfter);
    view.append_text(Box::log, progress);
    if (std::string_view skipped = skipped_line(item); !skipped.empty()) {
      view.append_text(Box::log, skipped);
      continue;
    }
    // Packages the phone cannot live without are only removed one by one, after a question;
    // those some users need, when the user said so.
    const PackageInfo* info = find_package_info(item);
    if (info && info->removal == Removal::keep) {
      view.append_text(Box::log, critical_text(item, *info, msg::kCriticalSkippedAfter));
      continue;
    }
    if (info && info->removal == Removal::caution && caution == Answer::no) {
      view.append_text(Box::log, caution_text(item, *info, msg::kCautionSkippedAfter));
      continue;
    }
    RunResult result = commands.run(concat_text(adb::kUninstallPrefix, item));
    if (view.closed()) return;
    view.append_text(Box::log,
                     logged_result(result, HintSource::other, progress, kLineBreak, commands));
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
