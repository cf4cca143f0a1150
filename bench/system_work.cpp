// The system's part of a merge without the merge: what any program that merges these
// files must have the system do, done as peer-merge has it done.
//
//   system_work POINTS OUTPUT INPUT...
//
// Each INPUT is read whole, in reads of the size the record reader asks for to an address
// aligned as its reads are, and an array of POINTS zeroed singles is made for it and given
// a value at every element. Then POINTS combined records of the width peer-merge writes
// go to OUTPUT as peer-merge writes its result: the file opened (made when missing), a
// temporary file beside it handed the whole pages the record writer hands over, and put
// in its place. The time this takes is the least a merge of the same files can take on
// this machine, whatever its own code does. Exits 1 when something fails.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_channel.hpp"
#include "record_io/file_replacement.hpp"
#include "record_io/text_reader.hpp"
#include "record_io/text_writer.hpp"
#include "record_io/zeroed_memory.hpp"

namespace {

int fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "system_work: %s %s: %s\n", what, name.c_str(), std::strerror(errno));
  return 1;
}

// The combined file's record of four zeros, as peer-merge writes it.
constexpr std::string_view zero_record = "  0.000,     0.000,     0.000,     0.000";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: system_work POINTS OUTPUT INPUT...\n");
    return 2;
  }
  char* points_end = nullptr;
  const unsigned long points = std::strtoul(argv[1], &points_end, 10);
  if (*points_end != '\0' || points == 0 || points > 999999) {
    std::fprintf(stderr, "system_work: POINTS takes 1 to 999999\n");
    return 2;
  }
  // Reads land at an address aligned as the record reader aligns them.
  constexpr std::size_t alignment = record_io::TextReader::read_alignment;
  std::vector<char> storage(record_io::TextReader::transfer_size + alignment);
  char* buffer =
      storage.data() + (-reinterpret_cast<std::uintptr_t>(storage.data()) & (alignment - 1));
  std::vector<float*> arrays;
  for (int i = 3; i < argc; ++i) {
    record_io::OpenedInput input = record_io::open_input(argv[i]);
    if (!input.channel) return errno = input.error, fail("cannot open", argv[i]);
    long got = 0;
    std::size_t bytes = 0;
    while ((got = input.channel->read(buffer, record_io::TextReader::read_size)) > 0) {
      bytes += static_cast<std::size_t>(got);
    }
    if (got < 0) return fail("cannot read", argv[i]);
    input.channel->close();
    auto* values = static_cast<float*>(record_io::allocate_zeroed(points, sizeof(float)));
    if (values == nullptr) return fail("no memory for", argv[i]);
    for (std::size_t k = 0; k < points; ++k) values[k] = static_cast<float>(k ^ bytes);
    arrays.push_back(values);
  }
  // The records are made of every array's values.
  float checksum = 0;
  for (std::size_t k = 0; k < points; ++k) {
    for (const float* values : arrays) checksum += values[k];
  }

  const std::string output = argv[2];
  record_io::OpenedFile file = record_io::open_file(output, record_io::OpenStatus::unknown);
  if (!file.channel) return errno = file.error, fail("cannot open", output);
  record_io::FileReplacement replacement(output, file.channel->identity());
  if (replacement.error() != 0) return errno = replacement.error(), fail("cannot write", output);
  record_io::ByteChannel& out = replacement.in_place() ? *file.channel : replacement.channel();
  // The whole pages of a buffer full of records, and what is left at the end; each write
  // goes on with the records where the one before stopped.
  const std::string record = std::string(zero_record) + std::string(out.line_end());
  constexpr std::size_t page = record_io::TextWriter::page_size;
  const std::size_t chunk = (record_io::TextWriter::transfer_size - record.size()) / page * page;
  std::string records;
  while (records.size() < chunk + record.size()) records += record;
  const std::size_t total = points * record.size();
  for (std::size_t written = 0; written < total;) {
    const std::size_t size = total - written < chunk ? total - written : chunk;
    if (out.write(records.data() + written % record.size(), size) != size) {
      return fail("cannot write", output);
    }
    written += size;
  }
  if (!replacement.commit(false, file.channel.get())) return fail("cannot replace", output);
  for (float* values : arrays) record_io::free_zeroed(values);
  return checksum == -1.0f ? 1 : 0;  // the arrays' values are used
}
