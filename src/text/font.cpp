#include "text/font.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <tuple>
#include <unordered_map>

#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Decodes exactly one UTF-8 character; 0 when `text` is anything else.
char32_t SingleCodePoint(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<uint8_t>(text[0]);
  size_t length = 1;
  char32_t ch = lead;
  if (lead >= 0xF0) {
    length = 4;
    ch = lead & 0x07;
  } else if (lead >= 0xE0) {
    length = 3;
    ch = lead & 0x0F;
  } else if (lead >= 0xC0) {
    length = 2;
    ch = lead & 0x1F;
  } else if (lead >= 0x80) {
    return 0;
  }
  if (text.size() != length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto b = static_cast<uint8_t>(text[i]);
    if ((b & 0xC0) != 0x80) return 0;
    ch = (ch << 6) | (b & 0x3F);
  }
  return ch;
}

std::u32string DecodeAll(std::string_view utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    const char32_t ch = SingleCodePoint(utf8.substr(i, length));
    out.push_back(ch == 0 ? U'\uFFFD' : ch);
    i += std::min(length, utf8.size() - i);
  }
  return out;
}

// Face names compare without spaces, with full-width letters as ASCII and in lower case, so
// that "ＭＳ Ｐゴシック", "MS PGothic"-style spellings and "IPA Pゴシック" all meet their table
// entry or family.
std::u32string FaceKey(std::string_view utf8Name) {
  std::u32string key;
  for (char32_t ch : DecodeAll(utf8Name)) {
    if (ch >= 0xFF01 && ch <= 0xFF5E) ch -= 0xFEE0;
    if (ch == U' ' || ch == 0x3000 || ch == U'\t') continue;
    if (ch >= U'A' && ch <= U'Z') ch += 32;
    key.push_back(ch);
  }
  return key;
}

struct WindowsFace {
  const char32_t* key;
  const char* family;
};
// Keys are FaceKey forms: see the table at the top of font.h.
constexpr WindowsFace kWindowsFaces[] = {
    {U"msゴシック", "IPAGothic"}, {U"msgothic", "IPAGothic"},   {U"mspゴシック", "IPAPGothic"},
    {U"mspgothic", "IPAPGothic"}, {U"ms明朝", "IPAMincho"},     {U"msmincho", "IPAMincho"},
    {U"msp明朝", "IPAPMincho"},   {U"mspmincho", "IPAPMincho"},
};

// A face of any family must show kana and common kanji to stand in for a game's font.
constexpr FcChar32 kJapaneseProbe[] = {0x3042, 0x30A2, 0x65E5, 0x672C, 0x8A9E, 0x3002};

struct Candidate {
  std::string file;
  int index = 0;
  std::string family;
  int weight = FC_WEIGHT_REGULAR;
  bool embolden = false;  // fontconfig's own advice to embolden a regular face
};

bool FontconfigReady() {
  static const bool ready = FcInit() == FcTrue;
  return ready;
}

FcPattern* MakePattern(std::string_view family, bool bold, bool japanese) {
  FcPattern* pattern = FcPatternCreate();
  const std::string name(family);
  if (!name.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  }
  if (japanese) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  return pattern;
}

std::optional<Candidate> ReadCandidate(FcPattern* font, const std::u32string& wantedKey) {
  Candidate c;
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  c.file = reinterpret_cast<const char*>(file);
  if (FcPatternGetInteger(font, FC_INDEX, 0, &c.index) != FcResultMatch) c.index = 0;
  if (FcPatternGetInteger(font, FC_WEIGHT, 0, &c.weight) != FcResultMatch) {
    c.weight = FC_WEIGHT_REGULAR;
  }
  FcBool embolden = FcFalse;
  c.embolden = FcPatternGetBool(font, FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden;
  FcChar8* family = nullptr;
  bool named = wantedKey.empty();
  for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    const std::string name = reinterpret_cast<const char*>(family);
    if (i == 0) c.family = name;
    if (!named && FaceKey(name) == wantedKey) {
      c.family = name;
      named = true;
    }
  }
  if (!named) return std::nullopt;
  return c;
}

