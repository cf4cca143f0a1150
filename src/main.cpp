// Process entry: start the record I/O layer, then run the program body.
#include <new>

#include "merge_driver.hpp"
#include "record_io/startup.hpp"

int main() {
  record_io::Runtime& io = record_io::start_process();
  try {
    MAIN__(io);
  } catch (const std::bad_alloc&) {
    io.fail(record_io::out_of_free_space, "memory");
  }
}
