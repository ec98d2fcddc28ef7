// Text for the window's own furniture (tool bar, message boxes): one Japanese-capable face found
// through fontconfig, rasterised with FreeType straight into a 24-bit surface. The games' own
// text goes through the engine's renderer, not this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace zorvel {

class Surface;

struct UiColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
};

struct UiRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// Malformed or truncated sequences become U+FFFD: captions and message texts come from game
// data and must never derail the drawing code.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);

class UiFont {
 public:
  UiFont() = default;
  ~UiFont();
  UiFont(const UiFont&) = delete;
  UiFont& operator=(const UiFont&) = delete;

  // Opens the preferred face. Without one, measuring yields zero widths and drawing draws
  // nothing; the window stays usable.
  bool Load(std::string& error);
  bool Loaded() const { return face_ != nullptr; }
  const std::string& Path() const { return path_; }

  int Ascent(int pixelSize);
  int LineHeight(int pixelSize);
  int Measure(std::u32string_view text, int pixelSize);
  // Baseline at `baseline`; nothing outside `clip` (or the surface) is touched.
  void Draw(Surface& target, int x, int baseline, std::u32string_view text, int pixelSize,
            UiColor color, const UiRect& clip);

 private:
  struct Glyph {
    int left = 0;  // pen position to the bitmap's left edge
    int top = 0;   // baseline to the bitmap's top row (up is positive)
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;  // width * rows, 0..255
  };

  bool UseSize(int pixelSize);
  const Glyph* Find(char32_t ch, int pixelSize);

  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
  std::string path_;
  int currentSize_ = 0;
  std::unordered_map<uint64_t, Glyph> cache_;
};

}  // namespace zorvel