// fontconfig's best face for the family, only when that face carries the family's name.
std::optional<Candidate> MatchFamily(std::string_view family, bool bold) {
  if (family.empty() || !FontconfigReady()) return std::nullopt;
  FcPattern* pattern = MakePattern(family, bold, false);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, pattern, &result);
  std::optional<Candidate> c;
  if (font != nullptr) {
    c = ReadCandidate(font, FaceKey(family));
    FcPatternDestroy(font);
  }
  FcPatternDestroy(pattern);
  return c;
}

// Installed faces that cover Japanese, in fontconfig's order for the wanted family.
std::vector<Candidate> JapaneseFaces(std::string_view preferFamily, bool bold) {
  std::vector<Candidate> out;
  if (!FontconfigReady()) return out;
  FcPattern* pattern = MakePattern(preferFamily, bold, true);
  FcCharSet* probe = FcCharSetCreate();
  for (FcChar32 ch : kJapaneseProbe) FcCharSetAddChar(probe, ch);
  FcResult result = FcResultNoMatch;
  // Untrimmed: trimming drops faces only because an earlier one covers the same characters.
  FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  if (fonts != nullptr) {
    for (int i = 0; i < fonts->nfont; ++i) {
      FcPattern* font = fonts->fonts[i];
      FcCharSet* charset = nullptr;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch ||
          !FcCharSetIsSubset(probe, charset)) {
        continue;
      }
      FcBool outline = FcTrue;
      if (FcPatternGetBool(font, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline) continue;
      if (auto c = ReadCandidate(font, {})) out.push_back(std::move(*c));
    }
    FcFontSetDestroy(fonts);
  }
  FcCharSetDestroy(probe);
  FcPatternDestroy(pattern);
  return out;
}

const char* HowText(FontChoice::How how) {
  switch (how) {
    case FontChoice::How::kWindowsAlias:
      return "stands in for the Windows face";
    case FontChoice::How::kFamily:
      return "installed";
    case FontChoice::How::kFallback:
      return "not installed; using a face that covers Japanese";
    case FontChoice::How::kNone:
      break;
  }
  return "";
}

bool IsLeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The code of the character at text[pos] and its byte count; a lead byte at the end of the
// text, or before a 0, is a code by itself.
uint16_t CodeAt(std::string_view text, size_t pos, int& used) {
  const auto lead = static_cast<uint8_t>(text[pos]);
  if (IsLeadByte(lead) && pos + 1 < text.size() && text[pos + 1] != 0) {
    used = 2;
    return static_cast<uint16_t>(lead << 8 | static_cast<uint8_t>(text[pos + 1]));
  }
  used = 1;
  return lead;
}

struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb kFixedColours[8] = {
    {255, 255, 255}, {0, 128, 0}, {255, 0, 0},   {128, 0, 128},
    {255, 255, 0},   {0, 0, 255}, {0, 255, 255}, {192, 192, 192},
};

constexpr int kCellRowBytes = kGlyphCellWidth * 3;
// Further from any surface than a glyph reaches, and far from int's ends.
constexpr int64_t kFarOff = 1 << 24;

