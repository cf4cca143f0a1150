// --triplets: each three-component set of the inputs normalised into the folder, made the
// same length, checked, and given the answers its merge reads.
#pragma once

#include "command_line.hpp"
#include "run.hpp"

namespace normalize {

// For each set of the inputs (see triplets.hpp): the first reading of its three records;
// time steps that differ refuse the set; the records written to the folder (-d) under their
// own names, the shorter ones padded with zeros at the end to the longest (--cut: the
// longer ones cut to the shortest), each change said; the check of the three as written
// and DIR/SET.csv; when it finds no problem, DIR/SET.answers: the three names and the
// combined file's, a line each. Then the files that form no set, and a summary. Returns 0
// when every input went into a set made, 1 otherwise.
int run_triplets(Run& run, const Options& options);

}  // namespace normalize
