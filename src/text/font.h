// The message font: finding the face a game names, rasterising Shift-JIS codes into the
// 32 x 35 glyph cell with 65 grey levels, the soft shadow, the text colour, and drawing one
// glyph or a short run of them onto a surface.
//
// Face lookup. Games name Windows faces; Linux has none of them. A name goes, in order:
//   1. through the Windows face table below (full-width and ASCII spellings, any letter case,
//      spaces ignored) to an installed IPA face;
//   2. to fontconfig, taken only when the face it matches really carries that family name
//      (fontconfig always answers something, usually a face without Japanese);
//   3. to the best face fontconfig ranks among those that cover Japanese kana and kanji.
// Every choice is logged with its file, and a name that cannot be found or opened never stops
// the game: without any Japanese face at all, glyphs draw nothing and text positions still
// advance.
//
//   ＭＳ ゴシック,   MS Gothic    -> IPAGothic   (IPAゴシック)
//   ＭＳ Ｐゴシック, MS PGothic   -> IPAPGothic  (IPA Pゴシック)
//   ＭＳ 明朝,       MS Mincho    -> IPAMincho   (IPA明朝)
//   ＭＳ Ｐ明朝,     MS PMincho   -> IPAPMincho  (IPA P明朝)
//
// Sizes are Windows points at 96 dots per inch: the pixel em is points x 96 / 72, rounded.
// A bold request takes a bold face when one is installed and emboldens the outlines otherwise
// (the IPA faces have no bold).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/variable_banks.h"
#include "graphics/surface.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "text/glyph_cache.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace zorvel {

// Where the font subsystem says which face it chose and why a name was not used. The engine
// leaves it empty to write to the log (LogMessage); tests collect the lines.
using FontLog = std::function<void(const std::string&)>;

// The installed family a Windows face name stands for, or empty when the name is not one.
std::string_view WindowsFaceAlias(std::string_view utf8Name);

// Shift-JIS text (code page 932) as Unicode characters; bytes that do not decode become U+FFFD.
std::u32string SjisToCodePoints(std::string_view sjis);

// Windows points to the pixel em at 96 dots per inch, rounded half up.
constexpr int PointsToPixels(int points) {
  return (points * 8 + 3) / 6;
}

// The glyph's grey level (0 to 64) as a mask byte: faint edges are lifted so that small text
// stays legible over bright backgrounds, and the top nine levels are solid.
constexpr uint8_t MapGreyLevel(int level) {
  if (level <= 0) return 0;
  if (level >= 56) return 255;
  return static_cast<uint8_t>(3 * level + 90);
}

// A face that covers Japanese for rasterisers other than FontFace (the interface layer's),
// preferring the family `utf8Family` (Windows names as in the table above): its file, its index
// in the file and the file's bytes, mapped once for the process (empty when they could not be).
// No face at all: an empty file.
struct JapaneseFaceFile {
  std::string file;
  int index = 0;
  std::string family;
  std::span<const uint8_t> bytes;
};
JapaneseFaceFile FindJapaneseFace(std::string_view utf8Family);

// The family names of the installed faces (UTF-8), in fontconfig's order, each face's names in
// every language it gives them.
std::vector<std::string> InstalledFontFamilies();

struct FontChoice {
  enum class How {
    kWindowsAlias,  // the name was a Windows face; its IPA stand-in is installed
    kFamily,        // fontconfig has a face of that family
    kFallback,      // neither: the best installed face that covers Japanese
    kNone,          // no usable face at all; nothing is drawn
  };
  std::string requested;  // UTF-8, as the setting names it
  std::string family;     // UTF-8, the chosen face's family
  std::string file;
  int faceIndex = 0;
  How how = How::kNone;
  bool syntheticBold = false;
  int pixelEm = 0;
  bool Found() const { return how != How::kNone; }
};

// One outline face opened with FreeType, with the face lookup above. Shared by the message
// font and the system text helper.
class FontFace {
 public:
  explicit FontFace(FontLog log = {});
  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // Finds and opens the face for `utf8Name`, replacing the open one, and logs the choice.
  FontChoice Open(std::string_view utf8Name, bool bold);
  bool Loaded() const { return face_ != nullptr; }
  const FontChoice& Choice() const { return choice_; }

  // The em in pixels. False (size unchanged) without a face or for an em outside 1 to 512.
  bool SetPixelEm(int em);
  // The line cell (ascent + descent) in pixels, as Windows sizes a font by a positive height.
  bool SetCellHeight(int pixels);
  // Pixels above the baseline at the current size.
  int Ascent() const { return ascent_; }

  // A glyph's coverage, 0 (empty) to 255 (full), one byte a pixel, `width` bytes a row.
  struct Bitmap {
    int width = 0;
    int rows = 0;
    int left = 0;     // pen position to the first column
    int top = 0;      // baseline to the first row, up is positive
    int advance = 0;  // pixels to the next pen position
    std::vector<uint8_t> coverage;
  };
  // False when the face has no glyph for `ch` or FreeType fails; `out` is then undefined.
  bool Render(char32_t ch, Bitmap& out);

 private:
  void Close();

  FontLog log_;
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
  FontChoice choice_;
  int ascentUnits_ = 0;  // the face's Windows ascent in font units
  int unitsPerEm_ = 0;
  int cellUnits_ = 0;  // Windows ascent + descent in font units
  int ascent_ = 0;
};

