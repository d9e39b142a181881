#include "packages/critical.h"

namespace {

const CriticalPackage kCritical[] = {
#include "critical_packages.inc"
};

std::string_view trim_blanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

const CriticalPackage* find_critical_package(std::string_view name) {
  std::string_view trimmed = trim_blanks(name);
  for (const CriticalPackage& entry : kCritical)
    if (entry.name == trimmed) return &entry;
  return nullptr;
}

std::string_view critical_package_name(int index) { return kCritical[index].name; }
int critical_package_count() { return static_cast<int>(sizeof kCritical / sizeof kCritical[0]); }
