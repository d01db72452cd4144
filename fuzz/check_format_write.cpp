// Random format texts through the parser, and every format that parses
// written with values of its data items' kinds: twice to a file that held
// older content, through output buffers of several sizes, and once to an
// in-memory record of exactly the needed width (when the format has no
// record end). Nothing may reach outside its buffer, and the output must be
// what a plain walk of the items gives.
//
// Input: a flags byte, two bytes of format length, the format text, then
// the values' bytes.
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "checks.hpp"
#include "scratch.hpp"
#include "textio/connections/connection_table.hpp"
#include "textio/files/closing.hpp"
#include "textio/files/opening.hpp"
#include "textio/numbers/write_number.hpp"
#include "textio/records/format.hpp"
#include "textio/records/record.hpp"

namespace wexla::fuzz {
namespace {

constexpr int kUnit = 11;
constexpr std::size_t kCapacities[4] = {kBufferSize, 1, 7, 100};
constexpr std::size_t kThresholds[4] = {kFlushThreshold, 0, 3, 64};

struct Bytes {
  const std::uint8_t* at;
  const std::uint8_t* end;
  std::uint8_t next() { return at < end ? *at++ : 0x5A; }
  std::uint32_t next32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | next();
    return v;
  }
};

struct Value {
  ItemKind kind = ItemKind::text;
  std::string text;
  std::int32_t integer = 0;
  float real = 0.0f;
};

std::string check_parsed(const Format& f, std::size_t source_size) {
  if (!f.ok()) {
    if (*f.error == '\0') return "an error without a reason";
    if (f.error_at > source_size) return "an error position past the text";
    return {};
  }
  if (f.count > kMaxFormatItems || f.text_used > kMaxFormatText) return "counts past the bounds";
  for (std::size_t i = 0; i < f.count; ++i) {
    const FormatItem& item = f.items[i];
    switch (item.kind) {
      case ItemKind::literal:
        if (item.text_at + item.text_length > f.text_used) return "a literal past the text";
        break;
      case ItemKind::skip:
        if (item.width > kMaxSkip) return "a count past the bound";
        break;
      case ItemKind::slash:
      case ItemKind::dollar:
        break;
      case ItemKind::text:
        if (item.has_width && (item.width == 0 || item.width > kMaxTextWidth)) {
          return "a bad A width";
        }
        break;
      case ItemKind::integer:
      case ItemKind::general:
      case ItemKind::fixed:
        if (item.width == 0 || item.width > kNumberFieldLimit || item.digits > kNumberFieldLimit) {
          return "a bad number width";
        }
        break;
      default:
        return "an unknown item kind";
    }
  }
  return {};
}

// The bytes one statement gives: records joined by line feeds, with a last
// line feed unless a "$" was met.
std::string expected_output(const Format& f, const std::vector<Value>& values, bool* keep) {
  std::string out;
  std::size_t pending = 0;
  std::size_t next_value = 0;
  auto text = [&](std::string_view piece) {
    out.append(pending, ' ');
    pending = 0;
    out += piece;
  };
  *keep = false;
  for (std::size_t i = 0; i < f.count; ++i) {
    const FormatItem& item = f.items[i];
    char field[kNumberFieldLimit];
    switch (item.kind) {
      case ItemKind::literal:
        text(f.literal(item));
        break;
      case ItemKind::skip:
        pending += item.width;
        break;
      case ItemKind::slash:
        pending = 0;
        out += '\n';
        break;
      case ItemKind::dollar:
        *keep = true;
        break;
      case ItemKind::text: {
        const std::string& v = values[next_value++].text;
        if (!item.has_width) {
          text(v);
        } else if (v.size() >= item.width) {
          text(std::string_view(v).substr(0, item.width));
        } else {
          text(std::string(item.width - v.size(), ' ') + v);
        }
        break;
      }
      case ItemKind::integer:
        write_decimal(field, item.width, item.has_digits ? item.digits : -1,
                      values[next_value++].integer);
        text({field, item.width});
        break;
      case ItemKind::general:
        get_float_string(field, item.width, item.digits, values[next_value++].real);
        text({field, item.width});
        break;
      case ItemKind::fixed:
        get_fixed_string(field, item.width, item.digits, values[next_value++].real);
        text({field, item.width});
        break;
    }
  }
  if (!*keep) out += '\n';
  return out;
}

template <class Sink>
void write_statement(WriteStatement<Sink> s, const std::vector<Value>& values) {
  for (const Value& v : values) {
    if (v.kind == ItemKind::text) {
      write_text(s, v.text);
    } else if (v.kind == ItemKind::integer) {
      write_integer(s, v.integer);
    } else {
      write_real(s, v.real);
    }
  }
  end_write(s);
}

}  // namespace

