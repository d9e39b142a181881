#include "packages/actions.h"

#include "packages/messages.h"
#include "packages/text.h"
#include "payload/adb_commands.h"

namespace {

constexpr std::string_view kLineBreak = "\r\n";

// Old phones answer through a terminal, which turns each line end into CR CR LF; the
// extra CR would otherwise stick to every package name.
std::string_view without_trailing_cr(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Runs one command on the name box's package: uninstall or restore. Returns false when
// nothing ran or the window went away meanwhile.
bool run_on_named_package(View& view, Commands& commands, Button button,
                          std::string_view progress, std::string_view command_prefix) {
  std::string name = view.read_content(Box::name);
  if (compare_bytes(name, "") == 0) {
    view.show_message(msg::kEmptyNameMessage, kStyleOk, false);
    return false;
  }
  if (!is_safe_package_text(name)) {
    view.show_message(msg::kUnsafeNameMessage, kStyleOk, false);
    return false;
  }
  view.set_disabled(button, true);
  view.set_content(Box::log, progress);
  std::string output = commands.run(concat_text(command_prefix, name));
  if (view.closed()) return false;
  view.append_text(Box::log, concat_text(output, kLineBreak));
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
  std::string output = commands.run(command_line);
  if (view.closed()) return;

  // The whole listing goes into the box in one append: appending line by line costs a
  // repaint and a scroll per line, which takes minutes for a few thousand packages.
  std::string listing;
  listing.reserve(output.size());
  int n = 0;
  for (const std::string& raw : split_text(output, kLineBreak)) {
    std::string_view line = without_trailing_cr(raw);
    int colon = find_text(line, ":");
    if (colon >= 1) {
      listing += right_text(line, text_length(line) - colon);
      ++n;
    } else {
      listing += line;
    }
    listing += kLineBreak;
  }
  if (!listing.empty()) view.append_text(Box::list, listing);
  if (n > 3) view.set_content(Box::log, concat_text(msg::kListCountPrefix, to_text(n)));
  view.set_disabled(button, false);
}

void filter_packages(View& view) {
  std::string filter = view.read_content(Box::name);
  if (compare_bytes(filter, "") == 0) {
    view.show_message(msg::kEmptyFilterMessage, kStyleOk, true);
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
  if (run_on_named_package(view, commands, Button::uninstall, msg::kUninstallProgress,
                           adb::kUninstallPrefix))
    view.append_text(Box::log, msg::kDone);
}

void restore_package(View& view, Commands& commands) {
  run_on_named_package(view, commands, Button::restore, msg::kRestoreProgress,
                       adb::kRestorePrefix);
}

void connect_device(View& view, Commands& commands) {
  view.set_disabled(Button::connect, true);
  view.set_content(Box::log, msg::kConnectProgress);
  std::string output = commands.run(adb::kDevices);
  if (view.closed()) return;
  view.append_text(Box::log, output);
  view.set_disabled(Button::connect, false);
}

void batch_uninstall(View& view, Commands& commands) {
  if (compare_bytes(view.read_content(Box::list), "") == 0) {
    view.show_message(msg::kEmptyListMessage, kStyleOk, false);
    return;
  }
  if (view.show_message(msg::kBatchQuestion, kStyleOkCancel, false) != 0) return;

  view.set_content(Box::log, msg::kBatchStart);
  view.set_disabled(Button::batch, true);
  // The items are taken once: changes to the list box during the run do not change them.
  TextArray items = split_text(view.read_content(Box::list), kLineBreak);
  for (const std::string& item : items) {
    view.append_text(Box::log, concat_text(msg::kBatchItemBefore, item, msg::kBatchItemAfter));
    if (!is_safe_package_text(item)) {
      view.append_text(Box::log, msg::kUnsafeNameSkipped);
      continue;
    }
    std::string output = commands.run(concat_text(adb::kUninstallPrefix, item));
    if (view.closed()) return;
    view.append_text(Box::log, concat_text(output, kLineBreak));
    commands.wait(1000);
    if (view.closed()) return;
  }
  view.set_disabled(Button::batch, false);
  view.append_text(Box::log, msg::kDone);
}
