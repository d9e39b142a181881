// Plain reference models of the text rules, for the fuzz targets to compare the core
// against. They favour being obviously right over being fast: a match is a substring check
// at each character start in turn.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// Stops the run with a note on stderr: libFuzzer then saves the input, and the replay
// program names the input file.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz model mismatch: %s\n", what);
  std::abort();
}
inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

// Width of the character that starts at i: a byte of 0x80 or above starts a two-byte
// character that takes the next byte with it (a last such byte is a character of its own).
inline size_t width_at(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
}

// 1-based position of the first character start where sought follows, or -1. An empty
// sought text matches at the first start, so the empty text never holds it.
inline int find(std::string_view text, std::string_view sought) {
  for (size_t start = 0; start < text.size(); start += width_at(text, start)) {
    if (start + sought.size() <= text.size() && text.substr(start, sought.size()) == sought)
      return static_cast<int>(start) + 1;
  }
  return -1;
}

// Splitting is finding the separator again and again in what is left: the walk over the
// characters starts afresh after each separator.
inline std::vector<std::string> split(std::string_view text, std::string_view separator) {
  if (text.empty()) return {};
  if (separator.empty()) return {std::string(text)};
  std::vector<std::string> parts;
  std::string_view rest = text;
  for (;;) {
    int at = find(rest, separator);
    if (at == -1) break;
    parts.emplace_back(rest.substr(0, at - 1));
    rest.remove_prefix(at - 1 + separator.size());
  }
  if (!rest.empty()) parts.emplace_back(rest);
  return parts;
}

// Keeps each byte that is among the last n.
inline std::string right(const std::string& text, int n) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i)
    if (n > 0 && text.size() - i <= static_cast<size_t>(n)) result.push_back(text[i]);
  return result;
}

inline int compare_unsigned(const std::string& a, const std::string& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    unsigned x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

inline std::string lower_ascii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// For texts of one-byte characters only.
inline int compare_one_byte_text(const std::string& a, const std::string& b, bool case_sensitive) {
  return case_sensitive ? compare_unsigned(a, b) : compare_unsigned(lower_ascii(a), lower_ascii(b));
}

}  // namespace model
