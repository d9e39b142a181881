#include "exec/port.h"

#include <windows.h>

#include <iphlpapi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <vector>

#include "exec/encoding.h"
#include "exec/handle.h"
#include "packages/text.h"
#include "payload/adb_commands.h"

namespace {

constexpr unsigned kAdbPort = 5037;
constexpr ULONG kIpv4 = 2;  // AF_INET, without the Winsock headers

using GetExtendedTcpTableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS,
                                                   ULONG);

// iphlpapi.dll is loaded from the system folder by its full path, at run time: a DLL of that
// name beside the program is never loaded, and the program imports nothing more at start-up.
struct Library {
  Library() {
    wchar_t folder[MAX_PATH];
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
      module = LoadLibraryW((std::wstring(folder, n) + L"\\iphlpapi.dll").c_str());
  }
  ~Library() {
    if (module) FreeLibrary(module);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  HMODULE module = nullptr;
};

// A port in the table is in network byte order, in the low 16 bits.
unsigned port_of(DWORD entry) { return ((entry & 0xFF) << 8) | ((entry >> 8) & 0xFF); }

// 127.x.x.x (the first byte in network order is the lowest in memory) or 0.0.0.0.
bool loopback_or_any(DWORD address) { return address == 0 || (address & 0xFF) == 127; }

// The file name of a process from the system's snapshot; empty when it is gone.
std::wstring snapshot_name(DWORD id) {
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == id) return entry.szExeFile;
  return {};
}

DWORD test_owner() {
  char value[16] = {};
  DWORD n = GetEnvironmentVariableA("TOLVEXA_TEST_PORT_OWNER_PID", value, sizeof value);
  return n > 0 && n < sizeof value ? static_cast<DWORD>(strtoul(value, nullptr, 10)) : 0;
}

}  // namespace

PortListener adb_port_listener() {
  Library iphlpapi;
  if (!iphlpapi.module) return {};
  auto get_table = reinterpret_cast<GetExtendedTcpTableFunction>(
      reinterpret_cast<void*>(GetProcAddress(iphlpapi.module, "GetExtendedTcpTable")));
  if (!get_table) return {};
  std::vector<unsigned char> buffer(sizeof(MIB_TCPTABLE_OWNER_PID));
  // The table may grow between asking for its size and reading it: a few tries.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD status = get_table(buffer.data(), &size, FALSE, kIpv4, TCP_TABLE_OWNER_PID_LISTENER, 0);
    if (status == ERROR_INSUFFICIENT_BUFFER) {
      buffer.resize(size + 16 * sizeof(MIB_TCPROW_OWNER_PID));
      continue;
    }
    if (status != NO_ERROR) return {};
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_TCPROW_OWNER_PID& row = table->table[i];
      if (loopback_or_any(row.dwLocalAddr) && port_of(row.dwLocalPort) == kAdbPort)
        return {true, row.dwOwningPid};
    }
    return {};
  }
  return {};
}

std::string holder_name(DWORD id) {
  // The full path where the process may be asked (ours always may: it runs as we do);
  // else only the snapshot's file name, and then it is not ours.
  Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  wchar_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  std::wstring name;
  if (process && QueryFullProcessImageNameW(process.get(), 0, path, &size)) {
    std::string full = narrow(std::wstring_view(path, size));
    if (compare_text(full, adb::kImagePath, false) == 0) return {};
    std::wstring whole(path, size);
    name = whole.substr(whole.find_last_of(L"\\/") + 1);
  } else {
    name = snapshot_name(id);
  }
  return narrow(name);
}

std::string adb_port_holder() {
  PortListener listener = adb_port_listener();
  if (!listener.found) return {};
  DWORD owner = listener.owner != 0 ? listener.owner : test_owner();
  return owner != 0 ? holder_name(owner) : std::string();
}