constexpr int kGlyphCellWidth = 32;
constexpr int kGlyphCellHeight = 35;

// The message font and the glyph drawing built on it. Work pictures, the cache and the colour
// table belong to the font; the surfaces it draws on are always passed in.
//
// Reads: the configuration's TX_PITCH_X (text runs), S037 (colour index 0).
// Writes: only the target surfaces given to each call, and the window through the platform in
// DrawGlyphToScreen.
class Font {
 public:
  Font(const GameConfig& config, const VariableBanks& vars, Platform& platform, FontLog log = {});
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Opens the face for the Shift-JIS name at the Windows point size (see the top of this
  // file) and returns what was chosen. Call again whenever the face, size or bold setting
  // changes, then PrecacheGlyphs: cached glyphs keep the old face until then.
  FontChoice Load(std::string_view sjisFontName, int sizePoints, bool bold);
  const FontChoice& Choice() const { return face_.Choice(); }

  // Empties the glyph cache, then rasterises and caches the kana, full-width digits and the
  // common punctuation, so that most of a page never reaches the rasteriser.
  void PrecacheGlyphs();
  // Whether glyphs rasterised by any engine of the process are reused (on by default); the
  // rasteriser's benchmark turns it off to time the rasteriser itself.
  void RememberRasterisedGlyphs(bool on) { rememberRasterised_ = on; }

  // Makes the coverage and shadow pictures for one code (lead x 256 + trail, or a single
  // byte). A code the face cannot draw, or whose bitmap would not fit the cell's 1120 bytes,
  // leaves both pictures empty. New codes join the cache until it holds 1000.
  void RenderGlyph(uint16_t code);
  // Forms the code from one or two bytes of Shift-JIS text (a CP932 lead byte followed by a
  // non-zero byte makes two), renders it, and returns how many bytes it used.
  int RenderChar(const char* bytes);

  // Colour index 0 is the speaker's colour in S037 (red in the low byte); 1 to 7 are fixed;
  // the index is taken modulo 8. The colour plane is refilled only when the colour changes.
  void SetTextColour(int index);

  // The rendered glyph over its shadow (one pixel right and down, black) with the cell's
  // top-left at (x, y). Clipped at every edge of `target`; what is drawn equals the same part
  // of an unclipped drawing.
  void DrawGlyph(Surface& target, int x, int y) const;
  // DrawGlyph onto the screen surface and every background-animation frame, then shows the
  // cell from `shown` (the animation frame on display, or the screen surface when null).
  void DrawGlyphToScreen(int x, int y, Surface& screen, std::span<Surface> animationFrames,
                         const Surface* shown);
  // SetTextColour(colourIndex), then each character of the Shift-JIS text (up to a 0 byte) at
  // x + p x TX_PITCH_X, y, where p is the 1-based byte position of its first byte.
  void DrawTextRun(std::string_view text, int x, Surface& target, int colourIndex, int y);
  // The same, centred on x: every x less (byte length x TX_PITCH_X) / 2, toward zero.
  void DrawTextRunCentred(std::string_view text, int x, Surface& target, int colourIndex, int y);

  // The rasteriser alone (no cache): the code's 1120-byte coverage map, mapped grey levels,
  // placed in the cell. False, with an empty map, when nothing can be drawn.
  bool RasteriseGlyph(uint16_t code, CoverageMap& map);
  // Unicode for a Shift-JIS code through CP932, converted once a code; 0 when none.
  char32_t UnicodeOf(uint16_t code);

  const CoverageMap& Coverage() const { return glyph_->map; }
  const CellPixels& CoveragePicture() const { return glyph_->coverage; }
  const CellPixels& ShadowPicture() const { return glyph_->shadow; }
  const GlyphCache& Cache() const { return cache_; }

 private:
  // Rasterises `code` and converts it into `cell`; false when there is nothing to draw.
  bool MakeCell(uint16_t code, GlyphCell& cell);
  // The glyphs of `text` at x + p x TX_PITCH_X in the colour set last.
  void DrawRun(std::string_view text, int64_t x, Surface& target, int y);

  const GameConfig& config_;
  const VariableBanks& vars_;
  Platform& platform_;
  FontFace face_;

  // Cells made for the open face by any engine of the process; null for a code with nothing
  // to draw (see RenderGlyph).
  std::unordered_map<uint16_t, std::unique_ptr<const GlyphCell>>& RasterMemo();

  GlyphCache cache_;
  std::unordered_map<uint16_t, std::unique_ptr<const GlyphCell>>* rasterMemo_ = nullptr;
  bool rememberRasterised_ = true;
  std::unordered_map<uint16_t, char32_t> unicode_;
  FontFace::Bitmap bitmap_;  // reused to keep the rasteriser from allocating per glyph
  // The glyph drawn next: a cell of the process's, of this font's own, or work_.
  GlyphCell work_{};
  const GlyphCell* glyph_ = &work_;
  // Cells the cache points at when rasterised glyphs are not remembered; a deque keeps them
  // in place as it grows.
  std::deque<GlyphCell> ownCells_;
  // One row of the text colour's plane, as the blend reads it.
  std::array<uint8_t, kGlyphCellWidth * 3> textRow_{};
  uint32_t planeColour_ = 0xFFFFFFFF;  // the colour in the text plane; none yet
  bool blank_ = false;                 // the rendered glyph has no pixels
};

}  // namespace zorvel
