// The merge driver: the console dialogue and the sequence of the run.
#pragma once

#include <cstdint>
#include <string>

#include "component_reader.hpp"
#include "record_io/runtime.hpp"
#include "samples.hpp"

// All the working storage of a run.
struct MergeStorage {
  std::string infile1, infile2, infile3;  // file names as typed; infile1 then the output name
  ComponentHeader header;                 // line1..line3, nt and dt of the component read last
  Samples x, y, z;                        // the three components' samples
};

// The program body, run on `io`: banner, three file names, the three component stages,
// the output name, the output stage, then the stop. Never returns.
[[noreturn]] void MAIN__(record_io::Runtime& io);
