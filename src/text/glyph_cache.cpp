#include "text/glyph_cache.h"

namespace zorvel {

GlyphCache::GlyphCache() {
  slotOf_.reserve(kCapacity);
}

void GlyphCache::Clear() {
  slotOf_.clear();
  codes_.clear();
  maps_.clear();
}

bool GlyphCache::Add(uint16_t code, const CoverageMap& map) {
  if (Count() >= kCapacity || slotOf_.count(code) != 0) return false;
  slotOf_.emplace(code, static_cast<int16_t>(codes_.size()));
  codes_.push_back(code);
  maps_.push_back(map);
  return true;
}

}  // namespace zorvel
