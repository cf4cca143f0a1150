// Error numbers of the record I/O layer and the texts that go with them.
#pragma once

namespace record_io {

// The layer's own failures: the end of an input, and errors numbered from 100 up. A
// failure of the system is known by the C runtime's error number instead (Failure).
enum ErrorNumber : int {
  end_of_file = -1,
  error_in_format = 100,              // a format text that cannot be parsed
  illegal_unit_number = 101,          // a unit number outside 0..99
  null_file_name = 107,               // a file name of blanks only
  truncation_failed = 111,            // a written file could not be cut at close
  incomprehensible_list_input = 112,  // a list-directed value that cannot be read
  out_of_free_space = 113,            // memory ran out
  unit_not_connected = 114,           // a statement on a unit that has no file
  read_unexpected_character = 115,    // a character that does not belong in a number field
  cant_write_file = 127,              // a write on a unit that cannot be written
};

// A failure: what went wrong and the step that failed ("open", "fmt", "list in", ...).
struct Failure {
  bool system;  // number is the C runtime's error number (errno), whatever its value
  int number;   // otherwise an ErrorNumber
  const char* context;

  static Failure of_system(int error, const char* context) { return {true, error, context}; }
  static Failure of_layer(ErrorNumber number, const char* context) {
    return {false, number, context};
  }
};

// The layer's own message for number (100 and up); nullptr for an unknown number.
const char* message_text(int number);

}  // namespace record_io
