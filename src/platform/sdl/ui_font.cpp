#include "platform/sdl/ui_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <utility>

#include "graphics/surface.h"

namespace zorvel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Kana plus kanji from the tool bar: a face with all of these can show what the engine asks for.
constexpr FcChar32 kJapaneseProbe[] = {0x3042, 0x30AD, 0x30F3, 0x7D42, 0x8A2D, 0x8AAD};

// Faces worth trying, best first: the IPA gothic face by either of its names, then whatever
// fontconfig ranks next among faces that cover the probe characters.
std::vector<std::pair<std::string, int>> JapaneseFaceCandidates() {
  std::vector<std::pair<std::string, int>> candidates;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return candidates;

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAGothic"));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAゴシック"));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  FcCharSet* probe = FcCharSetCreate();
  for (FcChar32 ch : kJapaneseProbe) FcCharSetAddChar(probe, ch);

  FcResult result = FcResultNoMatch;
  // Untrimmed: trimming could drop a face only because an earlier one already covers it.
  FcFontSet* fonts = FcFontSort(config, pattern, FcFalse, nullptr, &result);
  if (fonts != nullptr) {
    for (int i = 0; i < fonts->nfont; ++i) {
      FcPattern* font = fonts->fonts[i];
      FcCharSet* charset = nullptr;
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch ||
          !FcCharSetIsSubset(probe, charset)) {
        continue;
      }
      if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) continue;
      if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
      candidates.emplace_back(reinterpret_cast<const char*>(file), index);
    }
    FcFontSetDestroy(fonts);
  }
  FcCharSetDestroy(probe);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return candidates;
}

// FreeType's 26.6 fixed point, rounded up so lines never overlap.
int CeilPixels(long value) {
  return static_cast<int>((value + 63) >> 6);
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t ch = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2;
      ch = lead & 0x1F;
      smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      ch = lead & 0x0F;
      smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      ch = lead & 0x07;
      smallest = 0x10000;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t read = 1;
    while (read < length && i + read < text.size() &&
           (static_cast<uint8_t>(text[i + read]) & 0xC0) == 0x80) {
      ch = (ch << 6) | (static_cast<uint8_t>(text[i + read]) & 0x3F);
      ++read;
    }
    const bool valid =
        read == length && ch >= smallest && ch <= 0x10FFFF && !(ch >= 0xD800 && ch <= 0xDFFF);
    out.push_back(valid ? ch : kReplacement);
    i += read;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t ch : text) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) ch = kReplacement;
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return out;
}

UiFont::~UiFont() {
  if (face_ != nullptr) FT_Done_Face(face_);
  if (library_ != nullptr) FT_Done_FreeType(library_);
}

bool UiFont::Load(std::string& error) {
  if (face_ != nullptr) return true;
  if (library_ == nullptr && FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    error = "FreeType could not be initialised";
    return false;
  }
  const auto candidates = JapaneseFaceCandidates();
  for (const auto& [file, index] : candidates) {
    FT_Face face = nullptr;
    if (FT_New_Face(library_, file.c_str(), index, &face) != 0) continue;
    face_ = face;
    path_ = file;
    return true;
  }
  error = candidates.empty()
              ? "no font with Japanese characters was found (install fonts-ipafont-gothic)"
              : "no font with Japanese characters could be opened";
  return false;
}

bool UiFont::UseSize(int pixelSize) {
  if (face_ == nullptr || pixelSize < 1 || pixelSize > 256) return false;
  if (pixelSize == currentSize_) return true;
  if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize)) != 0) return false;
  currentSize_ = pixelSize;
  return true;
}

int UiFont::Ascent(int pixelSize) {
  return UseSize(pixelSize) ? CeilPixels(face_->size->metrics.ascender) : pixelSize;
}

int UiFont::LineHeight(int pixelSize) {
  return UseSize(pixelSize) ? CeilPixels(face_->size->metrics.height) : pixelSize;
}

