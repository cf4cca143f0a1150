// The fixed-point output field (Fw.d).
#pragma once

namespace record_io {

// Writes v into out[0..w) as a fixed-point field of width w with d decimals: the stored
// value rounded exactly to d decimals (ties to even), a digit always before the point, a
// "-" only when the rounded magnitude is not zero, right-aligned with blanks; w asterisks
// when the text does not fit. Infinities and NaNs are written as "inf" and "nan".
// Returns out + w.
char* edit_fixed(char* out, float v, int w, int d);

}  // namespace record_io