// One cell row blended onto a target row at pixel x, clipped to `targetWidth`. The 8-byte
// groups stay aligned to the cell as in an unclipped drawing, and a group whose mask is all 0
// is skipped as BlendMasked does, so a clipped glyph shows exactly the pixels it would show
// on a wider target.
void BlendCellRow(uint8_t* targetRow, int targetWidth, int x, const uint8_t* colour,
                  const uint8_t* mask) {
  const int first = std::max(0, -x * 3);
  const int end = std::min(kCellRowBytes, (targetWidth - x) * 3);
  if (first >= end) return;
  uint8_t* cellStart = targetRow + static_cast<ptrdiff_t>(x) * 3;
  if (first == 0 && end == kCellRowBytes) {
    BlendMasked(cellStart, cellStart, colour, mask, kCellRowBytes / 8);
    return;
  }
  for (int group = first / 8; group * 8 < end; ++group) {
    const int g0 = group * 8;
    if (g0 >= first && g0 + 8 <= end) {
      BlendMasked(cellStart + g0, cellStart + g0, colour + g0, mask + g0, 1);
      continue;
    }
    uint64_t maskBits = 0;
    std::memcpy(&maskBits, mask + g0, 8);
    if (maskBits == 0) continue;
    for (int b = std::max(g0, first); b < std::min(g0 + 8, end); ++b) {
      const int m = mask[b];
      cellStart[b] = static_cast<uint8_t>((cellStart[b] * (255 - m) + colour[b] * m) >> 8);
    }
  }
}

// One row of the shadow: each pixel of map row `here` is the average of its four neighbours,
// which softens the glyph's edge. The two end columns stay as `soft` holds them.
void SoftenRow(const uint8_t* here, uint8_t* soft) {
  const uint8_t* above = here - kGlyphCellWidth;
  const uint8_t* below = here + kGlyphCellWidth;
  for (int j = 1; j <= kGlyphCellWidth - 2; ++j) {
    soft[j] = static_cast<uint8_t>((above[j] + here[j - 1] + here[j + 1] + below[j]) >> 2);
  }
}

// One cell row of grey bytes as 24-bit pixels.
void GreyRowToPixels(const uint8_t* grey, uint8_t* pixels) {
  // Staged through local rows so that no load of the source waits behind a store to the
  // picture that the processor cannot yet tell apart from it.
  uint8_t in[kGlyphCellWidth];
  uint8_t out[kGlyphCellWidth * 3 + 1];
  std::memcpy(in, grey, sizeof in);
  // Four equal bytes a pixel, the fourth overwritten by the next pixel: a third of the stores.
  for (int c = 0; c < kGlyphCellWidth; ++c) {
    const uint32_t quad = in[c] * 0x01010101u;
    std::memcpy(out + c * 3, &quad, 4);
  }
  std::memcpy(pixels, out, kGlyphCellWidth * 3);
}

}  // namespace

std::u32string SjisToCodePoints(std::string_view sjis) {
  return DecodeAll(SjisToUtf8(sjis));
}

std::string_view WindowsFaceAlias(std::string_view utf8Name) {
  const std::u32string key = FaceKey(utf8Name);
  for (const WindowsFace& face : kWindowsFaces) {
    if (key == face.key) return face.family;
  }
  return {};
}

// ---- FontFace ------------------------------------------------------------------------------

FontFace::FontFace(FontLog log) : log_(std::move(log)) {
  if (!log_) log_ = [](const std::string& line) { LogMessage(line); };
}

FontFace::~FontFace() {
  Close();
}

void FontFace::Close() {
  if (face_ != nullptr) FT_Done_Face(face_);
  face_ = nullptr;
  choice_ = FontChoice{};
}

namespace {

using CandidateList = std::vector<std::pair<Candidate, FontChoice::How>>;

// The faces to try for a name, best first. Asking fontconfig costs more than the rest of an
// engine's start, and every engine and helper of a process asks the same few questions, so the
// answers are kept for the process; installed fonts do not change under a running game.
// A font file's bytes, mapped once for the process (empty when it cannot be mapped). Opening a
// face from its file maps and faults in its tables again for every engine; faces opened from
// one mapping share the pages.
std::span<const uint8_t> MappedFontFile(const std::string& path) {
  static std::map<std::string, std::span<const uint8_t>> mapped;
  if (const auto it = mapped.find(path); it != mapped.end()) return it->second;
  std::span<const uint8_t> bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    void* at = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (at != MAP_FAILED)
      bytes = {static_cast<const uint8_t*>(at), static_cast<size_t>(st.st_size)};
  }
  if (fd >= 0) ::close(fd);
  // Only a mapping is kept: a file that failed is tried again (and opened by path) next time.
  if (!bytes.empty()) mapped.emplace(path, bytes);
  return bytes;
}

