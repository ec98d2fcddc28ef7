#include "text/system_text.h"

#include <algorithm>

#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr size_t kMaxFaces = 8;
// Texts come from game data; this bounds what a game that shows ever new characters keeps.
constexpr size_t kMaxGlyphs = 4096;

std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace

SystemText::SystemText(FontLog log) : log_(std::move(log)) {}

int SystemText::FaceFor(std::string_view sjisFace, bool bold, int pixelHeight) {
  if (pixelHeight < 1 || pixelHeight > 512) return -1;
  size_t slot = 0;
  while (slot < faces_.size() &&
         !(faces_[slot].sjisName == sjisFace && faces_[slot].bold == bold)) {
    ++slot;
  }
  if (slot == faces_.size()) {
    if (faces_.size() >= kMaxFaces) {
      faces_.clear();
      glyphs_.clear();
      slot = 0;
    }
    Face face{std::string(sjisFace), bold, std::make_unique<FontFace>(log_)};
    face.face->Open(SjisToUtf8(sjisFace), bold);
    faces_.push_back(std::move(face));
  }
  return static_cast<int>(slot);
}

const FontFace::Bitmap& SystemText::GlyphFor(size_t faceSlot, int pixelHeight, char32_t ch) {
  const uint64_t key = uint64_t{faceSlot} << 48 | uint64_t(pixelHeight) << 32 | ch;
  if (auto it = glyphs_.find(key); it != glyphs_.end()) return it->second;
  if (glyphs_.size() >= kMaxGlyphs) glyphs_.clear();
  FontFace& face = *faces_[faceSlot].face;
  FontFace::Bitmap glyph;
  if (!face.SetCellHeight(pixelHeight) || !face.Render(ch, glyph)) {
    glyph = FontFace::Bitmap{};
    glyph.advance = std::max(1, pixelHeight / 2);
  }
  return glyphs_.emplace(key, std::move(glyph)).first->second;
}

int SystemText::Measure(std::string_view sjisText, std::string_view sjisFace, int pixelHeight,
                        bool bold) {
  const int slot = FaceFor(sjisFace, bold, pixelHeight);
  if (slot < 0) return 0;
  int width = 0;
  for (char32_t ch : SjisToCodePoints(UpToZero(sjisText))) {
    if (ch < 0x20) continue;
    width += GlyphFor(static_cast<size_t>(slot), pixelHeight, ch).advance;
  }
  return width;
}

int SystemText::Draw(Surface& target, int x, int y, std::string_view sjisText,
                     std::string_view sjisFace, int pixelHeight, TextColour colour, bool bold) {
  return Draw(target, x, y, std::u32string_view(SjisToCodePoints(UpToZero(sjisText))), sjisFace,
              pixelHeight, colour, bold);
}

int SystemText::Draw(Surface& target, int x, int y, std::u32string_view text,
                     std::string_view sjisFace, int pixelHeight, TextColour colour, bool bold) {
  const int slot = FaceFor(sjisFace, bold, pixelHeight);
  if (slot < 0) return 0;
  FontFace& face = *faces_[static_cast<size_t>(slot)].face;
  const int baseline = face.SetCellHeight(pixelHeight) ? y + face.Ascent() : y + pixelHeight;
  const uint8_t bgr[3] = {colour.b, colour.g, colour.r};
  int penX = x;
  for (char32_t ch : text) {
    if (ch < 0x20) continue;
    const FontFace::Bitmap& glyph = GlyphFor(static_cast<size_t>(slot), pixelHeight, ch);
    const int left = penX + glyph.left;
    const int top = baseline - glyph.top;
    const int x0 = std::max(left, 0);
    const int x1 = std::min(left + glyph.width, target.Width());
    const int y0 = std::max(top, 0);
    const int y1 = std::min(top + glyph.rows, target.Height());
    for (int py = y0; py < y1; ++py) {
      const uint8_t* alpha =
          glyph.coverage.data() + static_cast<size_t>(py - top) * glyph.width + (x0 - left);
      uint8_t* p = target.Row(py) + static_cast<ptrdiff_t>(x0) * 3;
      for (int px = x0; px < x1; ++px, ++alpha, p += 3) {
        const int a = *alpha;
        if (a == 0) continue;
        for (int c = 0; c < 3; ++c) {
          p[c] = static_cast<uint8_t>((p[c] * (255 - a) + bgr[c] * a + 127) / 255);
        }
      }
    }
    penX += glyph.advance;
  }
  return penX - x;
}

}  // namespace zorvel
