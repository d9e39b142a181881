#include "packages/package_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packages/actions.h"
#include "tests/native/fakes.h"

namespace {

std::vector<const PackageInfo*> entries(bool prefixes) {
  std::vector<const PackageInfo*> found;
  int first = prefixes ? package_info_exact_count() : 0;
  int end = prefixes ? package_info_count() : package_info_exact_count();
  for (int i = first; i < end; ++i) found.push_back(&package_info_entry(i));
  return found;
}

TEST(PackageInfo, EveryExactNameIsFoundAsItIsAndWithBlanksOnly) {
  std::vector<const PackageInfo*> exact = entries(false);
  ASSERT_GE(exact.size(), 800u);
  for (const PackageInfo* entry : exact) {
    std::string name(entry->name);
    SCOPED_TRACE(name);
    EXPECT_TRUE(is_safe_package_text(name));
    EXPECT_FALSE(entry->title.empty());
    EXPECT_FALSE(entry->use.empty());
    EXPECT_EQ(find_package_info("  " + name + " "), entry);
    EXPECT_NE(find_package_info(name + "\t"), entry);
    EXPECT_NE(find_package_info(name.substr(0, name.size() - 1)), entry);
  }
  for (const char* nothing : {"", "   ", "com.example.not.a.package"})
    EXPECT_EQ(find_package_info(nothing), nullptr) << nothing;
}

TEST(PackageInfo, ExactNamesWinOverPrefixesAndLongerPrefixesOverShorter) {
  std::vector<const PackageInfo*> prefixes = entries(true);
  ASSERT_FALSE(prefixes.empty());
  int exact_under_prefix = 0;
  for (const PackageInfo* prefix : prefixes) {
    std::string name(prefix->name);
    SCOPED_TRACE(name);
    // A prefix entry is never a recommendation: it speaks for packages nobody has looked at.
    EXPECT_NE(prefix->removal, Removal::recommended);
    const PackageInfo* member = find_package_info(name + "zz9");
    ASSERT_NE(member, nullptr);
    EXPECT_TRUE(member == prefix || (member->name.size() > prefix->name.size() &&
                                     member->name.substr(0, name.size()) == name));
    EXPECT_NE(find_package_info(name), prefix) << "the prefix alone is no member";
    for (const PackageInfo* exact : entries(false))
      if (exact->name.size() > name.size() && exact->name.substr(0, name.size()) == name) {
        EXPECT_EQ(find_package_info(exact->name), exact);
        ++exact_under_prefix;
      }
  }
  EXPECT_GT(exact_under_prefix, 0) << "no exact entry lies under a prefix: the rule is untested";
}

TEST(PackageInfo, ClassNamesAsTheUserReadsThem) {
  EXPECT_EQ(removal_text(Removal::recommended), gbk("建议卸载"));
  EXPECT_EQ(removal_text(Removal::optional), gbk("可以卸载"));
  EXPECT_EQ(removal_text(Removal::caution), gbk("谨慎"));
  EXPECT_EQ(removal_text(Removal::keep), gbk("不要卸载"));
}

}  // namespace