const CandidateList& Candidates(std::string_view utf8Name, bool bold) {
  static std::map<std::pair<std::string, bool>, CandidateList> known;
  auto key = std::make_pair(std::string(utf8Name), bold);
  if (const auto it = known.find(key); it != known.end()) return it->second;
  CandidateList tries;
  const std::string_view alias = WindowsFaceAlias(utf8Name);
  if (!alias.empty()) {
    if (auto c = MatchFamily(alias, bold)) tries.emplace_back(*c, FontChoice::How::kWindowsAlias);
  }
  if (auto c = MatchFamily(utf8Name, bold)) tries.emplace_back(*c, FontChoice::How::kFamily);
  for (Candidate& c : JapaneseFaces(alias.empty() ? utf8Name : alias, bold)) {
    tries.emplace_back(std::move(c), FontChoice::How::kFallback);
  }
  // Names come from game data; a damaged configuration must not grow this without end.
  if (known.size() >= 64) known.clear();
  return known.emplace(std::move(key), std::move(tries)).first->second;
}

}  // namespace

std::vector<std::string> InstalledFontFamilies() {
  std::vector<std::string> families;
  if (!FontconfigReady()) return families;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      // A face may carry its family name in several languages: each is a name a player knows.
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch;
           ++n) {
        families.emplace_back(reinterpret_cast<const char*>(family));
      }
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return families;
}

JapaneseFaceFile FindJapaneseFace(std::string_view utf8Family) {
  const CandidateList& tries = Candidates(utf8Family, false);
  const auto isFallback = [&](const Candidate& c) {
    return std::any_of(tries.begin(), tries.end(), [&](const auto& t) {
      return t.second == FontChoice::How::kFallback && t.first.file == c.file &&
             t.first.index == c.index;
    });
  };
  JapaneseFaceFile found;
  for (const auto& [c, how] : tries) {
    // A family found by name need not cover Japanese, and a label in boxes helps nobody.
    if (how == FontChoice::How::kFamily && !isFallback(c)) continue;
    found.file = c.file;
    found.index = c.index;
    found.family = c.family;
    found.bytes = MappedFontFile(c.file);
    break;
  }
  return found;
}

FontChoice FontFace::Open(std::string_view utf8Name, bool bold) {
  Close();
  choice_.requested = std::string(utf8Name);
  const std::string quoted = "font \"" + choice_.requested + "\": ";
  // One FreeType for the process: starting one registers every module, a cost each engine
  // (the fuzzer runs thousands) would pay again. Fonts are made and drawn on one thread.
  static FT_Library shared = [] {
    FT_Library library = nullptr;
    return FT_Init_FreeType(&library) == 0 ? library : nullptr;
  }();
  library_ = shared;
  if (library_ == nullptr) {
    log_(quoted + "FreeType could not be started; text will not be drawn");
    return choice_;
  }

  for (const auto& [c, how] : Candidates(utf8Name, bold)) {
    FT_Face face = nullptr;
    const std::span<const uint8_t> bytes = MappedFontFile(c.file);
    const FT_Error opened =
        bytes.empty() ? FT_New_Face(library_, c.file.c_str(), c.index, &face)
                      : FT_New_Memory_Face(library_, bytes.data(),
                                           static_cast<FT_Long>(bytes.size()), c.index, &face);
    if (opened != 0) {
      log_(quoted + "cannot open " + c.file + "; trying the next face");
      continue;
    }
    if (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      FT_Done_Face(face);
      log_(quoted + c.file + " has no Unicode outlines; trying the next face");
      continue;
    }
    face_ = face;
    choice_.family = c.family;
    choice_.file = c.file;
    choice_.faceIndex = c.index;
    choice_.how = how;
    choice_.syntheticBold = bold && (c.embolden || c.weight < FC_WEIGHT_DEMIBOLD);
    unitsPerEm_ = face->units_per_EM > 0 ? face->units_per_EM : 1000;
    // Windows places glyphs by the face's Windows ascent, which can differ from the one
    // FreeType reports; the cell layout of the games was made with it.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    ascentUnits_ = (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent > 0)
                       ? os2->usWinAscent
                       : face->ascender;
    cellUnits_ = (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent > 0)
                     ? os2->usWinAscent + os2->usWinDescent
                     : face->ascender - face->descender;
    if (cellUnits_ <= 0) cellUnits_ = unitsPerEm_;
    // A game that names no face gets the fallback; say so rather than quote an empty name.
    const std::string said = choice_.requested.empty()
                                 ? "font: the game names no face; using a face that covers Japanese"
                                 : quoted + HowText(how);
    log_(said + ": " + c.family + ", " + c.file +
         (choice_.syntheticBold ? " (bold by emboldening)" : ""));
    return choice_;
  }
  log_(quoted +
       "no installed face covers Japanese; text will not be drawn "
       "(install fonts-ipafont-gothic)");
  return choice_;
}

