// Fuzz target for the button actions, run against FakeView and FakeCommands. Input: byte 0
// is where the rest splits into the name box's text and the list box's text; the whole rest
// is also the output of the listing commands, the phone's list of its own apps among them.
// Each action's result is compared with a model built on model.h, and every command line that
// runs must hold, after its fixed prefix, nothing but the bytes a package name can have.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "packages/actions.h"
#include "packages/hints.h"
#include "packages/messages.h"
#include "packages/package_info.h"
#include "tests/fuzz/model.h"
#include "tests/native/fakes.h"

namespace {

const std::string kListCommand = "c:\\adb\\adb.exe shell pm list packages";
const std::string kUserAppsCommand = "c:\\adb\\adb.exe shell pm list packages -3";
const std::string kUninstallPrefix = "c:\\adb\\adb.exe uninstall --user 0 ";
const std::string kRestorePrefix = "c:\\adb\\adb.exe shell pm install-existing --user 0 ";
const std::string kDisablePrefix = "c:\\adb\\adb.exe shell pm disable-user --user 0 ";
const std::string kEnablePrefix = "c:\\adb\\adb.exe shell pm enable --user 0 ";
const std::string kRefusal = "Failure [only root can delete system app for a particular user]";
const std::string kOldLog = "old log";

bool plain_package_text(const std::string& text) {
  for (char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '_' || c == ' ';
    if (!plain) return false;
  }
  return true;
}

// The entry for a list line: trailing CRs and blanks at both ends do not count.
const PackageInfo* info_of(std::string line) {
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return find_package_info(line);
}

bool removal_is(const std::string& name, Removal removal) {
  const PackageInfo* info = find_package_info(name);
  return info && info->removal == removal;
}

bool starts_with(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The property that matters most: nothing the command interpreter or the phone's shell
// could take as syntax ever reaches a command line.
void check_command_lines_are_safe(const FakeCommands& commands) {
  for (const std::string& line : commands.ran) {
    if (line == kUserAppsCommand) continue;
    bool known = false;
    for (const std::string& prefix :
         {kRestorePrefix, kUninstallPrefix, kDisablePrefix, kEnablePrefix}) {
      if (!starts_with(line, prefix)) continue;
      model::check(plain_package_text(line.substr(prefix.size())), "unsafe command line");
      known = true;
      break;
    }
    model::check(known, "unknown command line");
  }
}

// The names of a listing's "package:" lines, as the phone's own apps.
std::vector<std::string> listed_names(const std::string& output) {
  std::vector<std::string> names;
  for (std::string line : model::split(output, "\r\n")) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("package:", 0) == 0) names.push_back(line.substr(8));
  }
  return names;
}

bool is_user_app(const std::string& item, const std::vector<std::string>& user_apps) {
  return std::find(user_apps.begin(), user_apps.end(), trimmed(item)) != user_apps.end();
}

// True when the item may go into a command line.
bool usable(const std::string& item) { return plain_package_text(item) && item.size() <= 255; }

// The hint cases in their order, written out afresh: the text and the patterns are folded
// to lower case, and a pattern counts where it starts on a character.
std::string_view model_hint(const std::string& output, HintSource source) {
  const std::string text = model::lower_ascii(output);
  auto has = [&](const char* pattern) {
    return model::find(text, model::lower_ascii(pattern)) != -1;
  };
  bool empty_device_list = false;
  if (source == HintSource::connect) {
    int at = model::find(text, "list of devices attached");
    empty_device_list =
        at != -1 && text.find_first_not_of(" \t\r\n", at - 1 + 24) == std::string::npos;
  }
  if (has("no devices/emulators found") || has("no devices found") || empty_device_list)
    return msg::kHintNoPhone;
  if (has("unauthorized")) return msg::kHintUnauthorized;
  if (has("authorizing")) return msg::kHintAuthorizing;
  if (has("offline")) return msg::kHintOffline;
  if (has("more than one device") || has("more than one emulator")) return msg::kHintTwoPhones;
  if (has("doesn't match this client") || has("could not read ok from adb server") ||
      has("cannot connect to daemon") || has("failed to start daemon") ||
      has("could not install *smartsocket* listener") || has("protocol fault"))
    return msg::kHintOtherAdb;
  if (has("can't find service: package")) return msg::kHintStillStarting;
  if (has("only root can delete system app for a particular user")) return msg::kHintMustStay;
  if (has("failure [-1000]")) return msg::kHintXiaomiRefused;
  if (has("unknown option: --user")) return msg::kHintNoUserOption;
  if (has("unknown command: install-existing") || has("unknown command 'install-existing'"))
    return msg::kHintNoInstallExisting;
  if (has("delete_failed_device_policy_manager")) return msg::kHintDeviceAdmin;
  if (has("delete_failed_user_restricted")) return msg::kHintUserRestricted;
  if (has("not installed for")) return msg::kHintNotInstalled;
  if (has("namenotfoundexception") || has("doesn't exist")) return msg::kHintNoSuchPackage;
  if (has("delete_failed_internal_error")) return msg::kHintCannotUninstall;
  if (model::find(text, msg::kNotRecognizedZh) != -1 ||
      has("is not recognized as an internal or external command"))
    return msg::kHintAdbMissing;
  return {};
}

