// The independent oracle of the real-number reader: which field texts are
// accepted, and the exact value of each.
#include "real_oracle.hpp"

#include <algorithm>
#include <string>

#include "nearest_binary32.hpp"

namespace wexla::fuzz {
namespace {

constexpr std::uint32_t kSign = 0x80000000u;

bool is_alnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

OracleReal refused() {
  return {};
}
OracleReal value(std::uint32_t bits) {
  return {true, bits};
}

// "inf", "infinity" or "nan" with an optional "(letters and digits)" after
// nan; a blank ends the word and anything alphanumeric may follow it.
OracleReal special(std::string_view rest, bool negative) {
  std::size_t open = rest.find('(');
  std::size_t close = rest.find(')');
  std::size_t opens = 0, closes = 0;
  for (char c : rest) {
    if (c == '(') {
      ++opens;
    } else if (c == ')') {
      ++closes;
    } else if (c != ' ' && !is_alnum(c)) {
      return refused();
    }
  }
  if (opens > 1 || closes > 1 || opens != closes) return refused();
  if (opens == 1) {
    if (close < open) return refused();
    if (rest.substr(open, close - open).find(' ') != std::string_view::npos) return refused();
  }
  std::string word = lowered(rest.substr(0, std::min(rest.find(' '), open)));
  std::uint32_t sign = negative ? kSign : 0;
  if ((word == "inf" || word == "infinity") && opens == 0) return value(0x7F800000u | sign);
  if (word == "nan") return value(0x7FC00000u | sign);
  return refused();
}

std::string without_blanks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

bool all_digits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The decimal exponent's digits, or nullopt-like -1 when the field breaks
// the exponent rules. Too many digits gives a huge sentinel.
long long exponent_value(const std::string& digits) {
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (digits.size() - first > 9) return 1000000000LL;
  return std::stoll(digits.substr(first));
}

}  // namespace

OracleReal oracle_read_real(std::string_view field, int d) {
  std::size_t start = field.find_first_not_of(' ');
  if (start == std::string_view::npos) return value(0);
  std::string_view rest = field.substr(start);
  bool negative = false;
  if (rest.front() == '+' || rest.front() == '-') {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
    std::size_t more = rest.find_first_not_of(' ');
    if (more == std::string_view::npos) return value(0);  // a sign alone is +0
    rest.remove_prefix(more);
  }
  if (rest.size() >= 3) {
    char c = lowered(rest.substr(0, 1))[0];
    if (c == 'i' || c == 'n') return special(rest, negative);
  }

  // Split at the first character that starts an exponent.
  std::size_t split = rest.find_first_of("+-eEdDqQ");
  std::string mantissa = without_blanks(rest.substr(0, split));
  std::size_t point = mantissa.find('.');
  std::string whole = mantissa.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : mantissa.substr(point + 1);
  if (!all_digits(whole) || !all_digits(fraction)) return refused();

  long long exponent = 0;
  if (split != std::string_view::npos) {
    char starter = rest[split];
    std::string_view after = rest.substr(split + 1);
    bool minus = starter == '-';
    if (starter != '+' && starter != '-') {
      std::size_t sign_at = after.find_first_not_of(' ');
      if (sign_at == std::string_view::npos) return refused();
      after.remove_prefix(sign_at);
      if (after.front() == '+' || after.front() == '-') {
        minus = after.front() == '-';
        after.remove_prefix(1);
        if (after.empty()) return refused();
      }
    } else if (after.empty()) {
      return refused();
    }
    std::string digits = without_blanks(after);
    if (!all_digits(digits)) return refused();
    exponent = exponent_value(digits);
    if (minus) exponent = -exponent;
  }
  if (point == std::string::npos) exponent -= d;
  if (exponent > 9999 || exponent < -9999) return refused();

  // Value = digits * 10^(exponent - fraction digits).
  long long scale = exponent - static_cast<long long>(fraction.size());
  return value(nearest_binary32(whole + fraction, scale, negative));
}

}  // namespace wexla::fuzz
