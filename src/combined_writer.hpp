// The output stage: the combined acceleration file.
#pragma once

#include <cstdint>
#include <string_view>

#include "record_io/format.hpp"
#include "record_io/runtime.hpp"
#include "samples.hpp"

// "(F7.3,3(',',F10.3))" with its quotes stored as the byte 0x02: time, then three
// comma-separated components, 40 columns.
const record_io::Format& combined_format();

// Opens (or creates) the named file on unit 11 and writes nt records, one per sample:
// t = (i - 1) * dt rounded to single precision, x(i), y(i), z(i). Closes the file, cut at
// the end of the last record when one was written. x, y and z hold at least nt samples.
// Any failure ends the run with the fatal diagnostic.
void write_combined(record_io::Runtime& io, std::string_view name, std::int32_t nt, float dt,
                    const Samples& x, const Samples& y, const Samples& z);
