// The button actions. Each reaches the window only through View and runs commands and
// pauses only through Commands, so it runs the same against the real window and in tests.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "packages/view.h"

/// What the actions remember while the program runs, so that 恢复 and 批量恢复 can turn on
/// again what is off: the packages this program disabled because the phone would not remove
/// them, and those the last 已卸载的 found disabled. The main window keeps one.
struct Session {
  std::set<std::string> disabled_here;
  std::set<std::string> found_disabled;
};

/// Lists the phone's packages into the list box, one name per line, and logs their count;
/// whatever else adb said goes to the log, with a hint. Serves both listing buttons:
/// `button` is disabled while the command runs.
void list_packages(View& view, Commands& commands, Button button, std::string_view command_line);

/// Lists into the list box only the phone's system packages that are recommended for removal,
/// in the phone's order, and says how many there are and what to do next. The phone's own
/// (user) apps are never among them.
void recommend_packages(View& view, Commands& commands);

/// Tells in the log what each package of the list box is (or the name box's, when the list
/// is empty): its Chinese name, how safe its removal is and what it does. Asks the phone which
/// are its own (user) apps and marks those: removing one deletes it for good.
void explain_packages(View& view, Commands& commands);

/// Keeps the list box lines that contain the name box's text and logs how many were kept. A
/// filter with Chinese text also keeps the packages whose Chinese name or description has it.
void filter_packages(View& view);

/// Uninstalls the package named in the name box for user 0 and logs adb's answer. A package
/// the phone cannot live without, one that some users need, or one of the phone's own (user)
/// apps, which cannot be restored, is only removed after the user says Yes to a warning. Where
/// the phone removes no system app for one user, the package is disabled instead.
void uninstall_package(View& view, Commands& commands, Session& session);

/// Makes the package named in the name box available to user 0 again, and turns it on when
/// the session knows it as disabled.
void restore_package(View& view, Commands& commands, Session& session);

/// Logs the devices that adb sees.
void connect_device(View& view, Commands& commands);

/// After a confirmation, uninstalls every package named in the list box, one per line,
/// skipping the packages the phone cannot live without, as uninstall_package does otherwise.
/// When the list holds packages that some users need, or user apps, one more question for
/// each decides: remove them too, skip them, or stop. Ends with how many were removed,
/// disabled, skipped and not done.
void batch_uninstall(View& view, Commands& commands, Session& session);

/// Lists the packages removed for user 0 that the phone can still restore: those of the
/// listing with uninstalled packages that the plain listing lacks, in the phone's order; then
/// the disabled ones, which the session remembers.
void list_removed_packages(View& view, Commands& commands, Session& session);

/// After a confirmation, restores every package named in the list box, one per line, as
/// restore_package does.
void batch_restore(View& view, Commands& commands, Session& session);

/// Tells at start-up that adb could not be written to c:\adb, with the system's reason and
/// what to do next.
void report_deploy_failure(View& view, std::string_view reason);

/// Tells that the USB driver installer could not be written or started, and why.
void report_driver_failure(View& view, std::string_view reason);

/// True when every byte is an ASCII letter, a digit, '.', '_' or a blank: the only bytes a
/// package name can hold, and none that the command interpreter or the phone's shell would
/// take as syntax. Package text is checked before it goes into a command line.
bool is_safe_package_text(std::string_view text);