bool FontFace::SetPixelEm(int em) {
  if (face_ == nullptr || em < 1 || em > 512) return false;
  if (em == choice_.pixelEm) return true;
  if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(em)) != 0) return false;
  choice_.pixelEm = em;
  ascent_ = (ascentUnits_ * em + unitsPerEm_ / 2) / unitsPerEm_;
  return true;
}

bool FontFace::SetCellHeight(int pixels) {
  if (face_ == nullptr || pixels < 1 || pixels > 512) return false;
  const int em = std::max(1, (pixels * unitsPerEm_ + cellUnits_ / 2) / cellUnits_);
  return SetPixelEm(em);
}

bool FontFace::Render(char32_t ch, Bitmap& out) {
  if (face_ == nullptr) return false;
  const FT_UInt index = FT_Get_Char_Index(face_, ch);
  if (index == 0) return false;
  if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP) != 0) return false;
  const FT_GlyphSlot slot = face_->glyph;
  if (choice_.syntheticBold) FT_GlyphSlot_Embolden(slot);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  const bool grey = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.num_grays > 1;
  const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  if (!grey && !mono) return false;
  out.width = static_cast<int>(bitmap.width);
  out.rows = static_cast<int>(bitmap.rows);
  out.left = slot->bitmap_left;
  out.top = slot->bitmap_top;
  out.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  out.coverage.resize(static_cast<size_t>(out.width) * out.rows);
  const int maxGrey = grey ? bitmap.num_grays - 1 : 1;
  for (int y = 0; y < out.rows; ++y) {
    // A negative pitch stores the bottom row first.
    const uint8_t* src =
        bitmap.pitch >= 0
            ? bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch
            : bitmap.buffer + static_cast<ptrdiff_t>(out.rows - 1 - y) * -bitmap.pitch;
    uint8_t* dst = out.coverage.data() + static_cast<size_t>(y) * out.width;
    for (int x = 0; x < out.width; ++x) {
      if (mono) {
        dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (maxGrey == 255) {
        dst[x] = src[x];
      } else {
        dst[x] = static_cast<uint8_t>(src[x] * 255 / maxGrey);
      }
    }
  }
  return true;
}

// ---- Font ----------------------------------------------------------------------------------

static_assert(kCoverageBytes == kGlyphCellWidth * kGlyphCellHeight);
static_assert(GlyphCell{}.coverageEnd == kGlyphCellHeight &&
              GlyphCell{}.shadowEnd == kGlyphCellHeight);

Font::Font(const GameConfig& config, const VariableBanks& vars, Platform& platform, FontLog log)
    : config_(config), vars_(vars), platform_(platform), face_(std::move(log)) {}

