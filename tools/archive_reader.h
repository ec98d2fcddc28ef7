// Reads the index of an existing archive for `list` and `unpack`, telling the two layouts apart
// when the caller does not force one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/archive.h"

namespace zorvel::tool {

struct LoadedIndex {
  bool usable = false;  // false: no index could be read at all
  IndexLayout layout = IndexLayout::kB;
  std::vector<ArchiveEntry> entries;  // the entries that lie within the file
  std::vector<std::string> problems;  // damage found; the entries above are still valid
  std::string note;                   // how an unclear layout was decided, if it was
};

LoadedIndex LoadIndex(const std::string& path, std::optional<IndexLayout> forced);

}  // namespace zorvel::tool
