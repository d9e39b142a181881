// What the program knows of Android packages: a Chinese name, what the package does and how
// safe it is to remove. The data, with a public source for each entry, is
// packages/package_info.tsv; the build turns it into a table.
#pragma once

#include <string_view>

/// How safe a removal is, from harmless to a phone that may not start again.
enum class Removal {
  recommended,  // 建议卸载: advertising, tracking, promotions; reported harmless
  optional,     // 可以卸载: an app of its own; removing it loses only that app
  caution,      // 谨慎: a feature some users need stops working
  keep,         // 不要卸载: reported to stop the phone starting or being used
};

struct PackageInfo {
  std::string_view name;  // for a prefix entry, the prefix
  Removal removal;
  std::string_view title;  // the Chinese name a user knows it by, code page 936
  std::string_view use;    // what it does and what is lost without it, one sentence
};

/// The entry for a package name (blanks at both ends removed; names are case-sensitive): the
/// entry of that exact name, else the longest prefix entry the name starts with; null when
/// the package is not known.
const PackageInfo* find_package_info(std::string_view name);

/// The class as the user reads it: 建议卸载, 可以卸载, 谨慎 or 不要卸载 (code page 936).
std::string_view removal_text(Removal removal);

/// Every entry, for the tests: the exact names first, then the prefixes.
int package_info_count();
int package_info_exact_count();
const PackageInfo& package_info_entry(int index);