FontChoice Font::Load(std::string_view sjisFontName, int sizePoints, bool bold) {
  face_.Open(SjisToUtf8(sjisFontName), bold);
  // The settings dialog offers 18 to 24 points; a hand-edited value far outside would only
  // make every glyph miss the cell.
  const int points = std::clamp(sizePoints, 1, 200);
  face_.SetPixelEm(PointsToPixels(points));
  rasterMemo_ = nullptr;
  return face_.Choice();
}

char32_t Font::UnicodeOf(uint16_t code) {
  if (auto it = unicode_.find(code); it != unicode_.end()) return it->second;
  char bytes[2];
  size_t length = 0;
  if (code > 0xFF) bytes[length++] = static_cast<char>(code >> 8);
  bytes[length++] = static_cast<char>(code & 0xFF);
  char32_t ch = SingleCodePoint(SjisToUtf8(std::string_view(bytes, length)));
  if (ch < 0x20 || ch == 0x7F || ch == 0xFFFD) ch = 0;
  unicode_.emplace(code, ch);
  return ch;
}

bool Font::RasteriseGlyph(uint16_t code, CoverageMap& map) {
  map.fill(0);
  const char32_t ch = UnicodeOf(code);
  if (ch == 0 || !face_.Render(ch, bitmap_)) return false;
  // The size Windows would hand out for this bitmap: rows padded to 4 bytes.
  const size_t padded = static_cast<size_t>((bitmap_.width + 3) & ~3) * bitmap_.rows;
  if (padded == 0 || padded >= static_cast<size_t>(kCoverageBytes)) return false;
  // Two rows of headroom above the ascent line.
  const int top = face_.Ascent() - bitmap_.top + 2;
  const int rowBegin = std::max(0, -top);
  const int rowEnd = std::min(bitmap_.rows, kGlyphCellHeight - top);
  const int colBegin = std::max(0, -bitmap_.left);
  const int colEnd = std::min(bitmap_.width, kGlyphCellWidth - bitmap_.left);
  for (int i = rowBegin; i < rowEnd; ++i) {
    const uint8_t* src = bitmap_.coverage.data() + static_cast<size_t>(i) * bitmap_.width;
    uint8_t* dst = map.data() + static_cast<size_t>(i + top) * kGlyphCellWidth + bitmap_.left;
    for (int j = colBegin; j < colEnd; ++j) {
      // FreeType's 256 levels to the 65 the cell layout works in, 255 -> 64.
      const int level = (src[j] * 64 + 127) / 255;
      dst[j] = MapGreyLevel(level);
    }
  }
  return true;
}

namespace {

// Which face a rasterised map belongs to: file, face in it, size and weight.
using RasterKey = std::tuple<std::string, int, int, bool>;

RasterKey KeyOf(const FontChoice& choice) {
  return {choice.file, choice.faceIndex, choice.pixelEm, choice.syntheticBold};
}

}  // namespace

// Rasterising is a function of the face and the code alone, and every engine in a process
// uses the same face: a cell made once is kept for the process, so a later engine (and every
// code past the cache's thousand) draws without the rasteriser or the conversion. Codes are 16
// bits and most are no character, so this stays far below the size of the face's glyph set.
std::unordered_map<uint16_t, std::unique_ptr<const GlyphCell>>& Font::RasterMemo() {
  if (rasterMemo_ == nullptr) {
    static std::map<RasterKey, std::unordered_map<uint16_t, std::unique_ptr<const GlyphCell>>>
        faces;
    rasterMemo_ = &faces[KeyOf(face_.Choice())];
  }
  return *rasterMemo_;
}

