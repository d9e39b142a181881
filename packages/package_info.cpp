#include "packages/package_info.h"

#include <algorithm>

#include "packages/messages.h"
#include "packages/text.h"

namespace {

#include "package_info.inc"

constexpr int kCount = static_cast<int>(sizeof kEntries / sizeof kEntries[0]);

}  // namespace

const PackageInfo* find_package_info(std::string_view name) {
  name = trim_blanks(name);
  if (name.empty()) return nullptr;
  const PackageInfo* exact_end = kEntries + kExactCount;
  const PackageInfo* found = std::lower_bound(
      kEntries, exact_end, name,
      [](const PackageInfo& entry, std::string_view sought) { return entry.name < sought; });
  if (found != exact_end && found->name == name) return found;
  for (const PackageInfo* prefix = exact_end; prefix != kEntries + kCount; ++prefix)
    if (name.size() > prefix->name.size() && name.substr(0, prefix->name.size()) == prefix->name)
      return prefix;
  return nullptr;
}

std::string_view removal_text(Removal removal) {
  switch (removal) {
    case Removal::recommended: return msg::kRemovalRecommended;
    case Removal::optional: return msg::kRemovalOptional;
    case Removal::caution: return msg::kRemovalCaution;
    case Removal::keep: return msg::kRemovalKeep;
  }
  return {};
}

int package_info_count() { return kCount; }
int package_info_exact_count() { return kExactCount; }
const PackageInfo& package_info_entry(int index) { return kEntries[index]; }
