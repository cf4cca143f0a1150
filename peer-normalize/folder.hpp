// Whether a name leads to a folder, asked through the layer's opening of files (which
// refuses a folder by name).
#pragma once

#include <cerrno>
#include <string>

#include "record_io/file_replacement.hpp"

namespace normalize {

// 0 when `name` is a folder; otherwise errno of what it is instead: ENOENT (nothing by that
// name), ENOTDIR (a file), or the failure to look.
inline int folder_error(const std::string& name) {
  record_io::OpenedInput opened = record_io::open_input(name);
  if (opened.channel) {
    opened.channel->close();
    return ENOTDIR;
  }
  return opened.error == EISDIR ? 0 : opened.error;
}

// The folder part of a file name ("" when it has none): up to its last slash (or, on
// Windows, backslash), without it; "/" for a file at the root.
inline std::string folder_of(const std::string& name) {
#ifdef _WIN32
  const std::size_t slash = name.find_last_of("/\\");
#else
  const std::size_t slash = name.find_last_of('/');
#endif
  if (slash == std::string::npos) return {};
  return slash == 0 ? name.substr(0, 1) : name.substr(0, slash);
}

}  // namespace normalize