std::string check_format_write(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return {};
  std::uint8_t flags = data[0];
  std::size_t length = std::min<std::size_t>(data[1] | (data[2] & 3) << 8, size - 3);
  // An exact-size copy, so that a read past the text is caught.
  std::vector<char> source(data + 3, data + 3 + length);
  Format f = parse_format(std::string_view(source.data(), source.size()));
  if (std::string why = check_parsed(f, source.size()); !why.empty()) {
    return "format " + shown({source.data(), source.size()}) + ": " + why;
  }
  if (!f.ok()) return {};

  Bytes in{data + 3 + length, data + size};
  std::vector<Value> values;
  bool has_slash = false;
  for (std::size_t i = 0; i < f.count; ++i) {
    const FormatItem& item = f.items[i];
    has_slash = has_slash || item.kind == ItemKind::slash;
    if (!item.is_data()) continue;
    Value v;
    v.kind = item.kind;
    if (item.kind == ItemKind::text) {
      std::uint8_t n = in.next();
      std::size_t text_length = n == 0xFF ? 9000 : n;
      for (std::size_t k = 0; k < text_length; ++k) v.text += static_cast<char>(in.next());
    } else if (item.kind == ItemKind::integer) {
      v.integer = static_cast<std::int32_t>(in.next32());
    } else {
      v.real = std::bit_cast<float>(in.next32());
    }
    values.push_back(std::move(v));
  }
  bool keep = false;
  std::string want = expected_output(f, values, &keep);
  std::string head = "format " + shown({source.data(), source.size()}) + ": ";

  // Twice to a file that held older content: the first statement cuts it.
  std::string path = scratch_dir() + "/format.out";
  write_file(path, std::string(std::size_t{in.next()} * 61, 'o'));
  open_connection(kUnit, path, OpenStatus::unknown);
  set_output_buffer(*find_connection(kUnit), kCapacities[flags & 3], kThresholds[(flags >> 2) & 3]);
  for (int round = 0; round < 2; ++round) write_statement(begin_write(kUnit, f), values);
  close_connection(kUnit);
  std::string file = read_file(path);
  if (file != want + want) {
    return head + "the file holds " + shown(file.substr(0, 200)) + ", want " +
           shown((want + want).substr(0, 200));
  }

  // An in-memory record of exactly the record's width, plus a few blanks.
  if (has_slash) return {};
  std::string record = keep ? want : want.substr(0, want.size() - 1);
  std::size_t spare = (flags >> 4) & 3;
  if (record.empty() && spare == 0) spare = 1;
  std::vector<char> memory(record.size() + spare, '#');
  write_statement(begin_write(std::span<char>(memory), f), values);
  record.append(spare, ' ');
  if (std::string_view(memory.data(), memory.size()) != record) {
    return head + "the in-memory record holds " +
           shown({memory.data(), std::min<std::size_t>(memory.size(), 200)}) + ", want " +
           shown(record.substr(0, 200));
  }
  return {};
}

}  // namespace wexla::fuzz
