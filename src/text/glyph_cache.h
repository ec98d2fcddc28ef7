// The glyph cache: coverage maps of the codes drawn so far, in the order they were first
// drawn. It never evicts: once full, further codes are rasterised every time they are drawn,
// and only PrecacheGlyphs (a font change) empties it.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace zorvel {

// One glyph cell's coverage: 32 x 35 bytes, row by row, 0 = empty, 255 = full.
constexpr int kCoverageBytes = 32 * 35;
using CoverageMap = std::array<uint8_t, kCoverageBytes>;

class GlyphCache {
 public:
  static constexpr int kCapacity = 1000;

  GlyphCache();

  void Clear();
  // The map stored for `code`, or nullptr.
  const CoverageMap* Find(uint16_t code) const {
    const auto it = slotOf_.find(code);
    return it == slotOf_.end() ? nullptr : &maps_[static_cast<size_t>(it->second)];
  }
  // False, and nothing stored, when the cache is full or already holds the code.
  bool Add(uint16_t code, const CoverageMap& map);
  int Count() const { return static_cast<int>(codes_.size()); }
  uint16_t CodeAt(int entry) const { return codes_[static_cast<size_t>(entry)]; }

 private:
  std::vector<uint16_t> codes_;
  std::vector<CoverageMap> maps_;
  // Entry of each cached code. Hashed rather than a table of all 65,536 codes: every engine
  // makes a cache, and a table that size costs more to create than a page of lookups.
  std::unordered_map<uint16_t, int16_t> slotOf_;
};

}  // namespace zorvel
