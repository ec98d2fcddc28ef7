#include "text/font.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "text/sjis.h"
#include "text/system_text.h"

namespace zorvel {
namespace {

std::string Sjis(const std::string& utf8) {
  return Utf8ToSjis(utf8).value();
}

// A font over the usual game settings, with its log lines kept.
struct FontRig {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  GameConfig config;
  VariableBanks vars;
  std::vector<std::string> log;
  Font font{config, vars, platform, [this](const std::string& line) { log.push_back(line); }};

  explicit FontRig(const std::string& utf8Face = "ＭＳ ゴシック", int points = 19,
                   bool bold = false) {
    config.TX_PITCH_X = 12;
    vars.S[kTextColour] = kWhite;
    font.Load(Sjis(utf8Face), points, bold);
  }
  std::string Log() const {
    std::string all;
    for (const std::string& line : log) all += line + "\n";
    return all;
  }
};

std::vector<uint8_t> Pixels(const Surface& s) {
  std::vector<uint8_t> out;
  for (int y = 0; y < s.Height(); ++y) out.insert(out.end(), s.Row(y), s.Row(y) + s.Width() * 3);
  return out;
}

std::vector<uint8_t> Pixels(const CellPixels& cell) {
  return {cell.begin(), cell.end()};
}

// A background with every byte different from its neighbours, so that a misplaced or missing
// blend shows.
Surface Pattern(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < w * 3; ++x) row[x] = static_cast<uint8_t>(x * 7 + y * 13 + 40);
  }
  return s;
}

// ---- Fixed tables ---------------------------------------------------------------------------

TEST(FontTables, GreyLevelsAndPointSizes) {
  const std::map<int, int> grey = {{0, 0},    {1, 93},   {2, 96},  {30, 180},
                                   {55, 255}, {56, 255}, {64, 255}};
  for (const auto& [level, mapped] : grey) EXPECT_EQ(MapGreyLevel(level), mapped) << level;
  // Windows points at 96 dots per inch, rounded.
  const std::map<int, int> ems = {{18, 24}, {19, 25}, {20, 27}, {21, 28}, {22, 29}, {24, 32}};
  for (const auto& [points, em] : ems) EXPECT_EQ(PointsToPixels(points), em) << points;
}

TEST(FontTables, WindowsFaceAliases) {
  const std::map<std::string, std::string> aliases = {
      {"ＭＳ ゴシック", "IPAGothic"},
      {"MS Gothic", "IPAGothic"},
      {"ms gothic", "IPAGothic"},
      {"ＭＳゴシック", "IPAGothic"},
      {"ＭＳ Ｐゴシック", "IPAPGothic"},
      {"MS PGothic", "IPAPGothic"},
      {"ＭＳ 明朝", "IPAMincho"},
      {"MS Mincho", "IPAMincho"},
      {"ＭＳ Ｐ明朝", "IPAPMincho"},
      {"MS PMincho", "IPAPMincho"},
      {"IPAGothic", ""},
      {"ＭＳ ゴシック体", ""},
      {"", ""},
  };
  for (const auto& [name, family] : aliases) EXPECT_EQ(WindowsFaceAlias(name), family) << name;
}

// ---- Face lookup ----------------------------------------------------------------------------

