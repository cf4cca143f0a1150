#include "triplets.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>

#include "folder.hpp"
#include "record_io/characters.hpp"
#include "text.hpp"

namespace normalize {

namespace {

struct Suffix {
  std::string_view text;  // upper case
  bool vertical;
  int order;  // among the horizontals
};

constexpr Suffix letter_components[] = {
    {"UP", true, 0},  {"DWN", true, 0}, {"UD", true, 0},  {"V", true, 0},   {"Z", true, 0},
    {"N", false, 0},  {"S", false, 0},  {"NS", false, 0}, {"SN", false, 0}, {"L", false, 0},
    {"FN", false, 0}, {"H1", false, 0}, {"E", false, 1},  {"W", false, 1},  {"EW", false, 1},
    {"WE", false, 1}, {"T", false, 1},  {"FP", false, 1}, {"H2", false, 1},
};

// One way to read a name: the set's part and the component.
struct Reading {
  std::string key;  // the folder and the shared part of the name
  std::string name;
  bool vertical = false;
  int order = 0;
  std::size_t length = 0;  // of the component's text
};

// The file name without its folder and its extension, and the extension.
std::string stem_of(const std::string& file, std::string* extension) {
  const std::string folder = folder_of(file);
  std::string base = folder.empty() ? file : file.substr(folder.size() + (folder == "/" ? 0 : 1));
  const std::size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    *extension = base.substr(dot);
    base.erase(dot);
  }
  return base;
}

// A set's name: the shared part without the separators at its end.
std::string set_name(std::string_view part) {
  while (!part.empty() && (part.back() == '-' || part.back() == '_' || part.back() == ' ')) {
    part.remove_suffix(1);
  }
  return std::string(part);
}

std::vector<Reading> readings_of(const std::string& file) {
  std::string extension;
  const std::string stem = stem_of(file, &extension);
  // Records of one folder and one extension (acceleration, not velocity) form sets.
  const std::string folder = folder_of(file) + '/' + upper(extension);
  const std::string stem_upper = upper(stem);
  std::vector<Reading> readings;
  const auto add = [&](std::size_t length, bool vertical, int order) {
    const std::string part = stem.substr(0, stem.size() - length);
    const std::string name = set_name(part);
    if (name.empty()) return;
    readings.push_back({folder + '/' + part, name, vertical, order, length});
  };
  if (stem.size() > 3 && record_io::is_digit(stem[stem.size() - 1]) &&
      record_io::is_digit(stem[stem.size() - 2]) && record_io::is_digit(stem[stem.size() - 3])) {
    add(3, false, std::stoi(stem.substr(stem.size() - 3)));
  }
  for (const Suffix& s : letter_components) {
    if (stem_upper.size() > s.text.size() &&
        std::string_view(stem_upper).substr(stem_upper.size() - s.text.size()) == s.text) {
      add(s.text.size(), s.vertical, s.order);
    }
  }
  return readings;
}

}  // namespace

Grouping group_triplets(const std::vector<std::string>& files) {
  std::vector<std::vector<Reading>> readings;
  std::map<std::string, int> shared;  // how many files a key may belong to
  for (const std::string& f : files) {
    readings.push_back(readings_of(f));
    for (const Reading& r : readings.back()) ++shared[r.key];
  }
  // Each file's reading: the key most files may share, then the longest component.
  std::vector<std::optional<Reading>> chosen;
  for (const std::vector<Reading>& rs : readings) {
    const Reading* best = nullptr;
    for (const Reading& r : rs) {
      if (!best || shared[r.key] > shared[best->key] ||
          (shared[r.key] == shared[best->key] && r.length > best->length)) {
        best = &r;
      }
    }
    chosen.push_back(best ? std::optional<Reading>(*best) : std::nullopt);
  }
  std::map<std::string, std::vector<std::size_t>> members;
  std::vector<std::string> keys;  // in the order first seen
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!chosen[i]) continue;
    auto& m = members[chosen[i]->key];
    if (m.empty()) keys.push_back(chosen[i]->key);
    m.push_back(i);
  }
  Grouping g;
  std::vector<std::string> why(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!chosen[i]) why[i] = "no component (000, 090, UP, L, T, V, ...) at the end of its name";
  }
  for (const std::string& key : keys) {
    const std::vector<std::size_t>& m = members[key];
    std::vector<std::size_t> horizontals;
    std::vector<std::size_t> verticals;
    for (std::size_t i : m) (chosen[i]->vertical ? verticals : horizontals).push_back(i);
    const std::string& name = chosen[m.front()]->name;
    std::string reason;
    if (m.size() < 3) {
      reason = "set " + name + " has " + std::to_string(m.size()) + " of its three components";
    } else if (m.size() > 3) {
      reason = "set " + name + " has " + std::to_string(m.size()) + " components, not three";
    } else if (verticals.size() != 1) {
      reason = "set " + name + " has " + std::to_string(verticals.size()) +
               " vertical components, not one";
    }
    if (!reason.empty()) {
      for (std::size_t i : m) why[i] = reason;
      continue;
    }
    std::stable_sort(horizontals.begin(), horizontals.end(), [&](std::size_t a, std::size_t b) {
      return chosen[a]->order < chosen[b]->order;
    });
    g.sets.push_back({name, {files[horizontals[0]], files[horizontals[1]], files[verticals[0]]}});
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!why[i].empty()) g.left_over.push_back({files[i], why[i]});
  }
  return g;
}

}  // namespace normalize
