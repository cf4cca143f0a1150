#include "record_io/errors.hpp"

namespace record_io {

const char* message_text(int number) {
  switch (number) {
    case error_in_format:
      return "error in format";
    case illegal_unit_number:
      return "illegal unit number";
    case null_file_name:
      return "null file name";
    case truncation_failed:
      return "truncation failed in endfile";
    case incomprehensible_list_input:
      return "incomprehensible list input";
    case out_of_free_space:
      return "out of free space";
    case unit_not_connected:
      return "unit not connected";
    case read_unexpected_character:
      return "read unexpected character";
    case cant_write_file:
      return "can't write file";
    default:
      return nullptr;
  }
}

}  // namespace record_io
