// The program's stages run in-process: samples, one component file, the combined file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "combined_records.hpp"
#include "combined_writer.hpp"
#include "component_reader.hpp"
#include "harness.hpp"
#include "record_io/list_read.hpp"
#include "sample_reader.hpp"

namespace {

using record_io::testing::Console;

std::vector<float> next_five(Console& console) {
  std::vector<float> v(5, -1.0f);
  record_io::ListRead(console.io(), 5).reals(v.data(), v.size()).end();
  return v;
}

TEST(ReadSamples, ReadsAllPointsFiveAStatement) {
  Console console("1 2 3 4 5\n6 7 8 99\n9 9 9 9 9\n");
  Samples x;
  read_samples(console.io(), 5, 7, x);
  EXPECT_EQ(x, (Samples{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(next_five(console), (std::vector<float>{9, 9, 9, 9, 9}));
}

TEST(ReadSamples, KeepsLongerArraysAndNullElements) {
  Console console("1,,3 4 5 9\n6\n");
  Samples x(10, 0.5f);
  read_samples(console.io(), 5, 6, x);
  EXPECT_EQ(x, (Samples{1, 0.5f, 3, 4, 5, 6, 0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST(ReadSamples, ReadsNothingForNoPoints) {
  for (std::int32_t nt : {0, -5}) {
    Console console("1 2 3 4 5\n");
    Samples x(3, 0.5f);
    read_samples(console.io(), 5, nt, x);
    EXPECT_EQ(x, Samples(3, 0.5f));
    EXPECT_EQ(next_five(console), (std::vector<float>{1, 2, 3, 4, 5}));
  }
}

TEST(ReadSamples, FailsWhenTheDataRunOut) {
  Console console("1 2 3 4 5\n6\n");
  Samples x;
  EXPECT_EQ(console.fatal([&] { read_samples(console.io(), 5, 7, x); }),
            record_io::testing::stdin_report("list in: end of file", "list io"));
}

TEST(ExtendSamples, GrowsButNeverShrinks) {
  Samples x(min_samples, 1.0f);
  extend_samples(x, 40000);
  EXPECT_EQ(x.size(), 40000u);
  EXPECT_EQ(x[39999], 0.0f);
  extend_samples(x, 5);
  extend_samples(x, -1);
  EXPECT_EQ(x.size(), 40000u);
  EXPECT_EQ(x[0], 1.0f);
}

// New elements are zeros however the array's storage was used before: fresh, reused from
// a freed array, or left by elements taken off the end.
// In storage reused from a freed array, and in arrays of a million points (whose storage
// takes large pages where the system gives them).
TEST(ExtendSamples, NewElementsAreZerosInAnyStorage) {
  for (const std::int32_t n : {100, 999999}) {
    SCOPED_TRACE(n);
    const auto size = static_cast<std::size_t>(n);
    { Samples freed(size, 7.0f); }
    Samples x(size);
    EXPECT_EQ(x, Samples(size, 0.0f));
    x.assign(size, 7.0f);
    x.resize(3);
    x.push_back(8.0f);
    extend_samples(x, n);
    Samples want(size, 0.0f);
    want[0] = want[1] = want[2] = 7.0f;
    want[3] = 8.0f;
    EXPECT_EQ(x, want);
  }
}

TEST(ReadComponent, EchoesTitlesAndHeader) {
  record_io::testing::ScratchDir scratch;
  std::string name = scratch.path("north.at2");
  record_io::testing::write_file(name,
                                 "PEER STRONG MOTION DATABASE RECORD\r\n"
                                 "AB\r\n"
                                 "ACCELERATION TIME HISTORY IN UNITS OF G\r\n"
                                 "NPTS=    7, DT=  .0100 SEC\r\n"
                                 " .1 .2 .3 .4 .5\r\n"
                                 " .6 .7\r\n");
  Console console;
  ComponentHeader header;
  Samples x;
  read_component(console.io(), name + "   ", header, x);
  EXPECT_EQ(header.nt, 7);
  EXPECT_EQ(header.dt, 0.01f);
  EXPECT_EQ(x, (Samples{.1f, .2f, .3f, .4f, .5f, .6f, .7f}));
  auto padded = [](std::string s) { return " " + s + std::string(78 - s.size(), ' ') + "\n"; };
  EXPECT_EQ(console.output(), padded("ER STRONG MOTION DATABASE RECORD") + padded("") +
                                  padded("CELERATION TIME HISTORY IN UNITS OF G") +
                                  " Number of Points & Dt (s) = 7  0.00999999978\n");
}

// Each sample record as the last of a file written over the one before, longer or shorter.
TEST(WriteCombined, WritesOneRecordPerPointAndCutsTheFile) {
  record_io::testing::ScratchDir scratch;
  std::string name = scratch.path("out.csv");
  record_io::testing::write_file(name, std::string(500, 'x'));
  Console console;
  const std::size_t length = record_io::testing::native_lines("\n").size() + 40;
  std::string written;
  for (const test_tables::CombinedRecord& row : test_tables::combined_records) {
    SCOPED_TRACE(row.record);
    auto n = static_cast<std::size_t>(row.i);
    Samples x(n), y(n), z(n);
    x.back() = row.x;
    y.back() = row.y;
    z.back() = row.z;
    write_combined(console.io(), name, row.i, std::strtof(row.dt, nullptr), x, y, z);
    written = record_io::testing::read_file(name);
    ASSERT_EQ(written.size(), n * length);
    EXPECT_EQ(written.substr(written.size() - length),
              record_io::testing::native_lines(std::string(row.record) + "\n"));
  }
  write_combined(console.io(), name, 0, 0.01f, {}, {}, {});  // no record: left as it was
  EXPECT_EQ(record_io::testing::read_file(name), written);
}

}  // namespace