void check_hints(const std::string& output) {
  for (HintSource source : {HintSource::connect, HintSource::other})
    model::check(hint_for(output, source) == model_hint(output, source), "hint");
}

void check_listing(const std::string& output) {
  std::string listed, talk;
  int n = 0, by_class[5] = {};
  for (std::string line : model::split(output, "\r\n")) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.rfind("package:", 0) == 0) {
      listed += line.substr(8) + "\r\n";
      ++n;
      const PackageInfo* info = find_package_info(line.substr(8));
      ++by_class[info ? static_cast<int>(info->removal) : 4];
    } else {
      talk += line + "\r\n";
    }
  }
  std::string count;
  if (n > 3) {
    count = std::string(msg::kListCountPrefix) + std::to_string(n) + "\r\n";
    const std::string_view parts[] = {msg::kSummaryRecommended, msg::kSummaryOptional,
                                      msg::kSummaryCaution,     msg::kSummaryKeep,
                                      msg::kSummaryUnknown,     msg::kSummaryEnd};
    count += parts[0];
    for (int i = 0; i < 5; ++i) count += std::to_string(by_class[i]) + std::string(parts[i + 1]);
  }
  std::string log = kOldLog;
  if (!talk.empty()) {
    std::string_view hint = model_hint(talk, HintSource::other);
    log = (count.empty() ? "" : count + "\r\n") + talk;
    if (!hint.empty()) {
      log += std::string(msg::kHintPrefix) + std::string(hint);
      // The fake runner knows no program on adb's port: the advice follows without a name.
      if (hint == msg::kHintOtherAdb) log += msg::kHintOtherAdbAdvice;
      log += "\r\n";
    }
  } else if (!count.empty()) {
    log = count;
  }

  FakeView view;
  FakeCommands commands;
  view.box(Box::log) = kOldLog;
  view.box(Box::list) = "stale\r\n";
  commands.answers[kListCommand] = output;
  list_packages(view, commands, Button::list_all, kListCommand);
  model::check(commands.ran == std::vector<std::string>{kListCommand}, "listing command");
  model::check(view.box(Box::list) == listed, "listed names");
  model::check(view.box(Box::log) == log, "listing log");
  model::check(!view.disabled(Button::list_all), "listing button left disabled");
}

void check_filter(const std::string& name, const std::string& list) {
  FakeView view;
  view.box(Box::log) = kOldLog;
  view.box(Box::name) = name;
  view.box(Box::list) = list;
  filter_packages(view);
  if (name.empty()) {
    model::check(view.messages.size() == 1 && view.messages[0].text == msg::kEmptyFilterMessage,
                 "empty filter message");
    model::check(view.box(Box::list) == list, "empty filter changed the list");
    return;
  }
  bool chinese = std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; });
  std::string kept;
  int n = 0;
  for (const std::string& line : model::split(list, "\r\n")) {
    const PackageInfo* info = chinese ? info_of(line) : nullptr;
    bool described = info && (model::find(std::string(info->title), name) != -1 ||
                              model::find(std::string(info->use), name) != -1);
    if (model::find(line, name) == -1 && !described) continue;
    kept += line + "\r\n";
    ++n;
  }
  model::check(view.messages.empty(), "filter message");
  model::check(view.box(Box::list) == kept, "kept lines");
  std::string log = n > 1 ? std::string(msg::kFilterCountPrefix) + std::to_string(n) : kOldLog;
  model::check(view.box(Box::log) == log, "filter count");
}

