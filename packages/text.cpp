#include "packages/text.h"

#include <algorithm>
#include <cstdio>

namespace {

bool is_wide_start(unsigned char byte) { return byte >= 0x80; }

// Lead bytes of code page 936.
bool is_lead_byte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Upper-cases the two-byte letters of code page 936 that have a case: full-width Latin
// (row A3), Greek (row A6) and Cyrillic (row A7).
unsigned fold_wide(unsigned ch) {
  unsigned lead = ch >> 8, trail = ch & 0xFF;
  if (lead == 0xA3 && trail >= 0xE1 && trail <= 0xFA) return ch - 0x20;
  if (lead == 0xA6 && trail >= 0xC1 && trail <= 0xD8) return ch - 0x20;
  if (lead == 0xA7 && trail >= 0xD1 && trail <= 0xF1) return ch - 0x30;
  return ch;
}

// Reads one character at i; returns 0 at the end of the text (a lead byte without a
// second byte counts as the end).
unsigned next_char(std::string_view text, size_t& i, bool case_sensitive) {
  if (i >= text.size()) return 0;
  unsigned char byte = text[i];
  if (is_lead_byte(byte)) {
    if (i + 1 >= text.size() || text[i + 1] == '\0') return 0;
    unsigned ch = byte * 256u + static_cast<unsigned char>(text[i + 1]);
    i += 2;
    return case_sensitive ? ch : fold_wide(ch);
  }
  ++i;
  if (!case_sensitive && byte >= 'A' && byte <= 'Z') byte = byte - 'A' + 'a';
  return byte;
}

}  // namespace

int text_length(std::string_view text) { return static_cast<int>(text.size()); }

std::string concat_text(std::string_view a, std::string_view b, std::string_view c) {
  std::string result;
  result.reserve(a.size() + b.size() + c.size());
  result.append(a).append(b).append(c);
  return result;
}

std::string right_text(std::string_view text, int n) {
  if (n <= 0) return {};
  size_t k = std::min(static_cast<size_t>(n), text.size());
  return std::string(text.substr(text.size() - k));
}

int find_text(std::string_view text, std::string_view sought) {
  if (sought.empty()) return text.empty() ? -1 : 1;
  size_t q = 0;
  while (text.size() - q >= sought.size()) {
    if (text.compare(q, sought.size(), sought) == 0) return static_cast<int>(q) + 1;
    if (is_wide_start(text[q])) {
      if (q + 1 == text.size()) return -1;
      q += 2;
    } else {
      q += 1;
    }
  }
  return -1;
}

TextArray split_text(std::string_view text, std::string_view separator) {
  TextArray parts;
  if (text.empty()) return parts;
  if (separator.empty()) return {std::string(text)};
  size_t start = 0, q = 0;
  while (text.size() - q >= separator.size()) {
    if (text.compare(q, separator.size(), separator) == 0) {
      parts.emplace_back(text.substr(start, q - start));
      q += separator.size();
      start = q;
    } else if (is_wide_start(text[q])) {
      if (q + 1 == text.size()) break;
      q += 2;
    } else {
      q += 1;
    }
  }
  if (start < text.size()) parts.emplace_back(text.substr(start));
  return parts;
}

int element_count(const TextArray& array) { return static_cast<int>(array.size()); }

std::string_view trim_blanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int compare_bytes(std::string_view a, std::string_view b) {
  int c = a.compare(b);  // std::char_traits<char>::compare compares as unsigned char
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int compare_text(std::string_view a, std::string_view b, bool case_sensitive) {
  size_t i = 0, j = 0;
  for (;;) {
    unsigned x = next_char(a, i, case_sensitive);
    unsigned y = next_char(b, j, case_sensitive);
    if (x != y) return x > y ? 1 : -1;
    if (x == 0) return 0;
  }
}

std::string to_text(int value) { return std::to_string(value); }

std::string to_text(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.13g", value);
  return buffer;
}

std::string to_text(const char* field, size_t size) {
  size_t n = 0;
  while (n < size && field[n] != '\0') ++n;
  return std::string(field, n);
}
