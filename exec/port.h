// Who holds adb's port. Another program's adb server (a phone assistant's, as a rule) on
// TCP 5037 keeps ours from starting, and the user needs its name to quit it.
#pragma once

#include <string>

/// The file name of the process that listens on TCP port 5037 at 127.0.0.1 (or at every
/// address), in code page 936; empty when none does, when it is our own c:\adb\adb.exe, or
/// when the system cannot tell.
std::string adb_port_holder();
