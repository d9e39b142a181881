// Fuzz target for the button actions, run against FakeView and FakeCommands. Input: byte 0
// is where the rest splits into the name box's text and the list box's text; the whole rest
// is also the output of the listing command. Each action's result is compared with a model
// built on model.h, and every command line that runs must hold, after its fixed prefix,
// nothing but the bytes a package name can have.
#include <algorithm>
#include <cstddef>
#include <cstdint>
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
const std::string kUninstallPrefix = "c:\\adb\\adb.exe uninstall --user 0 ";
const std::string kRestorePrefix = "c:\\adb\\adb.exe shell pm install-existing --user 0 ";
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

// The property that matters most: nothing the command interpreter or the phone's shell
// could take as syntax ever reaches a command line.
void check_command_lines_are_safe(const FakeCommands& commands) {
  for (const std::string& line : commands.ran) {
    if (starts_with(line, kRestorePrefix)) {
      model::check(plain_package_text(line.substr(kRestorePrefix.size())), "unsafe restore line");
    } else {
      model::check(starts_with(line, kUninstallPrefix), "unknown command line");
      model::check(plain_package_text(line.substr(kUninstallPrefix.size())),
                   "unsafe uninstall line");
    }
  }
}

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
  if (has("more than one device")) return msg::kHintTwoPhones;
  if (has("doesn't match this client") || has("could not read ok from adb server") ||
      has("cannot connect to daemon") || has("failed to start daemon") ||
      has("could not install *smartsocket* listener") || has("protocol fault"))
    return msg::kHintOtherAdb;
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

void check_batch(const std::string& list) {
  FakeView view;
  FakeCommands commands;
  view.box(Box::log) = kOldLog;
  view.box(Box::list) = list;
  view.message_answer = Answer::ok;
  batch_uninstall(view, commands);
  check_command_lines_are_safe(commands);
  if (list.empty()) {
    model::check(commands.ran.empty() && view.messages.size() == 1 &&
                     view.messages[0].text == msg::kEmptyListMessage,
                 "empty batch");
    return;
  }
  // The fake view answers OK to every box, which the question about the packages some users
  // need takes as Cancel: nothing is removed then.
  for (const std::string& item : model::split(list, "\r\n")) {
    if (plain_package_text(item) && item.size() <= 255 && removal_is(item, Removal::caution)) {
      model::check(commands.ran.empty() && view.messages.size() == 2 &&
                       view.messages[1].kind == MessageKind::yes_no_cancel_warning &&
                       view.box(Box::log) == kOldLog,
                   "batch cancelled at the caution question");
      return;
    }
  }
  std::vector<std::string> ran;
  std::string log(msg::kBatchStart);
  for (const std::string& item : model::split(list, "\r\n")) {
    log += std::string(msg::kBatchItemBefore) + item + std::string(msg::kBatchItemAfter);
    if (!plain_package_text(item)) {
      log += msg::kUnsafeNameSkipped;
    } else if (item.size() > 255) {
      log += msg::kNameTooLongSkipped;
    } else if (removal_is(item, Removal::keep)) {
      std::string name = item.substr(item.find_first_not_of(' '));
      name = name.substr(0, name.find_last_not_of(' ') + 1);
      log += name + std::string(msg::kCriticalBefore) +
             std::string(find_package_info(item)->title) + std::string(msg::kCriticalSkippedAfter);
    } else {
      ran.push_back(kUninstallPrefix + item);
      log += "\r\n";  // the fake command prints nothing
    }
  }
  log += msg::kDone;
  model::check(commands.ran == ran, "batch command lines");
  model::check(commands.waits == std::vector<int>(ran.size(), 1000), "batch pauses");
  model::check(view.box(Box::log) == log, "batch log");
  model::check(!view.disabled(Button::batch), "batch button left disabled");
}

void check_single(void (*action)(View&, Commands&), const std::string& prefix,
                  const std::string& name) {
  FakeView view;
  FakeCommands commands;
  view.box(Box::name) = name;
  action(view, commands);
  check_command_lines_are_safe(commands);
  // The fake view answers OK, not Yes: a guarded package is not removed.
  bool guarded = prefix == kUninstallPrefix &&
                 (removal_is(name, Removal::keep) || removal_is(name, Removal::caution));
  bool runs = !name.empty() && plain_package_text(name) && name.size() <= 255 && !guarded;
  model::check(
      commands.ran == (runs ? std::vector<std::string>{prefix + name} : std::vector<std::string>{}),
      "single package command line");
  model::check(view.messages.size() == (runs ? 0u : 1u), "single package message");
  if (guarded)
    model::check(view.messages[0].kind == MessageKind::yes_no_warning, "guarded package question");
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
  check_batch(list);
  check_batch(rest);
  check_single(uninstall_package, kUninstallPrefix, name);
  check_single(restore_package, kRestorePrefix, name);
  check_single(uninstall_package, kUninstallPrefix, rest);
  return 0;
}