// The batch's closing lines with its count.
std::string batch_end(size_t items, int removed, int disabled, int skipped, int failed) {
  return std::string(msg::kDone) + std::string(msg::kBatchCountBefore) + std::to_string(items) +
         std::string(msg::kBatchCountRemoved) + std::to_string(removed) +
         std::string(msg::kBatchCountDisabled) + std::to_string(disabled) +
         std::string(msg::kBatchCountSkipped) + std::to_string(skipped) +
         std::string(msg::kBatchCountFailed) + std::to_string(failed) +
         std::string(msg::kBatchCountEnd);
}

void check_batch(const std::string& list, const std::string& user_listing) {
  FakeView view;
  FakeCommands commands;
  Session session;
  view.box(Box::log) = kOldLog;
  view.box(Box::list) = list;
  view.message_answer = Answer::ok;
  commands.answers[kUserAppsCommand] = user_listing;
  batch_uninstall(view, commands, session);
  check_command_lines_are_safe(commands);
  if (list.empty()) {
    model::check(commands.ran.empty() && view.messages.size() == 1 &&
                     view.messages[0].text == msg::kEmptyListMessage,
                 "empty batch");
    return;
  }
  // The fake view answers OK to every box, which the questions about the packages some users
  // need and about user apps take as Cancel: nothing is removed then.
  std::vector<std::string> user_apps = listed_names(user_listing);
  for (const std::string& item : model::split(list, "\r\n")) {
    if (!usable(item) || removal_is(item, Removal::keep)) continue;
    if (is_user_app(item, user_apps) || removal_is(item, Removal::caution)) {
      model::check(commands.ran == std::vector<std::string>{kUserAppsCommand} &&
                       view.messages.size() == 2 &&
                       view.messages[1].kind == MessageKind::yes_no_cancel_warning &&
                       view.box(Box::log) == kOldLog && !view.disabled(Button::batch),
                   "batch cancelled at a question");
      return;
    }
  }
  std::vector<std::string> ran = {kUserAppsCommand};
  std::string log(msg::kBatchStart);
  int skipped = 0;
  std::vector<std::string> items = model::split(list, "\r\n");
  for (const std::string& item : items) {
    log += std::string(msg::kBatchItemBefore) + item + std::string(msg::kBatchItemAfter);
    if (!plain_package_text(item)) {
      log += msg::kUnsafeNameSkipped;
    } else if (item.size() > 255) {
      log += msg::kNameTooLongSkipped;
    } else if (removal_is(item, Removal::keep)) {
      log += trimmed(item) + std::string(msg::kCriticalBefore) +
             std::string(find_package_info(item)->title) + std::string(msg::kCriticalSkippedAfter);
    } else {
      ran.push_back(kUninstallPrefix + item);
      log += "\r\n";  // the fake command prints nothing
      continue;
    }
    ++skipped;
  }
  int failed = static_cast<int>(ran.size()) - 1;
  log += batch_end(items.size(), 0, 0, skipped, failed);
  model::check(commands.ran == ran, "batch command lines");
  model::check(commands.waits == std::vector<int>(ran.size() - 1, 1000), "batch pauses");
  model::check(view.box(Box::log) == log, "batch log");
  model::check(!view.disabled(Button::batch), "batch button left disabled");
}

