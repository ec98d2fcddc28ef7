#include "text/glyph_cache.h"

namespace zorvel {

GlyphCache::GlyphCache() : slotOf_(65536, -1) {}

void GlyphCache::Clear() {
  for (uint16_t code : codes_) slotOf_[code] = -1;
  codes_.clear();
  maps_.clear();
}

bool GlyphCache::Add(uint16_t code, const CoverageMap& map) {
  if (Count() >= kCapacity || slotOf_[code] >= 0) return false;
  slotOf_[code] = static_cast<int16_t>(codes_.size());
  codes_.push_back(code);
  maps_.push_back(map);
  return true;
}

}  // namespace zorvel