TEST(FontLoad, WindowsNamesFamiliesAndUnknownNames) {
  struct Case {
    std::string name;
    FontChoice::How how;
    std::string family;  // empty: any face that covers Japanese
  };
  const Case cases[] = {
      {"ＭＳ ゴシック", FontChoice::How::kWindowsAlias, "IPAGothic"},
      {"MS PMincho", FontChoice::How::kWindowsAlias, "IPAPMincho"},
      {"IPA明朝", FontChoice::How::kFamily, "IPA明朝"},
      {"IPAPGothic", FontChoice::How::kFamily, "IPAPGothic"},
      {"存在しない書体", FontChoice::How::kFallback, ""},
      {"", FontChoice::How::kFallback, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FontRig rig(c.name);
    const FontChoice& choice = rig.font.Choice();
    EXPECT_EQ(choice.how, c.how);
    if (!c.family.empty()) {
      EXPECT_EQ(choice.family, c.family);
    }
    EXPECT_EQ(choice.requested, c.name);
    EXPECT_EQ(choice.pixelEm, 25);
    // Whatever was chosen is named in the log with its file, and draws Japanese.
    ASSERT_FALSE(choice.file.empty());
    EXPECT_NE(rig.Log().find(choice.file), std::string::npos) << rig.Log();
    CoverageMap map{};
    EXPECT_TRUE(rig.font.RasteriseGlyph(0x82A0, map));  // あ
  }
  FontRig unknown("存在しない書体");
  EXPECT_NE(unknown.Log().find("not installed"), std::string::npos) << unknown.Log();
}

TEST(FontLoad, BoldWithoutABoldFaceIsEmboldened) {
  FontRig regular("ＭＳ 明朝", 22, false);
  FontRig bold("ＭＳ 明朝", 22, true);
  EXPECT_FALSE(regular.font.Choice().syntheticBold);
  EXPECT_TRUE(bold.font.Choice().syntheticBold);
  CoverageMap a{}, b{};
  ASSERT_TRUE(regular.font.RasteriseGlyph(0x93FA, a));  // 日
  ASSERT_TRUE(bold.font.RasteriseGlyph(0x93FA, b));
  auto ink = [](const CoverageMap& m) {
    int sum = 0;
    for (uint8_t v : m) sum += v;
    return sum;
  };
  EXPECT_GT(ink(b), ink(a) * 11 / 10);
}

TEST(FontLoad, WithoutAFaceNothingIsDrawnAndNothingBreaks) {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  GameConfig config;
  config.TX_PITCH_X = 12;
  VariableBanks vars;
  Font font(config, vars, platform, [](const std::string&) {});  // never loaded
  font.PrecacheGlyphs();
  EXPECT_EQ(font.Cache().Count(), 0);
  Surface target = Pattern(64, 48);
  const auto before = Pixels(target);
  font.DrawTextRun(Sjis("あA漢"), 0, target, 1, 0);
  EXPECT_EQ(Pixels(target), before);
}

// ---- The rasteriser against stored maps -----------------------------------------------------

struct Fixture {
  const char* file;
  const char* face;  // UTF-8
  int points;
  bool bold;
  uint16_t code;
};
// See tests/data/fonts/README.md for how these were made and how to make them again.
constexpr Fixture kFixtures[] = {
    {"ipagothic_19_82a0.txt", "ＭＳ ゴシック", 19, false, 0x82A0},  // あ
    {"ipagothic_19_8abf.txt", "ＭＳ ゴシック", 19, false, 0x8ABF},  // 漢
    {"ipagothic_19_0041.txt", "ＭＳ ゴシック", 19, false, 0x0041},  // A
    {"ipagothic_19_8142.txt", "ＭＳ ゴシック", 19, false, 0x8142},  // 。
    {"ipagothic_19_00b1.txt", "ＭＳ ゴシック", 19, false, 0x00B1},  // ｱ, half-width
    {"ipamincho_24b_93fa.txt", "ＭＳ 明朝", 24, true, 0x93FA},      // 日, bold
};

std::string FixturePath(const char* file) {
  return std::string(ZORVEL_SOURCE_DIR) + "/tests/data/fonts/" + file;
}

std::string FormatMap(const Fixture& f, const CoverageMap& map) {
  std::ostringstream out;
  char line[8];
  out << "# code " << std::hex << f.code << std::dec << ", face " << f.face << ", " << f.points
      << " points" << (f.bold ? ", bold" : "") << "\n";
  for (int r = 0; r < 35; ++r) {
    for (int c = 0; c < 32; ++c) {
      std::snprintf(line, sizeof line, "%02x", map[static_cast<size_t>(r * 32 + c)]);
      out << line;
    }
    out << "\n";
  }
  return out.str();
}

TEST(FontRaster, MatchesStoredCoverageMaps) {
  const bool write = std::getenv("ZORVEL_WRITE_FONT_FIXTURES") != nullptr;
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    FontRig rig(f.face, f.points, f.bold);
    CoverageMap map{};
    ASSERT_TRUE(rig.font.RasteriseGlyph(f.code, map));
    const std::string text = FormatMap(f, map);
    if (write) {
      std::ofstream(FixturePath(f.file)) << text;
      continue;
    }
    std::ifstream in(FixturePath(f.file));
    ASSERT_TRUE(in) << "missing fixture";
    std::stringstream stored;
    stored << in.rdbuf();
    EXPECT_EQ(text, stored.str());
    // Only the grey mapping's values can appear, and the glyph keeps the two rows on top free.
    for (size_t i = 0; i < map.size(); ++i) {
      const int v = map[i];
      EXPECT_TRUE(v == 0 || v == 255 || (v >= 93 && v < 255 && v % 3 == 0)) << i << ": " << v;
    }
    for (size_t i = 0; i < 64; ++i) EXPECT_EQ(map[i], 0) << i;
  }
}