// Every item answers the uninstall with the refusal of a phone that removes no system app for
// one user, or with Success, as its length falls; the disabling works for some. Every question
// is answered Yes. Then 批量恢复 over the same list enables just what was disabled, once each.
void check_refusals(const std::string& list) {
  if (list.empty()) return;
  std::vector<std::string> items = model::split(list, "\r\n");
  FakeView view;
  FakeCommands commands;
  Session session;
  view.box(Box::list) = list;
  view.answers_in_turn = {Answer::ok};
  view.message_answer = Answer::yes;
  auto refused = [](const std::string& item) { return item.size() % 2 == 0; };
  auto disables = [](const std::string& item) { return item.size() % 3 != 0; };
  for (const std::string& item : items) {
    commands.answers[kUninstallPrefix + item] = refused(item) ? kRefusal : "Success";
    commands.answers[kDisablePrefix + item] =
        disables(item) ? "Package " + trimmed(item) + " new state: disabled-user" : "Error";
    commands.answers[kEnablePrefix + item] = "Package " + trimmed(item) + " new state: enabled";
  }
  batch_uninstall(view, commands, session);
  check_command_lines_are_safe(commands);
  std::vector<std::string> ran = {kUserAppsCommand};
  std::set<std::string> disabled;
  int counts[4] = {};  // removed, disabled, skipped, failed
  for (const std::string& item : items) {
    if (!usable(item) || removal_is(item, Removal::keep)) {
      ++counts[2];
      continue;
    }
    ran.push_back(kUninstallPrefix + item);
    if (!refused(item)) {
      ++counts[0];
      continue;
    }
    ran.push_back(kDisablePrefix + item);
    if (disables(item)) disabled.insert(trimmed(item));
    ++counts[disables(item) ? 1 : 3];
  }
  model::check(commands.ran == ran, "refusals: command lines");
  model::check(session.disabled_here == disabled, "refusals: what the session remembers");
  const std::string& log = view.box(Box::log);
  std::string end = batch_end(items.size(), counts[0], counts[1], counts[2], counts[3]);
  model::check(
      log.size() >= end.size() && log.compare(log.size() - end.size(), end.size(), end) == 0,
      "refusals: the closing count");

  view.answers_in_turn = {Answer::ok};
  commands.ran.clear();
  batch_restore(view, commands, session);
  check_command_lines_are_safe(commands);
  ran.clear();
  for (const std::string& item : items) {
    if (!usable(item)) continue;
    ran.push_back(kRestorePrefix + item);
    if (disabled.erase(trimmed(item)) != 0) ran.push_back(kEnablePrefix + item);
  }
  model::check(commands.ran == ran, "refusals: restoring enables what was disabled");
  model::check(session.disabled_here.empty(), "refusals: enabled packages forgotten");
}

void check_single(bool uninstalling, const std::string& name, const std::string& user_listing) {
  FakeView view;
  FakeCommands commands;
  Session session;
  view.box(Box::name) = name;
  commands.answers[kUserAppsCommand] = user_listing;
  if (uninstalling)
    uninstall_package(view, commands, session);
  else
    restore_package(view, commands, session);
  check_command_lines_are_safe(commands);
  // The fake view answers OK, not Yes: a guarded package is not removed.
  bool usable_name = !name.empty() && usable(name);
  bool guarded =
      uninstalling && (removal_is(name, Removal::keep) || removal_is(name, Removal::caution) ||
                       is_user_app(name, listed_names(user_listing)));
  std::vector<std::string> ran;
  if (usable_name && uninstalling) ran.push_back(kUserAppsCommand);
  if (usable_name && !guarded)
    ran.push_back((uninstalling ? kUninstallPrefix : kRestorePrefix) + name);
  model::check(commands.ran == ran, "single package command lines");
  model::check(view.messages.size() == (usable_name && !guarded ? 0u : 1u),
               "single package message");
  if (usable_name && guarded)
    model::check(view.messages[0].kind == MessageKind::yes_no_warning, "guarded package question");
  model::check(!view.disabled(uninstalling ? Button::uninstall : Button::restore),
               "single package button left disabled");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t cut = data[0] < rest.size() ? data[0] : rest.size();
  std::string name = rest.substr(0, cut), list = rest.substr(cut);

  check_hints(rest);
  check_listing(rest);
  check_filter(name, list);
  check_batch(list, "");
  check_batch(list, rest);
  check_batch(rest, "");
  check_refusals(list);
  check_single(true, name, "");
  check_single(true, name, rest);
  check_single(false, name, "");
  check_single(true, rest, list);
  return 0;
}
