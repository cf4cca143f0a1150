// What the layer's tests see of a parsed format: its edits as parsed, before they are
// folded into data edits with their leads.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "record_io/format.hpp"

namespace record_io::detail {

struct FormatInternals {
  static const std::vector<Edit>& edits(const Format& f) { return f.edits_; }
  static std::string_view literal(const Format& f, const Edit& e) { return f.literal(e); }
  // The first edit of the last top-level group, where the format starts again.
  static std::size_t reversion(const Format& f) { return f.reversion_; }
  static bool has_data_edit(const Format& f) { return !f.data_.empty(); }
};

}  // namespace record_io::detail
