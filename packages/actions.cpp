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
// How pm answers disable-user and enable when they worked: "Package <p> new state: disabled-user".
constexpr std::string_view kDisabledState = "new state: disabled";
constexpr std::string_view kEnabledState = "new state: enabled";
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

// True for the answers to a batch's question that let it go on.
bool goes_on(Answer answer) { return answer == Answer::yes || answer == Answer::no; }

// Why a command did not end: it could not start, or ran too long. Its output is not repeated:
// it is a listing that only decides what the action asks.
std::string unfinished_line(const RunResult& result) {
  if (!result.failure.empty()) return concat_text(msg::kCannotRun, result.failure, kLineBreak);
  return std::string(msg::kTimedOut);
}

// The name box's text when it may go into a command line; otherwise the message says why not,
// and the result is false.
bool read_package_name(View& view, std::string& name) {
  name = view.read_content(Box::name);
  if (compare_bytes(name, "") == 0) {
    view.show_message(msg::kEmptyNameMessage, MessageKind::ok, false);
    return false;
  }
  if (std::string_view refused = refusal(name); !refused.empty()) {
    view.show_message(refused, MessageKind::ok, false);
    return false;
  }
  return true;
}

// The question before a package is removed, or nothing when it needs none: one the phone cannot
// live without, one some users need, and one of the phone's own apps, which is deleted for good.
// A package that is two of these is asked about once, with both sentences.
std::string removal_question(std::string_view name, bool user_app) {
  const PackageInfo* info = find_package_info(name);
  std::string question;
  if (info && info->removal == Removal::keep)
    question = critical_text(name, *info, msg::kCriticalQuestionAfter);
  else if (info && info->removal == Removal::caution)
    question = caution_text(name, *info, msg::kCautionQuestionMiddle) + std::string(info->use) +
               std::string(kLineBreak);
  if (user_app) question += concat_text(trim_blanks(name), msg::kUserAppQuestion);
  if (!question.empty()) question += msg::kRemoveQuestion;
  return question;
}

// True when a line of adb's answer is "Success".
bool says_success(std::string_view output) {
  for (const std::string& line : split_text(output, kLineBreak))
    if (trim_blanks(without_trailing_cr(line)) == "Success") return true;
  return false;
}

enum class Outcome { removed, disabled, failed, unfinished, closed };

// Uninstalls one package for user 0 and logs adb's answer after `before`. A phone that removes
// no system app for one user still lets it be disabled: that is done instead, logged and said,
// and the session remembers it for 恢复.
Outcome remove_one(View& view, Commands& commands, Session& session, std::string_view name,
                   std::string_view before) {
  RunResult result = commands.run(concat_text(adb::kUninstallPrefix, name));
  if (view.closed()) return Outcome::closed;
  if (!finished(result) || !contains_ignoring_case(result.output, kOnlyRootCanDelete)) {
    view.append_text(Box::log,
                     logged_result(result, HintSource::other, before, kLineBreak, commands));
    if (!finished(result)) return Outcome::unfinished;
    return says_success(result.output) ? Outcome::removed : Outcome::failed;
  }
  // No hint for the refusal yet: disabling may still do.
  std::string text = concat_text(result.output, kLineBreak);
  view.append_text(Box::log, text + lines_after(result, "", HintSource::other, text, commands));
  RunResult disabled = commands.run(concat_text(adb::kDisablePrefix, name));
  if (view.closed()) return Outcome::closed;
  if (!disabled.failure.empty()) {
    view.append_text(Box::log, logged_result(disabled, HintSource::other, "", "", commands));
    return Outcome::unfinished;
  }
  bool off = contains_ignoring_case(disabled.output, kDisabledState);
  text = concat_text(disabled.output, kLineBreak);
  // The hint reads both answers: the refusal to remove and what disabling said of its own.
  text += lines_after(disabled, off ? "" : result.output + disabled.output, HintSource::other, text,
                      commands);
  if (off) {
    text += msg::kDisabledInstead;
    session.disabled_here.emplace(trim_blanks(name));
  }
  view.append_text(Box::log, text);
  if (off) return Outcome::disabled;
  return disabled.timed_out ? Outcome::unfinished : Outcome::failed;
}

