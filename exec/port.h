// Who holds adb's port. Another program's adb server (a phone assistant's, as a rule) on
// TCP 5037 keeps ours from starting, and the user needs its name to quit it.
#pragma once

#include <windows.h>

#include <string>

/// Whether a process listens on TCP port 5037 at 127.0.0.1 or at every address, and its id
/// where the system tells it (0 where it does not: Wine keeps every socket in its own server
/// process and reports no owner).
struct PortListener {
  bool found = false;
  DWORD owner = 0;
};
PortListener adb_port_listener();

/// The file name of a running process, in code page 936; empty when it is our own
/// c:\adb\adb.exe or is gone.
std::string holder_name(DWORD process_id);

/// The file name of the process that listens on TCP port 5037 at 127.0.0.1 (or at every
/// address), in code page 936; empty when none does, when it is our own c:\adb\adb.exe, or
/// when the system cannot tell. Where the system names no owner, the tests may name one in
/// TOLVEXA_TEST_PORT_OWNER_PID (Wine never names one).
std::string adb_port_holder();
