// Timings of the pieces of a merge and of the whole merge run in-process.
//
// Items processed are values read (reading), combined records written (writing) and
// samples of one component (whole merge), so items_per_second turns into ns per item; the
// label names the item. Pieces in memory are timed by CPU time, stages on files and the
// whole merge by wall time.
// PEER_BENCH_DATA may name a folder holding the synthetic_*.at2 files made by
// make_records; otherwise they are made in a scratch folder of their own.
#include <benchmark/benchmark.h>
#ifdef PEER_MERGE_HAVE_FAST_FLOAT
#include <fast_float/fast_float.h>
#endif
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "combined_writer.hpp"
#include "decimal.hpp"
#include "fixed_edit.hpp"
#include "merge_driver.hpp"
#include "record_io/byte_channel.hpp"
#include "record_io/formatted_write.hpp"
#include "record_io/list_read.hpp"
#include "record_io/runtime.hpp"
#include "sample_reader.hpp"
#include "string_channel.hpp"
#include "synthetic_record.hpp"

namespace {

using record_io::Runtime;
using record_io::StringChannel;

constexpr std::size_t points = 33000;

struct Stopped {};
struct Aborted {};

record_io::ProcessEnds throwing_ends() {
  return {[] { throw Stopped{}; }, [] { throw Aborted{}; }};
}

// Takes every record handed to it and keeps none, so a long run stays small.
class DiscardChannel final : public record_io::ByteChannel {
 public:
  long read(char*, std::size_t) override { return 0; }
  std::size_t write(const char*, std::size_t size) override {
    bytes_ += size;
    return size;
  }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};

const std::vector<double>& first_component() {
  static const std::vector<double> samples =
      bench::synthetic_motion(bench::event_components(points, 1)[0]);
  return samples;
}

// The data lines of one synthetic component: 6600 lines of five values.
const std::string& data_block() {
  static const std::string block = bench::data_lines(first_component());
  return block;
}

std::vector<std::string_view> split_lines(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t from = 0;
  for (std::size_t lf; (lf = text.find('\n', from)) != std::string::npos; from = lf + 1) {
    lines.emplace_back(text.data() + from, lf - from);
  }
  return lines;
}

// --- Reading -------------------------------------------------------------------------

// scan_list_item over every item of a data line, cycling through all lines of a record.
void BM_ScanListItem(benchmark::State& state) {
  const std::vector<std::string_view> lines = split_lines(data_block());
  std::size_t next = 0;
  std::size_t values = 0;
  for (auto _ : state) {
    std::string_view line = lines[next];
    next = next + 1 == lines.size() ? 0 : next + 1;
    const char* p = line.data();
    const char* end = p + line.size();
    for (;;) {
      while (p < end && *p == ' ') ++p;
      if (p == end) break;
      record_io::ListScan s = record_io::scan_list_item(p, end, true);
      benchmark::DoNotOptimize(s.value);
      p = s.next;
      ++values;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(values));
  state.SetLabel("ns per value");
}
BENCHMARK(BM_ScanListItem);

// The sample stage as the program runs it: list-directed statements of five values on a
// unit, here unit 5 over a string, for a whole component's data lines.
void BM_ReadSamples(benchmark::State& state) {
  Samples target(points);
  std::size_t values = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Runtime io(std::make_unique<StringChannel>(data_block()), std::make_unique<StringChannel>(),
               std::make_unique<StringChannel>(), throwing_ends());
    state.ResumeTiming();
    read_samples(io, Runtime::input_unit, static_cast<std::int32_t>(points), target);
    benchmark::DoNotOptimize(target.data());
    values += points;
  }
  // The values must have been read, not just stepped over: one as the file writes it.
  std::string field;
  bench::append_sample_field(field, first_component()[points / 2]);
  if (target[points / 2] != std::strtof(field.c_str(), nullptr)) {
    state.SkipWithError("values read do not match the file");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(values));
  state.SetLabel("ns per value");
}
BENCHMARK(BM_ReadSamples)->Unit(benchmark::kMicrosecond);

#ifdef PEER_MERGE_HAVE_FAST_FLOAT
// For comparison, a general reader made for speed: fast_float's from_chars over every value
// of a component's data lines, with the blanks and line ends between them skipped.
void BM_ReferenceFastFloat(benchmark::State& state) {
  const std::string& block = data_block();
  std::size_t values = 0;
  for (auto _ : state) {
    const char* p = block.data();
    const char* end = p + block.size();
    for (;;) {
      while (p < end && (*p == ' ' || *p == '\n')) ++p;
      if (p == end) break;
      float value = 0;
      // It takes no '+' or '-' before a point without a digit: the sign is read aside.
      const bool minus = *p == '-';
      p += static_cast<int>(minus || *p == '+');
      auto [next, error] = fast_float::from_chars(p, end, value);
      if (error != std::errc()) {
        state.SkipWithError("fast_float refused a value");
        return;
      }
      benchmark::DoNotOptimize(minus ? -value : value);
      p = next;
      ++values;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(values));
  state.SetLabel("ns per value");
}
BENCHMARK(BM_ReferenceFastFloat)->Unit(benchmark::kMicrosecond);
#endif

// --- Writing -------------------------------------------------------------------------

struct CombinedRows {
  Samples t, x, y, z;
};

// Realistic rows: times of a 0.005 s step and the three components' values.
const CombinedRows& combined_rows() {
  static const CombinedRows rows = [] {
    CombinedRows r;
    auto shapes = bench::event_components(points, 1);
    std::vector<std::vector<double>> c;
    for (const auto& shape : shapes) c.push_back(bench::synthetic_motion(shape));
    for (std::size_t i = 0; i < points; ++i) {
      r.t.push_back(
          record_io::round_to_single(static_cast<double>(i) * static_cast<double>(0.005f)));
      r.x.push_back(static_cast<float>(c[0][i]));
      r.y.push_back(static_cast<float>(c[1][i]));
      r.z.push_back(static_cast<float>(c[2][i]));
    }
    return r;
  }();
  return rows;
}

// edit_fixed alone on the four fields of a combined record, with its three commas.
void BM_EditFixedRecord(benchmark::State& state) {
  const CombinedRows& rows = combined_rows();
  char record[40];
  std::size_t i = 0;
  for (auto _ : state) {
    char* p = record_io::edit_fixed(record, rows.t[i], 7, 3);
    *p++ = ',';
    p = record_io::edit_fixed(p, rows.x[i], 10, 3);
    *p++ = ',';
    p = record_io::edit_fixed(p, rows.y[i], 10, 3);
    *p++ = ',';
    record_io::edit_fixed(p, rows.z[i], 10, 3);
    benchmark::DoNotOptimize(record);
    i = i + 1 == points ? 0 : i + 1;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel("ns per record");
}
BENCHMARK(BM_EditFixedRecord);

// One formatted write statement of the combined format per record, as the output stage
// runs it, onto a unit whose channel discards what it is handed.
void BM_FormattedWriteRecord(benchmark::State& state) {
  const CombinedRows& rows = combined_rows();
  auto sink = std::make_unique<DiscardChannel>();
  DiscardChannel& discard = *sink;
  Runtime io(std::make_unique<StringChannel>(), std::move(sink), std::make_unique<StringChannel>(),
             throwing_ends());
  const record_io::Format& format = combined_format();
  std::size_t i = 0;
  for (auto _ : state) {
    record_io::FormattedWrite(io, Runtime::output_unit, format)
        .real(rows.t[i])
        .real(rows.x[i])
        .real(rows.y[i])
        .real(rows.z[i])
        .end();
    i = i + 1 == points ? 0 : i + 1;
  }
  io.shutdown();
  auto expected = static_cast<std::size_t>(state.iterations()) * 41;
  if (discard.bytes() != expected) state.SkipWithError("records are not 40 characters");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel("ns per record");
}
BENCHMARK(BM_FormattedWriteRecord);

// For comparison, the C library's editor: a combined record by snprintf, whose %.3f the
// F fields match byte for byte.
void BM_ReferenceSnprintf(benchmark::State& state) {
  const CombinedRows& rows = combined_rows();
  char record[64];
  std::size_t i = 0;
  for (auto _ : state) {
    std::snprintf(record, sizeof record, "%7.3f,%10.3f,%10.3f,%10.3f",
                  static_cast<double>(rows.t[i]), static_cast<double>(rows.x[i]),
                  static_cast<double>(rows.y[i]), static_cast<double>(rows.z[i]));
    benchmark::DoNotOptimize(record);
    i = i + 1 == points ? 0 : i + 1;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel("ns per record");
}
BENCHMARK(BM_ReferenceSnprintf);

// --- The stages on files -------------------------------------------------------------

// The folder with the three component files: PEER_BENCH_DATA, or one made here.
class ComponentFiles {
 public:
  ComponentFiles() {
    if (const char* dir = std::getenv("PEER_BENCH_DATA"); dir && *dir) {
      dir_ = dir;
    } else {
      dir_ = std::filesystem::temp_directory_path() /
             ("peer-merge-bench-" + std::to_string(::getpid()));
      owned_ = true;
      std::filesystem::create_directories(dir_);
      auto shapes = bench::event_components(points, 1);
      const char* titles[] = {"SYNTHETIC H1", "SYNTHETIC H2", "SYNTHETIC UP"};
      for (std::size_t k = 0; k < shapes.size(); ++k) {
        std::ofstream(dir_ / names[k], std::ios::binary)
            << bench::component_text(shapes[k], titles[k], bench::synthetic_motion(shapes[k]));
      }
    }
  }
  ComponentFiles(const ComponentFiles&) = delete;
  ComponentFiles& operator=(const ComponentFiles&) = delete;
  ~ComponentFiles() {
    std::error_code ignored;
    if (owned_) std::filesystem::remove_all(dir_, ignored);
  }

  // The four answers of the dialogue, output last.
  std::string answers() const {
    std::string text;
    for (std::size_t k = 0; k < 3; ++k) text += input(k).string() + '\n';
    return text + output().string() + '\n';
  }
  std::filesystem::path input(std::size_t k) const { return dir_ / names[k]; }
  std::filesystem::path output() const { return dir_ / "merged_in_process.csv"; }

 private:
  static constexpr const char* names[] = {"synthetic_h1.at2", "synthetic_h2.at2",
                                          "synthetic_up.at2"};
  std::filesystem::path dir_;
  bool owned_ = false;
};

const ComponentFiles& component_files() {
  static const ComponentFiles files;
  return files;
}

// One component stage on its file: open, titles and header echoed, 33000 samples, close.
void BM_ReadComponentFile(benchmark::State& state) {
  const ComponentFiles& files = component_files();
  ComponentHeader header;
  Samples target(points);
  for (auto _ : state) {
    Runtime io(std::make_unique<StringChannel>(), std::make_unique<StringChannel>(),
               std::make_unique<StringChannel>(), throwing_ends());
    read_component(io, files.input(0).string(), header, target);
  }
  if (header.nt != static_cast<std::int32_t>(points)) state.SkipWithError("header not read");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(points));
  state.SetLabel("ns per value");
}
BENCHMARK(BM_ReadComponentFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The output stage on its file: 33000 records written, the file cut and closed.
void BM_WriteCombinedFile(benchmark::State& state) {
  const ComponentFiles& files = component_files();
  const CombinedRows& rows = combined_rows();
  for (auto _ : state) {
    Runtime io(std::make_unique<StringChannel>(), std::make_unique<StringChannel>(),
               std::make_unique<StringChannel>(), throwing_ends());
    write_combined(io, files.output().string(), static_cast<std::int32_t>(points), 0.005f, rows.x,
                   rows.y, rows.z);
  }
  if (std::filesystem::file_size(files.output()) != points * 41) {
    state.SkipWithError("the combined file does not hold 33000 records of 40 characters");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(points));
  state.SetLabel("ns per record");
}
BENCHMARK(BM_WriteCombinedFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

// --- The whole merge -----------------------------------------------------------------

// MAIN__ from the banner to the stop: three files read, the combined file written.
void BM_WholeMerge(benchmark::State& state) {
  const ComponentFiles& files = component_files();
  const std::string answers = files.answers();
  std::string error;
  for (auto _ : state) {
    auto diagnostics = std::make_unique<StringChannel>();
    StringChannel& report = *diagnostics;
    Runtime io(std::make_unique<StringChannel>(answers), std::make_unique<StringChannel>(),
               std::move(diagnostics), throwing_ends());
    try {
      MAIN__(io);
    } catch (const Stopped&) {
    } catch (const Aborted&) {
      error = "the merge failed: " + report.output();
      break;
    }
  }
  if (error.empty() && std::filesystem::file_size(files.output()) != points * 41) {
    error = "the combined file does not hold 33000 records of 40 characters";
  }
  if (!error.empty()) state.SkipWithError(error.c_str());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(points));
  state.SetLabel("ns per sample of a component");
}
BENCHMARK(BM_WholeMerge)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
