// Lays out new archives for `pack` and `build-game`: checks entry names against the layout,
// assigns offsets, and refuses anything the 32-bit offsets cannot address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/archive.h"

namespace zorvel::tool {

struct ArchiveFormat {
  IndexLayout layout = IndexLayout::kB;
  uint32_t nameWidth = 32;  // ignored by layout A, whose width is fixed

  uint32_t Width() const {
    return layout == IndexLayout::kA ? static_cast<uint32_t>(kLayoutANameWidth) : nameWidth;
  }
};

constexpr uint32_t kMinNameWidth = 2;
constexpr uint32_t kDefaultNameWidth = 32;

class ArchivePlan {
 public:
  explicit ArchivePlan(ArchiveFormat format) : format_(format) {}

  // Records an entry of `size` bytes called `utf8Name` (upper-cased and stored in Shift-JIS).
  // Returns why the entry cannot be stored, or nullopt once it is recorded.
  std::optional<std::string> Add(std::string_view utf8Name, uint64_t size);

  size_t Count() const { return entries_.size(); }
  const std::vector<ArchiveEntry>& Entries() const { return entries_; }
  // Index plus data: the size of the finished file.
  uint64_t TotalSize() const;
  // The index with every offset assigned; the entries' bytes follow it in the order added.
  std::vector<uint8_t> Index() const;

 private:
  ArchiveFormat format_;
  std::vector<ArchiveEntry> entries_;
  uint64_t dataSize_ = 0;
};

// Index followed by `data[i]` for every entry; `data` must match the plan entry for entry.
std::vector<uint8_t> AssembleArchive(const ArchivePlan& plan,
                                     const std::vector<std::vector<uint8_t>>& data);

}  // namespace zorvel::tool