TEST(FontRaster, CodesThatDrawNothing) {
  FontRig rig;
  // Full-width space (empty bitmap), a byte that is no character, a gap in the code page,
  // a control character.
  for (uint16_t code : {0x8140, 0x0080, 0x837F, 0x000A, 0x0000}) {
    SCOPED_TRACE(code);
    CoverageMap map;
    map.fill(7);
    EXPECT_FALSE(rig.font.RasteriseGlyph(code, map));
    EXPECT_EQ(map, CoverageMap{});
    rig.font.RenderGlyph(code);
    EXPECT_EQ(rig.font.Coverage(), CoverageMap{});
    EXPECT_EQ(Pixels(rig.font.ShadowPicture()), std::vector<uint8_t>(32 * 35 * 3, 0));
  }
}

// ---- Cache ----------------------------------------------------------------------------------

TEST(FontCache, PrecacheOrderAndCachedPixelsMatchTheRasteriser) {
  FontRig rig;
  rig.font.PrecacheGlyphs();
  const GlyphCache& cache = rig.font.Cache();
  // 194 listed codes less the full-width space (nothing to draw) and 0x837F (no character).
  EXPECT_EQ(cache.Count(), 192);
  EXPECT_EQ(cache.CodeAt(0), 0x829F);
  EXPECT_EQ(cache.CodeAt(83), 0x8340);
  EXPECT_EQ(cache.CodeAt(cache.Count() - 1), 0x8178);

  // 漢 is not precached: the first drawing rasterises and caches it, the second reads the
  // cache; both give the rasteriser's pixels.
  ASSERT_EQ(cache.Find(0x8ABF), nullptr);
  rig.font.RenderGlyph(0x8ABF);
  const auto coverage = Pixels(rig.font.CoveragePicture());
  const auto shadow = Pixels(rig.font.ShadowPicture());
  ASSERT_NE(cache.Find(0x8ABF), nullptr);
  EXPECT_EQ(cache.Count(), 193);
  rig.font.RenderGlyph(0x82A0);
  rig.font.RenderGlyph(0x8ABF);
  EXPECT_EQ(Pixels(rig.font.CoveragePicture()), coverage);
  EXPECT_EQ(Pixels(rig.font.ShadowPicture()), shadow);
  CoverageMap direct{};
  ASSERT_TRUE(rig.font.RasteriseGlyph(0x8ABF, direct));
  EXPECT_EQ(*cache.Find(0x8ABF), direct);
  EXPECT_EQ(rig.font.Coverage(), direct);
  // The glyph drawn last outlives the cache it was read from (a font change replaces it).
  rig.font.PrecacheGlyphs();
  EXPECT_EQ(Pixels(rig.font.CoveragePicture()), coverage);
  EXPECT_EQ(Pixels(rig.font.ShadowPicture()), shadow);
}

TEST(FontCache, CodesBeyondTheThousandthAreStillDrawn) {
  FontRig rig;
  rig.font.PrecacheGlyphs();
  // Kanji from the start of the first level fill the rest of the cache.
  uint16_t code = 0x889F;
  while (rig.font.Cache().Count() < GlyphCache::kCapacity) {
    rig.font.RenderGlyph(code);
    code = static_cast<uint16_t>((code & 0xFF) == 0xFC ? ((code & 0xFF00) + 0x140) : code + 1);
  }
  const uint16_t late = 0x9F40;  // well past the kanji the loop reached
  ASSERT_EQ(rig.font.Cache().Find(late), nullptr);
  rig.font.RenderGlyph(late);
  EXPECT_EQ(rig.font.Cache().Count(), GlyphCache::kCapacity);
  EXPECT_EQ(rig.font.Cache().Find(late), nullptr);

  FontRig fresh;
  fresh.font.RenderGlyph(late);
  EXPECT_NE(fresh.font.Coverage(), CoverageMap{});
  EXPECT_EQ(rig.font.Coverage(), fresh.font.Coverage());
  EXPECT_EQ(Pixels(rig.font.ShadowPicture()), Pixels(fresh.font.ShadowPicture()));
  // The earliest entries are kept.
  EXPECT_EQ(rig.font.Cache().CodeAt(0), 0x829F);
}