const UiFont::Glyph* UiFont::Find(char32_t ch, int pixelSize) {
  const uint64_t key = (static_cast<uint64_t>(pixelSize) << 32) | ch;
  if (auto it = cache_.find(key); it != cache_.end()) return &it->second;
  if (!UseSize(pixelSize)) return nullptr;
  // Message texts are short and few; this only guards against a game that feeds endless new
  // characters through message boxes.
  if (cache_.size() > 8192) cache_.clear();

  Glyph glyph;
  FT_UInt index = FT_Get_Char_Index(face_, ch);
  // Many Japanese faces lack the replacement character; a question mark reads better than the
  // empty box the face would draw instead.
  if (index == 0 && ch == kReplacement) index = FT_Get_Char_Index(face_, '?');
  if (FT_Load_Glyph(face_, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
    glyph.advance = pixelSize / 2;
    return &cache_.emplace(key, std::move(glyph)).first->second;
  }
  const FT_GlyphSlot slot = face_->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  const bool gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.num_grays > 1;
  const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  if ((gray || mono) && bitmap.buffer != nullptr) {
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
    const int pitch = bitmap.pitch;
    for (int y = 0; y < glyph.rows; ++y) {
      // A negative pitch stores the bottom row first.
      const uint8_t* src =
          pitch >= 0 ? bitmap.buffer + static_cast<ptrdiff_t>(y) * pitch
                     : bitmap.buffer + static_cast<ptrdiff_t>(glyph.rows - 1 - y) * -pitch;
      uint8_t* dst = glyph.coverage.data() + static_cast<size_t>(y) * glyph.width;
      for (int x = 0; x < glyph.width; ++x) {
        if (mono) {
          dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        } else {
          dst[x] = static_cast<uint8_t>(src[x] * 255 / (bitmap.num_grays - 1));
        }
      }
    }
  }
  return &cache_.emplace(key, std::move(glyph)).first->second;
}

int UiFont::Measure(std::u32string_view text, int pixelSize) {
  int width = 0;
  for (char32_t ch : text) {
    if (ch < 0x20) continue;
    if (const Glyph* glyph = Find(ch, pixelSize)) width += glyph->advance;
  }
  return width;
}

void UiFont::Draw(Surface& target, int x, int baseline, std::u32string_view text, int pixelSize,
                  UiColor color, const UiRect& clip) {
  const int clipX0 = std::max(clip.x, 0);
  const int clipY0 = std::max(clip.y, 0);
  const int clipX1 = std::min(clip.x + clip.w, target.Width());
  const int clipY1 = std::min(clip.y + clip.h, target.Height());
  if (clipX0 >= clipX1 || clipY0 >= clipY1) return;

  int penX = x;
  for (char32_t ch : text) {
    if (ch < 0x20) continue;
    const Glyph* glyph = Find(ch, pixelSize);
    if (glyph == nullptr) continue;
    const int left = penX + glyph->left;
    const int top = baseline - glyph->top;
    const int x0 = std::max(left, clipX0);
    const int x1 = std::min(left + glyph->width, clipX1);
    const int y0 = std::max(top, clipY0);
    const int y1 = std::min(top + glyph->rows, clipY1);
    for (int py = y0; py < y1; ++py) {
      const uint8_t* alpha =
          glyph->coverage.data() + static_cast<size_t>(py - top) * glyph->width + (x0 - left);
      uint8_t* p = target.Row(py) + x0 * 3;
      for (int px = x0; px < x1; ++px, ++alpha, p += 3) {
        const int a = *alpha;
        if (a == 0) continue;
        p[0] = static_cast<uint8_t>((p[0] * (255 - a) + color.b * a + 127) / 255);
        p[1] = static_cast<uint8_t>((p[1] * (255 - a) + color.g * a + 127) / 255);
        p[2] = static_cast<uint8_t>((p[2] * (255 - a) + color.r * a + 127) / 255);
      }
    }
    penX += glyph->advance;
  }
}

}  // namespace zorvel
