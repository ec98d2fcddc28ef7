#include "text/glyph_cache.h"

namespace zorvel {

GlyphCache::GlyphCache() {
  Clear();
}

void GlyphCache::Clear() {
  codes_.clear();
  cells_.clear();
  index_.fill(-1);
}

bool GlyphCache::Add(uint16_t code, const GlyphCell* cell) {
  if (Count() >= kCapacity || cell == nullptr) return false;
  const size_t slot = Probe(code);
  if (index_[slot] >= 0) return false;
  index_[slot] = static_cast<int16_t>(codes_.size());
  codes_.push_back(code);
  cells_.push_back(cell);
  return true;
}

}  // namespace zorvel
