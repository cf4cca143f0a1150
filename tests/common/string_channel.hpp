// A byte channel in memory, for the tests, benchmarks and fuzz targets of the record I/O
// layer and of the programs on it.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "record_io/byte_channel.hpp"

namespace record_io {

// A channel over strings: reads come from `input`, writes go to `output`, and reads, writes
// and cuts fail when a test says so.
class StringChannel final : public ByteChannel {
 public:
  explicit StringChannel(std::string input = {}, bool interactive = false)
      : input_(std::move(input)), interactive_(interactive) {}

  long read(char* buffer, std::size_t size) override {
    if (read_error_ != 0) {
      errno = read_error_;
      return -1;
    }
    if (reinterpret_cast<std::uintptr_t>(buffer) % 64 != 0) ++unaligned_reads_;
    std::size_t n = std::min({size, read_chunk_, input_.size() - read_pos_});
    std::memcpy(buffer, input_.data() + read_pos_, n);
    read_pos_ += n;
    return static_cast<long>(n);
  }
  std::size_t write(const char* data, std::size_t size) override {
    ++writes_;
    if (write_error_ != 0) {
      errno = write_error_;
      return 0;
    }
    output_.append(data, size);
    write_sizes_.push_back(size);
    return size;
  }
  bool interactive() const override { return interactive_; }
  bool cut() override {
    if (cut_error_ == 0) return true;
    errno = cut_error_;
    return false;
  }
  bool close() override { return true; }
  std::size_t buffer_size() const override { return read_chunk_; }
  std::string_view line_end() const override { return line_end_; }

  const std::string& output() const { return output_; }
  // Records written end with "\r\n" (true) or "\n".
  void set_crlf(bool crlf) { line_end_ = crlf ? "\r\n" : "\n"; }
  // Reads hand out at most n bytes at a time (n >= 1), to exercise buffer refills.
  void set_read_chunk(std::size_t n) { read_chunk_ = n; }
  // From now on reads, writes (or cuts) fail with this errno; 0 lets them succeed again.
  void fail_reads(int error) { read_error_ = error; }
  void fail_writes(int error) { write_error_ = error; }
  void fail_cut(int error) { cut_error_ = error; }
  // Number of write calls that reached the channel.
  int writes() const { return writes_; }
  // The sizes of the writes that succeeded, in order.
  const std::vector<std::size_t>& write_sizes() const { return write_sizes_; }
  // Number of reads into a buffer at an address that is not a multiple of 64.
  int unaligned_reads() const { return unaligned_reads_; }

 private:
  std::string input_;
  std::size_t read_pos_ = 0;
  std::string output_;
  bool interactive_;
  std::size_t read_chunk_ = 64 * 1024;
  int read_error_ = 0;
  int write_error_ = 0;
  int cut_error_ = 0;
  int writes_ = 0;
  std::vector<std::size_t> write_sizes_;
  int unaligned_reads_ = 0;
  std::string_view line_end_ = "\n";
};

}  // namespace record_io
