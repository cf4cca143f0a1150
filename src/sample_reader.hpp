// The sample stage: the free-form data records of a component file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record_io/runtime.hpp"
#include "samples.hpp"

// The size every sample array starts with; a longer record makes its own array longer, and
// the third one's length all three.
inline constexpr std::size_t min_samples = 33000;

// A sample array of n zeros.
Samples zero_samples(std::size_t n);

// Extends `samples` with zeros to at least `count` elements.
void extend_samples(Samples& samples, std::int32_t count);

// Reads the nt samples that follow the header on `unit` into target[0..nt), five values
// per list-directed statement (the last statement takes the one to four left over); each
// statement discards the rest of its last line. Extends target to nt when it is shorter.
// Nothing is read when nt <= 0.
void read_samples(record_io::Runtime& io, int unit, std::int32_t nt, Samples& target);