TEST(FontCache, CopiesKeepTheirOwnEntries) {
  auto mapOf = [](uint8_t v) {
    CoverageMap m;
    m.fill(v);
    return m;
  };
  std::deque<GlyphCell> cells;
  auto cellOf = [&](uint8_t v) {
    GlyphCell& c = cells.emplace_back();
    c.map = mapOf(v);
    c.coverage.fill(v);
    return &c;
  };
  GlyphCache first;
  for (uint8_t i = 0; i < 3; ++i)
    ASSERT_TRUE(first.Add(static_cast<uint16_t>(0x8140 + i), cellOf(i)));
  GlyphCache second = first;
  ASSERT_TRUE(second.Add(0x9000, cellOf(200)));
  ASSERT_TRUE(first.Add(0x9001, cellOf(100)));
  ASSERT_FALSE(first.Add(0x8141, cellOf(9)));
  ASSERT_FALSE(first.Add(0x9002, nullptr));

  EXPECT_EQ(first.Find(0x9000), nullptr);
  EXPECT_EQ(second.Find(0x9001), nullptr);
  ASSERT_NE(first.Find(0x9001), nullptr);
  ASSERT_NE(second.Find(0x9000), nullptr);
  EXPECT_EQ(*first.Find(0x9001), mapOf(100));
  EXPECT_EQ(*second.Find(0x9000), mapOf(200));
  for (uint8_t i = 0; i < 3; ++i) {
    EXPECT_EQ(*first.Find(static_cast<uint16_t>(0x8140 + i)), mapOf(i));
    EXPECT_EQ(*second.Find(static_cast<uint16_t>(0x8140 + i)), mapOf(i));
  }
  EXPECT_EQ(first.Count(), 4);
  EXPECT_EQ(second.CodeAt(3), 0x9000);
}

// ---- Drawing --------------------------------------------------------------------------------

TEST(FontDraw, GlyphOverItsShadowInTheTextColour) {
  FontRig rig;
  rig.font.RenderGlyph(0x8ABF);  // 漢
  rig.font.SetTextColour(2);     // red
  Surface target(64, 48);
  target.Fill(255, 255, 255);
  rig.font.DrawGlyph(target, 10, 5);
  const CoverageMap& map = rig.font.Coverage();
  int solid = 0, shaded = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t* p = target.Row(y) + x * 3;  // blue, green, red
      const bool inCell = x >= 10 && x < 42 && y >= 5 && y < 40;
      const int m = inCell ? map[static_cast<size_t>((y - 5) * 32 + (x - 10))] : 0;
      if (x > 43 || y >= 40 || x < 10 || y < 5) {
        EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << x << "," << y;  // outside cell and shadow
      } else if (m == 255) {
        EXPECT_EQ(p[2], 254);
        EXPECT_EQ(p[1], 0);
        EXPECT_EQ(p[0], 0);
        ++solid;
      } else if (m == 0 && p[0] < 200) {
        // Shadow alone: grey (channels of one pixel may fall into different 8-byte groups,
        // and only a group with some mask is touched), and only near a glyph pixel.
        EXPECT_LE(std::abs(p[0] - p[1]), 1);
        EXPECT_LE(std::abs(p[1] - p[2]), 1);
        const int cx = x - 10 - 1, cy = y - 5 - 1;
        bool near = false;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = cx + dx, ny = cy + dy;
            near = near || (nx >= 0 && nx < 32 && ny >= 0 && ny < 35 &&
                            map[static_cast<size_t>(ny * 32 + nx)] != 0);
          }
        }
        EXPECT_TRUE(near) << x << "," << y;
        ++shaded;
      }
    }
  }
  EXPECT_GT(solid, 30);
  EXPECT_GT(shaded, 20);
}

