// The real number input field: the field text rewritten into a plain
// decimal text, or refused, and converted to the nearest single-precision
// value.
#include "textio/numbers/read_real.hpp"

#include <bit>
#include <cfenv>
#include <cstdint>
#include <cstdlib>

#include "textio/numbers/number_field.hpp"
#include "textio/text/characters.hpp"

namespace wexla {
namespace {

constexpr int kMaxExponent = 9999;
// A written exponent is held up to this bound, so that subtracting any d a
// format allows (at most 256) cannot bring a huge one back within range.
constexpr long kExponentCap = 1000000000;

// The canonical text under construction; a field of w characters never
// needs more than w + 11 of them.
struct Canonical {
  char text[kNumberFieldLimit + 16];
  std::size_t length = 0;
  void add(char c) { text[length++] = c; }
  const char* c_str() {
    text[length] = '\0';
    return text;
  }
};

// An infinity or NaN: the word "inf", "infinity" or "nan", the latter with an
// optional parenthesised run of letters and digits.
bool read_special(std::string_view rest, Canonical& out, float& target) {
  std::size_t word_end = std::string_view::npos;
  int opened = 0;
  bool closed = false;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '(') {
      if (word_end == std::string_view::npos) word_end = i;
      ++opened;
    } else if (c == ')') {
      if (opened != 1 || closed) return false;
      closed = true;
    } else if (c == ' ') {
      if (opened > 0 && !closed) return false;
      if (word_end == std::string_view::npos) word_end = i;
    } else if (!is_letter(c) && !is_digit(c)) {
      return false;
    }
  }
  if (opened > 1 || (opened == 1 && !closed)) return false;
  std::string_view word = rest.substr(0, word_end);
  char lowered[8];
  if (word.size() > sizeof lowered) return false;
  for (std::size_t i = 0; i < word.size(); ++i) lowered[i] = to_lower(word[i]);
  std::string_view w{lowered, word.size()};
  if (w == "inf" || w == "infinity") {
    if (opened > 0) return false;
  } else if (w != "nan") {
    return false;
  }
  for (char c : w) out.add(c);
  convert_infnan({out.text, out.length}, target);
  return true;
}

}  // namespace

bool read_real_field(std::string_view field, int d, float& target) {
  std::size_t at = 0;
  auto skip_blanks = [&] {
    while (at < field.size() && field[at] == ' ') ++at;
  };
  skip_blanks();
  if (at == field.size()) {
    target = 0.0f;
    return true;
  }
  if (field.size() - at > kNumberFieldLimit) return false;

  Canonical out;
  if (field[at] == '+' || field[at] == '-') {
    if (field[at] == '-') out.add('-');
    ++at;
    skip_blanks();
    if (at == field.size()) {
      target = 0.0f;  // a lone sign reads as positive zero
      return true;
    }
  }

  char first = field[at];
  if (field.size() - at >= 3 && (first == 'i' || first == 'I' || first == 'n' || first == 'N')) {
    return read_special(field.substr(at), out, target);
  }

  // Mantissa.
  bool seen_point = false;
  bool digit_seen = false;
  bool digit_after_point = false;
  bool has_exponent = false;
  bool exponent_letter = false;
  int exponent_sign = 1;
  for (; at < field.size(); ++at) {
    char c = field[at];
    if (is_digit(c)) {
      out.add(c);
      digit_seen = true;
      if (seen_point) digit_after_point = true;
    } else if (c == '.') {
      if (seen_point) return false;
      if (!digit_seen) out.add('0');
      out.add('.');
      seen_point = true;
    } else if (c == ' ') {
      continue;
    } else if (c == '+' || c == '-') {
      has_exponent = true;
      exponent_sign = c == '-' ? -1 : 1;
      ++at;
      break;
    } else if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q') {
      has_exponent = true;
      exponent_letter = true;
      ++at;
      break;
    } else {
      return false;
    }
  }

  // Exponent.
  long exponent = 0;
  if (has_exponent) {
    if (exponent_letter) {
      skip_blanks();
      if (at == field.size()) return false;
      if (field[at] == '+' || field[at] == '-') {
        exponent_sign = field[at] == '-' ? -1 : 1;
        ++at;
        if (at == field.size()) return false;
      }
    } else if (at == field.size()) {
      return false;
    }
    for (; at < field.size(); ++at) {
      char c = field[at];
      if (is_digit(c)) {
        exponent = exponent * 10 + (c - '0');
        if (exponent > kExponentCap) exponent = kExponentCap;  // refused below
      } else if (c != ' ') {
        return false;
      }
    }
    exponent *= exponent_sign;
  }
  if (!seen_point) exponent -= d;

  if (seen_point && !digit_after_point) {
    out.add('0');
  } else if (!digit_seen) {
    out.add('0');
  }

  if (exponent != 0) {
    long magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude > kMaxExponent) return false;
    out.add('e');
    if (exponent < 0) out.add('-');
    out.add(static_cast<char>('0' + magnitude / 1000));
    out.add(static_cast<char>('0' + magnitude / 100 % 10));
    out.add(static_cast<char>('0' + magnitude / 10 % 10));
    out.add(static_cast<char>('0' + magnitude % 10));
  }
  convert_real(out.c_str(), target);
  return true;
}

void convert_real(const char* canonical, float& target) {
  // The program never sets a locale, so "." is the decimal mark here.
  int previous = std::fegetround();
  std::fesetround(FE_TONEAREST);
  float value = std::strtof(canonical, nullptr);
  std::fesetround(previous);
  target = value;
}

void convert_infnan(std::string_view canonical, float& target) {
  bool negative = !canonical.empty() && canonical.front() == '-';
  if (negative) canonical.remove_prefix(1);
  std::uint32_t bits = canonical.starts_with("nan") ? 0x7FC00000u : 0x7F800000u;
  if (negative) bits |= 0x80000000u;
  target = std::bit_cast<float>(bits);
}

}  // namespace wexla
