// Byte-text primitives. Texts are byte strings in the ANSI code page (GBK, code page 936):
// lengths and positions count bytes, positions start at 1. Searching and splitting step over
// two-byte characters (a byte of 0x80 or above and the byte after it) as one unit, so a match
// never starts on the second byte of a character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using TextArray = std::vector<std::string>;

int text_length(std::string_view text);
std::string concat_text(std::string_view a, std::string_view b, std::string_view c = {});

/// The last n bytes (all of them when n exceeds the length, none when n <= 0).
/// Character boundaries are not respected.
std::string right_text(std::string_view text, int n);

/// 1-based position of the first occurrence of sought that starts on a character, or -1.
/// An empty sought text is found at 1 in any non-empty text.
int find_text(std::string_view text, std::string_view sought);

/// Splits at every occurrence of separator that starts on a character. Inner empty parts
/// stay; an empty remainder after the last separator gives no element.
TextArray split_text(std::string_view text, std::string_view separator);
int element_count(const TextArray& array);

/// The text without the blanks (' ') at both ends.
std::string_view trim_blanks(std::string_view text);

/// Unsigned byte comparison: -1, 0 or +1.
int compare_bytes(std::string_view a, std::string_view b);

/// Character comparison in code page 936: -1, 0 or +1. Without case_sensitive, one-byte
/// letters fold to lower case and two-byte letters (full-width Latin, Greek, Cyrillic) to
/// upper case, as the system's mapping does.
int compare_text(std::string_view a, std::string_view b, bool case_sensitive);

std::string to_text(int value);     // "%d"
std::string to_text(double value);  // "%.13g"
/// The bytes of a fixed-size field up to its first zero byte.
std::string to_text(const char* field, size_t size);
