#include "text/glyph_cache.h"

namespace zorvel {

GlyphCache::GlyphCache() {
  Clear();
}

void GlyphCache::Clear() {
  codes_.clear();
  blocks_.clear();
  index_.fill(-1);
}

bool GlyphCache::Add(uint16_t code, const GlyphCell& cell) {
  if (Count() >= kCapacity) return false;
  const size_t slot = Probe(code);
  if (index_[slot] >= 0) return false;
  const size_t entry = codes_.size();
  if (entry % kBlockMaps == 0) {
    blocks_.push_back(std::make_shared<Block>());
  } else if (blocks_.back().use_count() > 1) {
    // Another cache (the precached set it was copied from) still reads this block.
    blocks_.back() = std::make_shared<Block>(*blocks_.back());
  }
  (*blocks_.back())[entry % kBlockMaps] = cell;
  codes_.push_back(code);
  index_[slot] = static_cast<int16_t>(entry);
  return true;
}

}  // namespace zorvel