bool Font::MakeCell(uint16_t code, GlyphCell& cell) {
  if (!RasteriseGlyph(code, cell.map)) return false;
  const uint8_t* map = cell.map.data();
  for (int r = 0; r < kGlyphCellHeight; ++r) {
    GreyRowToPixels(map + r * kGlyphCellWidth, cell.coverage.data() + r * kCellRowBytes);
  }
  std::memset(cell.shadow.data(), 0, 2 * kCellRowBytes);
  uint8_t soft[kGlyphCellWidth] = {};
  for (int i = 1; i <= kGlyphCellHeight - 2; ++i) {
    SoftenRow(map + i * kGlyphCellWidth, soft);
    GreyRowToPixels(soft, cell.shadow.data() + (i + 1) * kCellRowBytes);
  }
  // A row of zero coverage leaves the target as it was, so only the inked rows are drawn.
  const auto inked = [](const CellPixels& pixels, uint8_t& begin, uint8_t& end) {
    const auto empty = [&pixels](int r) {
      const uint8_t* row = pixels.data() + r * kCellRowBytes;
      return std::all_of(row, row + kCellRowBytes, [](uint8_t b) { return b == 0; });
    };
    int first = 0;
    while (first < kGlyphCellHeight && empty(first)) ++first;
    int last = kGlyphCellHeight;
    while (last > first && empty(last - 1)) --last;
    begin = static_cast<uint8_t>(first);
    end = static_cast<uint8_t>(last);
  };
  inked(cell.coverage, cell.coverageBegin, cell.coverageEnd);
  inked(cell.shadow, cell.shadowBegin, cell.shadowEnd);
  return true;
}

void Font::RenderGlyph(uint16_t code) {
  // Codes the face cannot draw (blanks, damaged text) leave nothing to blend.
  static const GlyphCell kBlankCell{};
  const GlyphCell* cell = cache_.FindCell(code);
  if (cell == nullptr && rememberRasterised_) {
    auto& memo = RasterMemo();
    auto it = memo.find(code);
    if (it == memo.end()) {
      auto made = std::make_unique<GlyphCell>();
      if (!MakeCell(code, *made)) made.reset();
      it = memo.emplace(code, std::move(made)).first;
    }
    cell = it->second.get();
    if (cell != nullptr) cache_.Add(code, cell);
  } else if (cell == nullptr) {
    // Not remembered: a cell of this font's own while the cache has room, else a scratch one.
    GlyphCell& target = cache_.Count() < GlyphCache::kCapacity ? ownCells_.emplace_back() : work_;
    if (MakeCell(code, target)) {
      cell = &target;
      if (&target != &work_) cache_.Add(code, cell);
    } else if (&target != &work_) {
      ownCells_.pop_back();
    }
  }
  blank_ = cell == nullptr;
  glyph_ = blank_ ? &kBlankCell : cell;
}

int Font::RenderChar(const char* bytes) {
  int used = 1;
  const size_t available = IsLeadByte(static_cast<uint8_t>(bytes[0])) && bytes[1] != 0 ? 2 : 1;
  RenderGlyph(CodeAt(std::string_view(bytes, available), 0, used));
  return used;
}

void Font::PrecacheGlyphs() {
  // Every engine in a process asks for the same face and size; the rasterised set is kept per
  // face, size and weight, so a later engine (tests, the fuzzer) starts from a copy of it.
  static std::map<RasterKey, GlyphCache> precached;
  const RasterKey key = KeyOf(face_.Choice());
  // The glyph last drawn may be a cell of this font's own, about to go.
  work_ = *glyph_;
  glyph_ = &work_;
  ownCells_.clear();
  if (const auto it = precached.find(key); it != precached.end()) {
    cache_ = it->second;
    return;
  }
  cache_.Clear();
  // The precached set outlives this font: its cells must be the process's.
  const bool remember = rememberRasterised_;
  rememberRasterised_ = true;
  auto range = [this](uint16_t first, uint16_t last) {
    for (uint32_t code = first; code <= last; ++code) RenderGlyph(static_cast<uint16_t>(code));
  };
  range(0x829F, 0x82F1);  // hiragana
  range(0x8340, 0x8396);  // katakana
  range(0x824F, 0x8258);  // full-width digits
  // Full-width space, 「 」 （ ） … 。 、 ・ ！ ？ 日 『 』
  for (uint16_t code : {0x8140, 0x8175, 0x8176, 0x8169, 0x816A, 0x8163, 0x8142, 0x8141, 0x8145,
                        0x8149, 0x8148, 0x93FA, 0x8177, 0x8178}) {
    RenderGlyph(code);
  }
  rememberRasterised_ = remember;
  precached.emplace(key, cache_);
}

