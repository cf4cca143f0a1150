// Error numbers of the record I/O layer and the texts that go with them.
#pragma once

namespace record_io {

// A failure is known by a number and a context naming the step that failed.
// Numbers below 100 are the C runtime's error numbers (errno); end_of_file is -1;
// the layer's own errors are numbered from 100 up.
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

struct Failure {
  int number;           // an ErrorNumber, or an errno value below 100
  const char* context;  // the step that failed: "open", "fmt", "list in", ...
};

// The layer's own message for number (100 and up); nullptr for an unknown number.
const char* message_text(int number);

}  // namespace record_io
