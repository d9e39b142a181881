#include "packages/text.h"

#include <gtest/gtest.h>

namespace {

// "中" in code page 936 is D6 D0; "：" (full-width colon) is A3 BA.
const std::string kZhong = "\xD6\xD0";

TEST(FindText, RowsOfEdgeCases) {
  struct Row {
    std::string text, sought;
    int expected;
  } rows[] = {
      {"", ":", -1},
      {":", ":", 1},
      {"abc", "", 1},
      {"", "", -1},
      {"package:a", ":", 8},
      {"a:b:c", ":", 2},
      {"abc", "abcd", -1},
      {"abcabc", "ca", 3},
      // "\xB0\xA1" then 'A': the sought "\xA1" + "A" starts on a second byte and is not found.
      {"\xB0\xA1"
       "A",
       "\xA1"
       "A",
       -1},
      {"x\xB0\xA1"
       "A",
       "\xB0\xA1", 2},
      {kZhong + "b", "b", 3},
      // A lead byte as the very last byte is still compared, then ends the search.
      {"ab\xB0", "\xB0", 3},
      {"ab\xB0",
       "\xB0"
       "c",
       -1},
      {"ab\xB0", "b", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text '" + row.text + "' sought '" + row.sought + "'");
    EXPECT_EQ(find_text(row.text, row.sought), row.expected);
  }
}

TEST(SplitText, RowsOfEdgeCases) {
  struct Row {
    std::string text;
    TextArray expected;
  } rows[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\n", {""}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\nb", {"a\nb"}},
      {"a\r\rb", {"a\r\rb"}},
      {"a\r\r\nb", {"a\r", "b"}},
      // A separator hidden in a two-byte character ("\x81\r" then "\n") is not one.
      {"\x81\r\nb", {"\x81\r\nb"}},
      {kZhong + "\r\n" + kZhong, {kZhong, kZhong}},
      // A lead byte at the end stops the scan; the rest is the last element.
      {"a\r\nb\xB0", {"a", "b\xB0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("text '" + row.text + "'");
    EXPECT_EQ(split_text(row.text, "\r\n"), row.expected);
  }
  EXPECT_EQ(split_text("abc", ""), TextArray{"abc"});
}

TEST(RightText, CountsBytesAndIgnoresCharacters) {
  EXPECT_EQ(right_text("abc", 0), "");
  EXPECT_EQ(right_text("abc", -2), "");
  EXPECT_EQ(right_text("abc", 2), "bc");
  EXPECT_EQ(right_text("abc", 10), "abc");
  EXPECT_EQ(right_text("a" + kZhong, 1), "\xD0");
  EXPECT_EQ(right_text("", 1), "");
}

TEST(CompareBytes, OrderAndEmptiness) {
  EXPECT_EQ(compare_bytes("", ""), 0);
  EXPECT_EQ(compare_bytes("", "a"), -1);
  EXPECT_EQ(compare_bytes("a", ""), 1);
  EXPECT_EQ(compare_bytes("abc", "abc"), 0);
  EXPECT_EQ(compare_bytes("abc", "abd"), -1);
  EXPECT_EQ(compare_bytes("ab", "abc"), -1);
  // Bytes compare unsigned: 0x80 sorts after 'z'.
  EXPECT_EQ(compare_bytes("\x80", "z"), 1);
  EXPECT_EQ(compare_bytes("a", "A"), 1);
}

TEST(CompareText, FoldsCaseOnlyWhenAsked) {
  EXPECT_EQ(compare_text("ADB.EXE", "adb.exe", false), 0);
  EXPECT_NE(compare_text("ADB.EXE", "adb.exe", true), 0);
  EXPECT_EQ(compare_text("adb.exe", "adb.exe", true), 0);
  EXPECT_EQ(compare_text("adb.ex", "adb.exe", false), -1);
  EXPECT_EQ(compare_text("adb.exe", "adb.ex", false), 1);
  EXPECT_EQ(compare_text("a", "b", false), -1);
  // Full-width A (A3 C1) and a (A3 E1) are the same letter without case.
  EXPECT_EQ(compare_text("\xA3\xC1", "\xA3\xE1", false), 0);
  EXPECT_NE(compare_text("\xA3\xC1", "\xA3\xE1", true), 0);
  // Two-byte characters compare as whole characters: D6 D0 > B0 A1.
  EXPECT_EQ(compare_text(kZhong, "\xB0\xA1", true), 1);
  // A lead byte without its second byte counts as the end.
  EXPECT_EQ(compare_text("ab\xB0", "ab", true), 0);
}

TEST(ToText, NumbersAndFields) {
  EXPECT_EQ(to_text(-7), "-7");
  EXPECT_EQ(to_text(0), "0");
  EXPECT_EQ(to_text(5.0), "5");
  EXPECT_EQ(to_text(101.0), "101");
  EXPECT_EQ(to_text(0.5), "0.5");
  EXPECT_EQ(to_text(1e13), "1e+13");
  char field[8] = {'a', 'd', 'b', 0, 'x', 'y', 0, 0};
  EXPECT_EQ(to_text(field, sizeof field), "adb");
  char full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(to_text(full, sizeof full), "abc");
  EXPECT_EQ(concat_text("a", "", "c"), "ac");
}

}  // namespace