void Font::SetTextColour(int index) {
  const int i = ((index % 8) + 8) % 8;
  Rgb c = kFixedColours[i];
  if (i == 0) {
    const auto v = static_cast<uint32_t>(vars_.S[kTextColour]);
    c = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
  }
  const uint32_t packed = uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
  if (packed == planeColour_) return;
  for (size_t i = 0; i < textRow_.size(); i += 3) {
    textRow_[i] = c.b;
    textRow_[i + 1] = c.g;
    textRow_[i + 2] = c.r;
  }
  planeColour_ = packed;
}

void Font::DrawGlyph(Surface& target, int x, int y) const {
  const int width = target.Width();
  const int height = target.Height();
  if (blank_ || y >= height || y + kGlyphCellHeight <= 0 || x >= width ||
      x + 1 + kGlyphCellWidth <= 0) {
    return;
  }
  const GlyphCell& g = *glyph_;
  const int rowBegin = std::max(0, -y);
  const int rowEnd = std::min(kGlyphCellHeight, height - y);
  // Every row of a colour plane is the same colour; the shadow's is black.
  static constexpr std::array<uint8_t, kCellRowBytes> kBlackRow{};
  for (int r = std::max<int>(rowBegin, g.shadowBegin); r < std::min<int>(rowEnd, g.shadowEnd);
       ++r) {
    BlendCellRow(target.Row(y + r), width, x + 1, kBlackRow.data(),
                 g.shadow.data() + r * kCellRowBytes);
  }
  for (int r = std::max<int>(rowBegin, g.coverageBegin); r < std::min<int>(rowEnd, g.coverageEnd);
       ++r) {
    BlendCellRow(target.Row(y + r), width, x, textRow_.data(),
                 g.coverage.data() + r * kCellRowBytes);
  }
}

void Font::DrawGlyphToScreen(int x, int y, Surface& screen, std::span<Surface> animationFrames,
                             const Surface* shown) {
  DrawGlyph(screen, x, y);
  for (Surface& frame : animationFrames) DrawGlyph(frame, x, y);
  const Surface& source = shown != nullptr ? *shown : screen;
  const int x0 = std::max(0, x);
  const int y0 = std::max(0, y);
  const int x1 = std::min(source.Width(), x + kGlyphCellWidth);
  const int y1 = std::min(source.Height(), y + kGlyphCellHeight);
  if (x0 < x1 && y0 < y1) platform_.PresentRect(source, x0, y0, x1 - x0, y1 - y0);
}

void Font::DrawTextRun(std::string_view text, int x, Surface& target, int colourIndex, int y) {
  SetTextColour(colourIndex);
  DrawRun(text.substr(0, text.find('\0')), x, target, y);
}

void Font::DrawTextRunCentred(std::string_view text, int x, Surface& target, int colourIndex,
                              int y) {
  SetTextColour(colourIndex);
  text = text.substr(0, text.find('\0'));
  DrawRun(text, int64_t{x} - static_cast<int64_t>(text.size()) * config_.TX_PITCH_X / 2, target, y);
}

void Font::DrawRun(std::string_view text, int64_t x, Surface& target, int y) {
  // The pitch comes from the game's configuration and may be anything: positions are summed in
  // 64 bits, and one that no surface reaches is held far off rather than wrapped onto it.
  const int64_t pitch = config_.TX_PITCH_X;
  for (size_t pos = 0; pos < text.size();) {
    int used = 1;
    RenderGlyph(CodeAt(text, pos, used));
    const int64_t at = x + static_cast<int64_t>(pos + 1) * pitch;
    DrawGlyph(target, static_cast<int>(std::clamp<int64_t>(at, -kFarOff, kFarOff)), y);
    pos += static_cast<size_t>(used);
  }
}

}  // namespace zorvel
