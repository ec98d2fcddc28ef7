// The glyph cache: the cells of the codes drawn so far, in the order they were first drawn. It
// never evicts: once full, further codes are made every time they are drawn, and only
// PrecacheGlyphs (a font change) empties it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zorvel {

// One glyph cell's coverage: 32 x 35 bytes, row by row, 0 = empty, 255 = full.
constexpr int kCoverageBytes = 32 * 35;
using CoverageMap = std::array<uint8_t, kCoverageBytes>;
// The same cell as 24-bit pixels, row by row, as the glyph is blended.
constexpr int kCellPixelBytes = kCoverageBytes * 3;
using CellPixels = std::array<uint8_t, kCellPixelBytes>;

// A glyph ready to draw: its coverage and the two pictures drawing blends, the glyph and its
// softened shadow one row lower.
struct GlyphCell {
  CoverageMap map{};
  CellPixels coverage{};
  CellPixels shadow{};
  // Rows [begin, end) outside which the glyph and its shadow are empty: drawing skips them.
  uint8_t coverageBegin = 0, coverageEnd = 35;
  uint8_t shadowBegin = 0, shadowEnd = 35;
};

// The cache holds cells by address, not by value: cells are made once and never change, so a
// copy of the cache (every engine starts from one of the precached set) copies an index, not
// pictures.
class GlyphCache {
 public:
  static constexpr int kCapacity = 1000;

  GlyphCache();

  void Clear();
  // The cell stored for `code`, or nullptr.
  const GlyphCell* FindCell(uint16_t code) const {
    const int entry = index_[Probe(code)];
    return entry < 0 ? nullptr : cells_[static_cast<size_t>(entry)];
  }
  // The map stored for `code`, or nullptr.
  const CoverageMap* Find(uint16_t code) const {
    const GlyphCell* cell = FindCell(code);
    return cell != nullptr ? &cell->map : nullptr;
  }
  // False, and nothing stored, when the cache is full or already holds the code. The cell must
  // outlive the cache and every copy of it.
  bool Add(uint16_t code, const GlyphCell* cell);
  int Count() const { return static_cast<int>(codes_.size()); }
  uint16_t CodeAt(int entry) const { return codes_[static_cast<size_t>(entry)]; }

 private:
  // Twice the capacity keeps linear probing short; a power of two keeps the hash a mask.
  static constexpr size_t kIndexSize = 2048;
  static_assert(kIndexSize >= 2 * kCapacity);

  // The index slot that holds `code`, or the empty slot where it would go.
  size_t Probe(uint16_t code) const {
    size_t slot = (code * 40503u) & (kIndexSize - 1);
    while (index_[slot] >= 0 && codes_[static_cast<size_t>(index_[slot])] != code) {
      slot = (slot + 1) & (kIndexSize - 1);
    }
    return slot;
  }

  std::vector<uint16_t> codes_;
  std::vector<const GlyphCell*> cells_;
  // Entry of each cached code, -1 for an empty slot.
  std::array<int16_t, kIndexSize> index_;
};

}  // namespace zorvel
