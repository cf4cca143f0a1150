// Records grouped into three-component sets by their file names, as the databases name them:
// RSN<n>_<EVENT>_<STATION><COMP>.AT2 with components such as 000/090/UP, -L/-T/-V, E/N/UP or
// FN/FP/V, and STATION000/090/UP (any three digits of azimuth) in one folder.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace normalize {

struct TripletSet {
  std::string name;                  // the name the three share, without its component
  std::array<std::string, 3> files;  // two horizontals, then the vertical
};

struct LeftOver {
  std::string file;
  std::string reason;
};

struct Grouping {
  std::vector<TripletSet> sets;     // in the order of their first file
  std::vector<LeftOver> left_over;  // in the order given
};

// Groups the files in a folder, with one extension (the .AT2 of acceleration records apart
// from the .VT2 of velocities), by the name they share once the component is taken off the
// end of their names (their extension aside): a component is three digits (an azimuth) or
// one of the letters' components (N, S, E, W, L, T, NS, EW, WE, SN, FN, FP, H1, H2
// horizontal; UP, DWN, UD, V, Z vertical), in any letter case. A name that could end in more
// than one component takes the one its neighbours share. A set is two horizontals and a
// vertical; the horizontals come by azimuth, or N, L, FN, H1 before E, T, FP, H2.
Grouping group_triplets(const std::vector<std::string>& files);

}  // namespace normalize
