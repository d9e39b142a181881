// Starting the USB driver installer that the program carries.
#pragma once

#include <optional>
#include <string_view>

#include "exec/error.h"

/// Starts a program from its command line without handing it our handles. With
/// `wait_for_exit` it waits until the program has ended; otherwise up to one second for it to
/// be ready for input. `show_style`: 1 hidden, 2 normal (also when absent), 3 minimised,
/// 4 maximised, 5 normal without activation, 6 minimised without activation; values outside
/// 1..6 are clamped. True when the program was started.
bool start_program(std::string_view command_line, bool wait_for_exit,
                   std::optional<int> show_style = std::nullopt);

/// Writes the driver installer to c:\ADBDriverInstaller.exe and starts it. The failure that
/// kept it from starting, if one did.
Failure launch_driver_installer();
