// Fuzz target for the byte-text primitives: each result is compared with the plain model of
// model.h. Input: byte 0 is where the rest splits into text a and text b, byte 1 the count
// for right_text. Texts hold no zero bytes (they come from window controls), so those are
// dropped.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "packages/text.h"
#include "tests/fuzz/model.h"

namespace {

std::string without_zero_bytes(const uint8_t* data, size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i)
    if (data[i] != 0) text.push_back(static_cast<char>(data[i]));
  return text;
}

std::string one_byte_characters(const std::string& text) {
  std::string kept;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x80) kept.push_back(c);
  return kept;
}

std::string swap_case(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The count byte as a signed number, with its two extremes standing for the int range's.
int count_from(uint8_t byte) {
  if (byte == 0x7F) return INT_MAX;
  if (byte == 0x80) return INT_MIN;
  return static_cast<int8_t>(byte);
}

void check_search(const std::string& text, const std::string& sought) {
  model::check(find_text(text, sought) == model::find(text, sought), "find_text");
  model::check(split_text(text, sought) == model::split(text, sought), "split_text");
}

void check_comparisons(const std::string& a, const std::string& b) {
  model::check(compare_bytes(a, b) == model::compare_unsigned(a, b), "compare_bytes");
  for (bool case_sensitive : {true, false}) {
    // Any texts: the order is antisymmetric and a text equals itself.
    int ab = compare_text(a, b, case_sensitive);
    model::check(ab >= -1 && ab <= 1 && ab == -compare_text(b, a, case_sensitive),
                 "compare_text antisymmetry");
    model::check(compare_text(a, a, case_sensitive) == 0, "compare_text reflexivity");

    std::string x = one_byte_characters(a), y = one_byte_characters(b);
    for (const std::string& other : {y, swap_case(x), x.substr(0, x.size() / 2)}) {
      model::check(compare_text(x, other, case_sensitive) ==
                       model::compare_one_byte_text(x, other, case_sensitive),
                   "compare_text on one-byte characters");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t rest = size - 2;
  size_t cut = data[0] < rest ? data[0] : rest;
  std::string a = without_zero_bytes(data + 2, cut);
  std::string b = without_zero_bytes(data + 2 + cut, rest - cut);
  int n = count_from(data[1]);

  check_search(a, "\r\n");
  check_search(a, b);
  check_search(b, a);
  check_search(a + b, b);

  model::check(right_text(a, n) == model::right(a, n), "right_text");
  model::check(right_text(a + b, n) == model::right(a + b, n), "right_text");

  check_comparisons(a, b);
  return 0;
}
