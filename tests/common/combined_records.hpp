// The combined file's sample records: a time and three components, and the 40-character
// record written for them. The layer's, the program's and the end-to-end tests all check
// these records, each at its own level.
#pragma once

namespace test_tables {

struct CombinedRecord {
  const char* dt;  // the time step as a component's header gives it
  int i;           // the record's number, from 1: its time is (i - 1) * dt
  float t;         // that time, rounded once to single precision
  float x, y, z;
  const char* record;  // F7.3, then three F10.3, separated by commas
};

inline constexpr CombinedRecord combined_records[] = {
    {"0.01", 1, 0.0F, 0.00245613F, -0.5F, 0.0F, "  0.000,     0.002,    -0.500,     0.000"},
    {"29.99", 2, 29.99F, 12.3456F, -123.4567F, 0.0004F, " 29.990,    12.346,  -123.457,     0.000"},
    {"83.3333", 13, 999.9996F, 1234567.0F, -0.0004F, 1.0E+7F,
     "*******,**********,     0.000,**********"},
    {"1000.", 2, 1000.0F, 0.0005F, -0.0005F, 0.0015F, "*******,     0.001,    -0.001,     0.002"},
    // Exact halfway values round to even.
    {"0.5", 2, 0.5F, 0.0625F, -0.0625F, 0.1875F, "  0.500,     0.062,    -0.062,     0.188"},
    // The widest values that fit, and the first that do not.
    {"1.0", 2, 1.0F, -99999.99F, 999999.9F, -100000.0F, "  1.000,-99999.992,999999.875,**********"},
    {"999.999", 2, 999.999F, -0.0F, 1000000.0F, 999999.94F,
     "999.999,     0.000,**********,999999.938"},
    {"-99.999", 2, -99.999F, 1.0F, 2.0F, 3.0F, "-99.999,     1.000,     2.000,     3.000"},
    {"-100.0", 2, -100.0F, 1.0F, 2.0F, 3.0F, "*******,     1.000,     2.000,     3.000"},
};

}  // namespace test_tables
