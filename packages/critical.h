// Packages the phone cannot live without: removing one for user 0 is publicly reported to
// leave phones unable to start or to be used (no home screen, no keyboard for the lock-screen
// password, a bootloop). The list, with a source for each entry, is
// packages/critical_packages.tsv; the build turns it into a table.
#pragma once

#include <string_view>

struct CriticalPackage {
  std::string_view name;
  std::string_view what;  // what it is, a few Chinese words in code page 936
};

/// The entry for a package name, compared exactly (package names are case-sensitive) after
/// blanks at both ends are removed; null when the package is not on the list.
const CriticalPackage* find_critical_package(std::string_view name);

/// Every entry, for the tests.
std::string_view critical_package_name(int index);
int critical_package_count();