TEST(FontDraw, ClipsAtEveryEdgeToWhatAWiderTargetShows) {
  FontRig rig;
  rig.font.RenderGlyph(0x8ABF);
  rig.font.SetTextColour(4);
  // The same drawing on an 800 x 600 target and, 100 pixels in from every side, on a larger
  // one: the part inside the small target must be identical.
  const std::pair<int, int> places[] = {{-10, 100}, {-31, 100}, {-33, 100}, {790, 100}, {783, 100},
                                        {768, 100}, {799, 100}, {800, 100}, {100, -20}, {100, -34},
                                        {100, -35}, {100, 580}, {100, 599}, {100, 600}, {-5, -5},
                                        {785, 590}, {-40, 300}, {400, -40}};
  for (const auto& [x, y] : places) {
    SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
    Surface small = Pattern(800, 600);
    Surface large(1000, 800);
    for (int row = 0; row < 600; ++row) {
      std::memcpy(large.Row(row + 100) + 300, small.Row(row), 800 * 3);
    }
    rig.font.DrawGlyph(small, x, y);
    rig.font.DrawGlyph(large, x + 100, y + 100);
    for (int row = 0; row < 600; ++row) {
      ASSERT_EQ(std::memcmp(small.Row(row), large.Row(row + 100) + 300, 800 * 3), 0)
          << "row " << row;
    }
  }
  // At y = 580 on a 600-row target only the cell's first 20 rows can change.
  Surface target = Pattern(800, 600);
  Surface reference = Pattern(800, 600);
  rig.font.DrawGlyph(target, 100, 580);
  bool changed = false;
  for (int row = 580; row < 600; ++row) {
    changed = changed || std::memcmp(target.Row(row), reference.Row(row), 800 * 3) != 0;
  }
  EXPECT_TRUE(changed);
}

TEST(FontDraw, TextRunPositionsAndColours) {
  FontRig rig;
  const std::string kanjiA = Sjis("漢") + "A";
  constexpr int kHugePitch = INT32_MAX;
  struct Case {
    std::string text;
    int x;
    bool centred;
    std::vector<std::pair<uint16_t, int>> glyphs;  // code and where DrawGlyph puts it
    int pitch = 12;
  };
  const Case cases[] = {
      {"AB", 4, false, {{0x41, 16}, {0x42, 28}}},
      {kanjiA, 4, false, {{0x8ABF, 16}, {0x41, 40}}},
      // Centred: x less (3 bytes x 12) / 2.
      {kanjiA, 100, true, {{0x8ABF, 94}, {0x41, 118}}},
      {"ABC", 100, true, {{0x41, 94}, {0x42, 106}, {0x43, 118}}},
      // A lead byte at the end is a code by itself (nothing to draw), and a 0 ends the text.
      {std::string("A\x82", 2), 0, false, {{0x41, 12}, {0x82, 24}}},
      {std::string("A\0B", 3), 0, false, {{0x41, 12}}},
      // A pitch from a hostile configuration: positions far off stay off the target instead
      // of wrapping around onto it, and a centred run still puts its first glyph on x.
      {"AB", 4, false, {}, kHugePitch},
      {"AB", 100, true, {{0x41, 100}}, kHugePitch},
      {"AB", 4, false, {}, -kHugePitch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " pitch " + std::to_string(c.pitch));
    rig.config.TX_PITCH_X = c.pitch;
    Surface run = Pattern(200, 60);
    Surface expected = Pattern(200, 60);
    if (c.centred) {
      rig.font.DrawTextRunCentred(c.text, c.x, run, 3, 10);
    } else {
      rig.font.DrawTextRun(c.text, c.x, run, 3, 10);
    }
    for (const auto& [code, x] : c.glyphs) {
      rig.font.RenderGlyph(code);
      rig.font.DrawGlyph(expected, x, 10);
    }
    EXPECT_EQ(Pixels(run), Pixels(expected));
  }
  rig.config.TX_PITCH_X = 12;

  // Colour index 9 is index 1; index 0 follows S037, red in its low byte.
  auto drawn = [&](int index) {
    Surface s(64, 48);
    rig.font.DrawTextRun("A", 0, s, index, 0);
    return Pixels(s);
  };
  EXPECT_EQ(drawn(9), drawn(1));
  EXPECT_NE(drawn(9), drawn(2));
  EXPECT_EQ(drawn(-7), drawn(1));
  rig.vars.S[kTextColour] = 0x0000FF;
  EXPECT_EQ(drawn(0), drawn(2));
  rig.vars.S[kTextColour] = 0xFF0000;
  EXPECT_EQ(drawn(0), drawn(5));
}