// Restores one package for user 0 and logs adb's answer; then turns it on again when this
// program disabled it or the last 已卸载的 found it disabled. False when the window went away.
bool restore_one(View& view, Commands& commands, Session& session, std::string_view name,
                 std::string_view before) {
  RunResult result = commands.run(concat_text(adb::kRestorePrefix, name));
  if (view.closed()) return false;
  view.append_text(Box::log,
                   logged_result(result, HintSource::other, before, kLineBreak, commands));
  std::string key(trim_blanks(name));
  if (!finished(result) ||
      (session.disabled_here.count(key) == 0 && session.found_disabled.count(key) == 0))
    return true;
  RunResult enabled = commands.run(concat_text(adb::kEnablePrefix, name));
  if (view.closed()) return false;
  view.append_text(Box::log, logged_result(enabled, HintSource::other, "", kLineBreak, commands));
  if (contains_ignoring_case(enabled.output, kEnabledState)) {
    session.disabled_here.erase(key);
    session.found_disabled.erase(key);
  }
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

// The names of a listing, for looking them up.
std::unordered_set<std::string> name_set(const Listing& listing) {
  return {listing.names.begin(), listing.names.end()};
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

// "<package>：<Chinese name>【<class>】<what it does>", or the line for a package not known;
// for one of the phone's own apps, with the mark that it cannot be restored.
std::string explanation(std::string_view name, bool user_app) {
  const PackageInfo* info = find_package_info(name);
  std::string line;
  if (!info && !user_app) return concat_text(name, msg::kExplainUnknown, kLineBreak);
  if (!info) {
    line = concat_text(name, msg::kExplainUnknownUserApp);
  } else {
    line = concat_text(name, msg::kExplainAfterName, info->title);
    line.append(msg::kExplainClassOpen).append(removal_text(info->removal));
    line.append(msg::kExplainClassClose).append(info->use);
  }
  if (user_app) line.append(msg::kUserAppMark);
  return line.append(kLineBreak);
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

// How the batch takes an item, before anything is asked: skipped for its text, a package not
// to remove, one of the phone's own apps, one some users need, or one to remove. A package both
// a user app and one some users need counts as a user app, so it is asked about once.
enum class Kind { skipped, keep, user_app, caution, plain };

Kind kind_of(const std::string& item, const std::unordered_set<std::string>& user_apps) {
  if (!skipped_line(item).empty()) return Kind::skipped;
  const PackageInfo* info = find_package_info(item);
  if (info && info->removal == Removal::keep) return Kind::keep;
  if (user_apps.count(std::string(trim_blanks(item))) != 0) return Kind::user_app;
  if (info && info->removal == Removal::caution) return Kind::caution;
  return Kind::plain;
}

// "<name>（<Chinese name>）", or the name alone for a package not known.
std::string named(std::string_view item) {
  const PackageInfo* info = find_package_info(item);
  if (!info) return std::string(trim_blanks(item));
  return caution_text(item, *info, msg::kCautionClose);
}

// The batch's question about the items of one kind: "列表里有 n 个" and `after_count`, the first
// names, the choices. How the user answered, or yes when there are none.
Answer ask_about(View& view, const TextArray& items, const std::vector<Kind>& kinds, Kind kind,
                 std::string_view after_count) {
  constexpr int kNamesShown = 10;
  std::string names;
  int n = 0;
  for (size_t i = 0; i < items.size(); ++i)
    if (kinds[i] == kind && ++n <= kNamesShown) names += named(items[i]) + std::string(kLineBreak);
  if (n == 0) return Answer::yes;
  std::string question = concat_text(msg::kCautionBatchBefore, to_text(n), after_count) + names;
  if (n > kNamesShown)
    question += concat_text(msg::kCautionBatchMore, to_text(n), msg::kCautionBatchMoreAfter);
  question += msg::kCautionBatchChoices;
  return view.show_message(question, MessageKind::yes_no_cancel_warning, true);
}

// Before the batch's first uninstall, with its button disabled: asks the phone which are its own
// apps, takes each item's kind, and asks about those some users need and about user apps. False
// when the batch stops here: the window went away, the phone could not be asked (that is told),
// or the user chose Cancel.
bool plan_batch(View& view, Commands& commands, const TextArray& items, std::vector<Kind>& kinds,
                Answer& caution, Answer& user) {
  view.set_disabled(Button::batch, true);
  RunResult users = commands.run(adb::kListUserPackages);
  if (view.closed()) return false;
  if (!finished(users)) view.set_content(Box::log, unfinished_line(users));
  std::unordered_set<std::string> user_apps = name_set(read_listing(users.output));
  for (const std::string& item : items) kinds.push_back(kind_of(item, user_apps));
  if (finished(users))
    caution = ask_about(view, items, kinds, Kind::caution, msg::kCautionBatchAfterCount);
  if (goes_on(caution))
    user = ask_about(view, items, kinds, Kind::user_app, msg::kUserAppBatchAfterCount);
  if (goes_on(user)) return true;
  view.set_disabled(Button::batch, false);
  return false;
}

// The line for an item the batch does not remove, or nothing when it removes it.
std::string skip_text(const std::string& item, Kind kind, Answer caution, Answer user_apps) {
  const PackageInfo* info = find_package_info(item);
  switch (kind) {
    case Kind::skipped: return std::string(skipped_line(item));
    case Kind::keep: return critical_text(item, *info, msg::kCriticalSkippedAfter);
    case Kind::user_app:
      if (user_apps == Answer::no) return concat_text(trim_blanks(item), msg::kUserAppSkippedAfter);
      return {};
    case Kind::caution:
      if (caution == Answer::no) return caution_text(item, *info, msg::kCautionSkippedAfter);
      return {};
    case Kind::plain: return {};
  }
  return {};
}

// "共 n 个：卸载了 a 个，停用了 b 个，跳过 c 个，没有成功 d 个。"
std::string batch_count(int items, const int (&by_outcome)[3], int skipped) {
  std::string line = concat_text(msg::kBatchCountBefore, to_text(items), msg::kBatchCountRemoved);
  line += concat_text(to_text(by_outcome[0]), msg::kBatchCountDisabled, to_text(by_outcome[1]));
  line += concat_text(msg::kBatchCountSkipped, to_text(skipped), msg::kBatchCountFailed);
  return line + concat_text(to_text(by_outcome[2]), msg::kBatchCountEnd);
}

// 已卸载的's list: the packages of the full listing that the installed one lacks (when that one is
// whole), then the disabled ones, each once, in the phone's order; and adb's talk of all three.
// `removed` is how many of the first kind there are.
Listing removed_then_disabled(const Listing& with, const Listing& without, const Listing& off,
                              bool whole, int& removed) {
  Listing shown;
  shown.talk = with.talk + without.talk + off.talk;
  // Each name goes into the set as it is taken, so a name listed twice is taken once.
  std::unordered_set<std::string> present = name_set(without);
  if (whole)
    for (const std::string& name : with.names)
      if (present.insert(name).second) shown.names.push_back(name);
  removed = static_cast<int>(shown.names.size());
  std::unordered_set<std::string> listed = name_set(shown);
  for (const std::string& name : off.names)
    if (listed.insert(name).second) shown.names.push_back(name);
  return shown;
}

// "已卸载 a 个、已停用 b 个应用，…" and, for more than three, the summary by class.
std::string removed_count(const std::vector<std::string>& names, int removed) {
  int n = static_cast<int>(names.size());
  std::string said =
      concat_text(msg::kRemovedCountBefore, to_text(removed), msg::kRemovedCountMiddle) +
      concat_text(to_text(n - removed), msg::kRemovedCountAfter);
  if (n > 3) said += concat_text(kLineBreak, summary_line(names));
  return said;
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
  // The system's packages only: the phone's own apps are never recommended, and removing one
  // would delete it for good.
  if (!run_listing(view, commands, Button::recommend, adb::kListSystemPackages, result)) return;
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

void list_removed_packages(View& view, Commands& commands, Session& session) {
  RunResult all, installed, disabled;
  if (!run_listing(view, commands, Button::list_removed, adb::kListAllPackages, all)) return;
  // False when the window went away or the command could not run; that is then told.
  auto run_next = [&](std::string_view command_line, RunResult& result) {
    result = commands.run(command_line);
    if (view.closed()) return false;
    if (result.failure.empty()) return true;
    view.set_content(Box::log, logged_result(result, HintSource::other, "", "", commands));
    view.set_disabled(Button::list_removed, false);
    return false;
  };
  Listing with = read_listing(all.output), without, off;
  // A phone that lists no package at all is not there: the other listings would only say so
  // again.
  if (!with.names.empty()) {
    if (!run_next(adb::kListPackages, installed) || !run_next(adb::kListDisabledPackages, disabled))
      return;
    without = read_listing(installed.output);
    off = read_listing(disabled.output);
    if (!disabled.timed_out) session.found_disabled = {off.names.begin(), off.names.end()};
  }
  // Only a whole listing of what is installed can tell what is not: one that was cut short,
  // or a phone that went away between the commands, would make everything look removed.
  bool whole = !without.names.empty() && !installed.timed_out && !installed.truncated;
  int removed = 0;
  Listing shown = removed_then_disabled(with, without, off, whole, removed);
  if (!shown.names.empty()) view.append_text(Box::list, as_lines(shown.names));
  std::string said;
  if (!shown.names.empty())
    said = removed_count(shown.names, removed);
  else if (whole)
    said = msg::kRemovedNone;
  RunResult each = all;
  each.timed_out = all.timed_out || installed.timed_out || disabled.timed_out;
  each.truncated = all.truncated || installed.truncated || disabled.truncated;
  finish_listing(view, commands, Button::list_removed, each, shown, said);
}

void batch_restore(View& view, Commands& commands, Session& session) {
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
    if (!restore_one(view, commands, session, item, progress)) return;
  }
  view.set_disabled(Button::batch_restore, false);
  view.append_text(Box::log, msg::kDone);
}

void explain_packages(View& view, Commands& commands) {
  std::vector<std::string> names;
  for (const std::string& line : split_text(view.read_content(Box::list), kLineBreak)) {
    std::string_view name = trim_blanks(without_trailing_cr(line));
    if (!name.empty()) names.emplace_back(name);
  }
  if (names.empty()) {
    std::string name = view.read_content(Box::name);
    if (!trim_blanks(name).empty()) names.emplace_back(trim_blanks(name));
  }
  if (names.empty()) {
    view.show_message(msg::kExplainNothingMessage, MessageKind::ok, true);
    return;
  }
  view.set_disabled(Button::explain, true);
  RunResult users = commands.run(adb::kListUserPackages);
  if (view.closed()) return;
  Listing listing = read_listing(users.output);
  // Without a phone the command fails or adb only talks; an empty answer is a phone without
  // apps of its own.
  bool asked = finished(users) && (!listing.names.empty() || listing.talk.empty());
  std::unordered_set<std::string> user_apps;
  if (asked) user_apps = name_set(listing);
  std::string text;
  for (const std::string& name : names) text += explanation(name, user_apps.count(name) != 0);
  if (!asked) text += msg::kExplainNoPhone;
  std::string log = view.read_content(Box::log);
  if (!log.empty() && !ends_with_line_break(log)) text.insert(0, kLineBreak);
  view.append_text(Box::log, text);
  view.set_disabled(Button::explain, false);
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

void uninstall_package(View& view, Commands& commands, Session& session) {
  std::string name;
  if (!read_package_name(view, name)) return;
  view.set_disabled(Button::uninstall, true);
  // The phone tells which apps are its own: removing one deletes it for good, so it is asked
  // about first. After No the log is as it was: nothing happened.
  RunResult users = commands.run(adb::kListUserPackages);
  if (view.closed()) return;
  if (!finished(users)) {
    view.set_content(Box::log, concat_text(msg::kUninstallProgress, unfinished_line(users)));
    view.set_disabled(Button::uninstall, false);
    return;
  }
  bool user_app = name_set(read_listing(users.output)).count(std::string(trim_blanks(name))) != 0;
  std::string question = removal_question(name, user_app);
  if (!question.empty() &&
      view.show_message(question, MessageKind::yes_no_warning, true) != Answer::yes) {
    view.set_disabled(Button::uninstall, false);
    return;
  }
  view.set_content(Box::log, msg::kUninstallProgress);
  Outcome outcome = remove_one(view, commands, session, name, msg::kUninstallProgress);
  if (outcome == Outcome::closed) return;
  view.set_disabled(Button::uninstall, false);
  if (outcome != Outcome::unfinished) view.append_text(Box::log, msg::kDone);
}

void restore_package(View& view, Commands& commands, Session& session) {
  std::string name;
  if (!read_package_name(view, name)) return;
  view.set_disabled(Button::restore, true);
  view.set_content(Box::log, msg::kRestoreProgress);
  if (restore_one(view, commands, session, name, msg::kRestoreProgress))
    view.set_disabled(Button::restore, false);
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

void batch_uninstall(View& view, Commands& commands, Session& session) {
  if (compare_bytes(view.read_content(Box::list), "") == 0) {
    view.show_message(msg::kEmptyListMessage, MessageKind::ok, false);
    return;
  }
  if (view.show_message(msg::kBatchQuestion, MessageKind::ok_cancel, false) != Answer::ok) return;
  // The items are taken once: changes to the list box during the run do not change them.
  TextArray items = split_text(view.read_content(Box::list), kLineBreak);
  std::vector<Kind> kinds;
  Answer caution = Answer::cancel, user = Answer::cancel;
  if (!plan_batch(view, commands, items, kinds, caution, user)) return;

  view.set_content(Box::log, msg::kBatchStart);
  int by_outcome[3] = {}, skipped = 0;  // removed, disabled, failed or unfinished
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    std::string progress = concat_text(msg::kBatchItemBefore, item, msg::kBatchItemAfter);
    view.append_text(Box::log, progress);
    // Packages the phone cannot live without are only removed one by one, after a question;
    // those some users need, and user apps, when the user said so.
    if (std::string skip = skip_text(item, kinds[i], caution, user); !skip.empty()) {
      view.append_text(Box::log, skip);
      ++skipped;
      continue;
    }
    Outcome outcome = remove_one(view, commands, session, item, progress);
    if (outcome == Outcome::closed) return;
    ++by_outcome[outcome == Outcome::removed ? 0 : outcome == Outcome::disabled ? 1 : 2];
    commands.wait(1000);
    if (view.closed()) return;
  }
  view.set_disabled(Button::batch, false);
  view.append_text(Box::log, std::string(msg::kDone) +
                                 batch_count(static_cast<int>(items.size()), by_outcome, skipped));
}

void report_deploy_failure(View& view, std::string_view reason) {
  view.set_content(Box::log, concat_text(msg::kDeployFailed, reason, kLineBreak) +
                                 std::string(msg::kDeployAdvice));
}

void report_driver_failure(View& view, std::string_view reason) {
  view.show_message(concat_text(msg::kDriverFailed, reason), MessageKind::ok, true);
}
