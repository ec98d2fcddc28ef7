// Small text in an installed face at a pixel height: ruby over story text, and the texts of
// choices, the backlog, questions, banners and rolls that are not drawn in glyph cells. The
// background shows through; only the text's own pixels change.
//
// A face is named as the font setting names it (Shift-JIS) and found as the message font is
// (see font.h), so a Windows face name works here too. The pixel height is the whole line cell
// (ascent + descent), as Windows sizes a font given a positive height; y is the cell's top.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/surface.h"
#include "text/font.h"

namespace zorvel {

struct TextColour {
  uint8_t r = 255;
  uint8_t g = 255;
  uint8_t b = 255;
};

class SystemText {
 public:
  explicit SystemText(FontLog log = {});
  SystemText(const SystemText&) = delete;
  SystemText& operator=(const SystemText&) = delete;

  // The width Draw covers: the sum of the characters' advances. Text ends at a 0 byte.
  int Measure(std::string_view sjisText, std::string_view sjisFace, int pixelHeight,
              bool bold = false);
  // Draws the text with the pen starting at x and the line cell's top at y, clipped to the
  // target, and returns the width (as Measure). Writes only `target`.
  int Draw(Surface& target, int x, int y, std::string_view sjisText, std::string_view sjisFace,
           int pixelHeight, TextColour colour, bool bold = false);
  // The same for text already decoded: a screen that draws the same texts again and again
  // (the recollection menu's scene grid) decodes them once.
  int Draw(Surface& target, int x, int y, std::u32string_view text, std::string_view sjisFace,
           int pixelHeight, TextColour colour, bool bold = false);

 private:
  struct Face {
    std::string sjisName;
    bool bold = false;
    std::unique_ptr<FontFace> face;
  };
  // Opens faces on first use and keeps them: a game uses one or two.
  // The slot in faces_, or -1 when pixelHeight is out of range.
  int FaceFor(std::string_view sjisFace, bool bold, int pixelHeight);
  // A character the face lacks comes back empty with half an em of advance.
  const FontFace::Bitmap& GlyphFor(size_t faceSlot, int pixelHeight, char32_t ch);

  FontLog log_;
  std::vector<Face> faces_;
  std::unordered_map<uint64_t, FontFace::Bitmap> glyphs_;
};

}  // namespace zorvel
