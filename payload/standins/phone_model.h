// The simulated phone's behaviour, shared by its two front ends: adb_sim.cpp (a stand-in
// for adb.exe that keeps the phone's state in a file) and wire_phone.cpp (a phone that
// speaks adb's transport protocol on a TCP port). Portable: no platform headers.
//
// The phone carries a listing of packages (the default phone's or a vendor's, filled up
// with generated names to a given count). Each package is a system app or an ordinary
// app. Its state is what happened to it: removed for user 0 and disabled. A removed system
// app stays in the system image and comes back with `pm install-existing`; a removed
// ordinary app is deleted from the phone, as Android does when its only user removes it.
//
// The phone's answers end their lines in "\n", as Android's pm writes them; the front ends
// change the line ends as adb or the terminal would.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace phone {

struct Setup {
  std::string vendor;   // xiaomi | huawei | oppo | vivo | samsung; anything else: the default phone
  size_t packages = 0;  // the phone carries exactly that many packages; 0: its listing's own
  int android = 14;     // the Android version
  std::string refuse;   // minus1000 | admin | restricted | old: how every removal is refused
};

/// What a command printed on the phone, and its exit code.
struct Answer {
  std::string out;
  std::string err;
  int code = 0;
};

/// What happened to the phone's packages. Names the phone does not carry may be kept in it
/// (a state file edited by hand); they change nothing.
struct State {
  std::set<std::string> removed;  // removed for user 0
  std::set<std::string> disabled;
  bool operator==(const State& other) const {
    return removed == other.removed && disabled == other.disabled;
  }
  bool operator!=(const State& other) const { return !(*this == other); }
};

class Phone {
 public:
  explicit Phone(const Setup& setup);

  /// The packages in the order pm lists them.
  const std::vector<std::string>& packages() const { return packages_; }
  bool carries(const std::string& name) const;
  /// An ordinary app (what `pm list packages -3` lists) rather than a system app.
  bool ordinary(const std::string& name) const;
  int android() const { return setup_.android; }

  /// Runs one command line of the phone's shell (`pm ...`, `cmd package ...`), as the shell
  /// would split it: words apart at blanks, '...' and "..." quoting, backslash escapes.
  Answer shell(const std::string& line, State& state) const;
  /// Runs pm with the words after "pm".
  Answer pm(const std::vector<std::string>& args, State& state) const;

 private:
  bool present(const std::string& name, const State& state) const;
  Answer list(const std::vector<std::string>& args, const State& state) const;
  Answer uninstall(const std::vector<std::string>& args, State& state) const;
  Answer installExisting(const std::vector<std::string>& args, State& state) const;
  Answer setEnabled(const std::string& command, const std::vector<std::string>& args,
                    State& state) const;

  Setup setup_;
  std::vector<std::string> packages_;
  std::set<std::string> carried_;
  std::set<std::string> ordinary_;
};

/// Splits a shell command line into words; false when a quote is left open.
bool splitShellWords(const std::string& line, std::vector<std::string>& words);

}  // namespace phone
