// List-directed output statements: the console records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "record_io/runtime.hpp"

namespace record_io {

class RecordBuffer;
class Unit;

// One list-directed write statement. An item starts a new record when the record's length
// and the item's (for an integer its digits, without the blank and the sign before them)
// would reach 80 columns; an item is never split, so an integer can end in column 80 or 81,
// and an item longer than a record stands on one of its own. Each record is handed to the
// unit, which ends it with its line end. A statement without items writes an empty record.
//
//   ListWrite(io, 6).text("Number of Points & Dt (s) =").integer(nt).real(dt).end();
class ListWrite {
 public:
  ListWrite(Runtime& io, int unit);
  // The characters as they stand, after one blank when the item starts the record.
  ListWrite& text(std::string_view s);
  // A blank, a "-" when negative, the digits.
  ListWrite& integer(std::int32_t v);
  // A blank, a "-" or a second blank, then 0. for zero, or the 9-significant-digit form of
  // "%.9G" with a decimal point added when it has none ("1.", "100.", "0.00999999978",
  // "9.99999997E-07"); INF and NAN for the others.
  ListWrite& real(float v);
  void end();

 private:
  void make_room(std::size_t length);

  RuntimeCore& io_;
  Unit& unit_;
  RecordBuffer& record_;
};

}  // namespace record_io