TEST(FontDraw, GlyphToScreenDrawsEveryFrameAndShowsTheCell) {
  FontRig rig;
  rig.font.RenderGlyph(0x82A0);
  rig.font.SetTextColour(1);
  Surface screen = Pattern(800, 600);
  std::vector<Surface> frames = {Pattern(800, 600), Pattern(800, 600)};
  Surface expected = Pattern(800, 600);
  rig.font.DrawGlyph(expected, 780, 40);
  rig.font.DrawGlyphToScreen(780, 40, screen, frames, &frames[1]);
  rig.platform.Flush();
  EXPECT_EQ(Pixels(screen), Pixels(expected));
  for (const Surface& f : frames) EXPECT_EQ(Pixels(f), Pixels(expected));
  EXPECT_EQ(rig.platform.PresentCount(), 1u);
}

TEST(FontDraw, RenderCharFormsCodesFromBytes) {
  FontRig rig;
  const std::string kan = Sjis("漢");
  const struct {
    std::string bytes;
    int used;
    uint16_t code;
  } cases[] = {
      {kan, 2, 0x8ABF},
      {"A", 1, 0x41},
      {"\xB1", 1, 0xB1},                    // half-width katakana is one byte
      {std::string("\x82\0", 2), 1, 0x82},  // a lead byte before the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(rig.font.RenderChar(c.bytes.c_str()), c.used);
    const CoverageMap byChar = rig.font.Coverage();
    rig.font.RenderGlyph(c.code);
    EXPECT_EQ(byChar, rig.font.Coverage());
  }
  EXPECT_EQ(rig.font.UnicodeOf(0x8ABF), U'漢');
  EXPECT_EQ(rig.font.UnicodeOf(0xB1), U'ｱ');
  EXPECT_EQ(rig.font.UnicodeOf(0x837F), 0u);
}

// ---- System text ----------------------------------------------------------------------------

TEST(SystemText, DrawsWithinItsMeasuredBoxOverATransparentBackground) {
  std::vector<std::string> log;
  SystemText text([&](const std::string& line) { log.push_back(line); });
  const std::string face = Sjis("ＭＳ ゴシック");
  const std::string label = Sjis("選択肢Ab");
  const int width = text.Measure(label, face, 24);
  // A line cell of 24 pixels is an em of 22 in IPAGothic (its Windows descent is deep):
  // three full-width characters and two half-width ones.
  EXPECT_EQ(width, 3 * 22 + 2 * 11);
  EXPECT_EQ(text.Measure(label + std::string("\0zz", 3), face, 24), width);
  EXPECT_EQ(text.Measure(Sjis("ルビ"), face, 9), 2 * 8);

  Surface target = Pattern(300, 80);
  const auto before = Pixels(target);
  EXPECT_EQ(text.Draw(target, 20, 30, label, face, 24, TextColour{255, 0, 0}), width);
  int changed = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 300; ++x) {
      const size_t at = (static_cast<size_t>(y) * 300 + x) * 3;
      const bool differs = std::memcmp(target.Row(y) + x * 3, &before[at], 3) != 0;
      if (!differs) continue;
      ++changed;
      EXPECT_TRUE(x >= 20 && x < 20 + width && y >= 30 && y < 30 + 24) << x << "," << y;
    }
  }
  EXPECT_GT(changed, 100);
  // Drawn over the edges: clipped, no crash; an unknown face still draws.
  text.Draw(target, -30, -10, label, face, 24, TextColour{});
  text.Draw(target, 280, 70, label, Sjis("存在しない書体"), 24, TextColour{});
  EXPECT_EQ(text.Measure(label, face, 0), 0);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.front().find("IPAGothic"), std::string::npos) << log.front();
}

}  // namespace
}  // namespace zorvel
