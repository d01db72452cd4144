// What both format walks share: the choice of the item for a value, and the
// failures a statement reports. The failures are kept out of line so that
// the checks on the path every statement takes stay small.
#include "textio/records/statement.hpp"

#include <cstdio>

#include "textio/ending/failure.hpp"

namespace wexla {
namespace {

const char* kind_name(ItemKind kind) {
  switch (kind) {
    case ItemKind::text:
      return "A";
    case ItemKind::integer:
      return "I";
    case ItemKind::general:
      return "G";
    case ItemKind::fixed:
      return "F";
    default:
      return "?";
  }
}

const char* value_name(ValueKind value) {
  switch (value) {
    case ValueKind::character:
      return "CHARACTER";
    case ValueKind::integer:
      return "INTEGER";
    default:
      return "REAL";
  }
}

bool takes(ItemKind kind, ValueKind value) {
  switch (value) {
    case ValueKind::character:
      return kind == ItemKind::text;
    case ValueKind::integer:
      return kind == ItemKind::integer;
    default:
      return kind == ItemKind::general || kind == ItemKind::fixed;
  }
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_no_item(int value_number, ConnectionRef connection,
                                                         Where where) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "No format item left for value %d", value_number);
  report_failure(where, connection, reason);
}

[[noreturn, gnu::noinline, gnu::cold]] void fail_item_kind(int value_number, ValueKind value,
                                                           ItemKind kind, ConnectionRef connection,
                                                           Where where) {
  char reason[96];
  std::snprintf(reason, sizeof reason, "Value %d is %s but its format item is %s", value_number,
                value_name(value), kind_name(kind));
  report_failure(where, connection, reason);
}

}  // namespace

void fail_not_connected(int number, Where where) {
  char reason[64];
  std::snprintf(reason, sizeof reason, "Unit %d is not connected", number);
  report_failure(where, {number, {}}, reason);
}

void fail_access(const Connection& c, Where where, bool writing) {
  report_failure(
      where, c.ref(),
      writing ? "Cannot write to file opened for READ" : "Cannot read from file opened for WRITE");
}

void fail_io(ConnectionRef connection, IoError e, Where where) {
  report_failure(where, connection, reason_text(e));
}

const FormatItem& data_item(FormatWalk& walk, ValueKind value, ConnectionRef connection) {
  ++walk.values;
  if (walk.next >= walk.format->count) fail_no_item(walk.values, connection, walk.where);
  const FormatItem& item = walk.format->items[walk.next];
  if (!takes(item.kind, value)) {
    fail_item_kind(walk.values, value, item.kind, connection, walk.where);
  }
  return item;
}

}  // namespace wexla
