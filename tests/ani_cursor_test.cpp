// The animated cursor reader on files put together byte by byte here (paletted, 24-bit and
// 32-bit pictures, with and without "seq " and "rate"), damaged files refused with their reason,
// a damaged map cursor leaving the arrow in a game, and the tool's ani-build and ani-info.
#include "graphics/ani_cursor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "fixture.h"
#include "platform/files.h"
#include "platform/png_writer.h"

namespace zorvel::test {
namespace {

void Put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& o, uint32_t v) {
  for (int i = 0; i < 4; ++i) o.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Tag(std::vector<uint8_t>& o, const char* t) {
  o.insert(o.end(), t, t + 4);
}
void Chunk(std::vector<uint8_t>& o, const char* tag, const std::vector<uint8_t>& body) {
  Tag(o, tag);
  Put32(o, static_cast<uint32_t>(body.size()));
  o.insert(o.end(), body.begin(), body.end());
  if (body.size() % 2) o.push_back(0);
}

// An ICO (type 1) or CUR (type 2) of one w x h picture. `index(x, y)` gives a palette index for
// paletted depths; 24 and 32 bits use `colour(x, y)` (0xAARRGGBB). The AND mask clears the top
// left pixel.
std::vector<uint8_t> Icon(int type, int bits, int w, int h, int hotX, int hotY,
                          const std::vector<uint32_t>& palette, uint32_t (*pixel)(int, int)) {
  std::vector<uint8_t> img;
  Put32(img, 40);
  Put32(img, static_cast<uint32_t>(w));
  Put32(img, static_cast<uint32_t>(2 * h));
  Put16(img, 1);
  Put16(img, static_cast<uint32_t>(bits));
  for (int i = 0; i < 6; ++i) Put32(img, i == 4 ? static_cast<uint32_t>(palette.size()) : 0);
  for (uint32_t c : palette) Put32(img, c & 0xFFFFFF);
  const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = pixel(x, y);
      if (bits == 32) {
        for (int k = 0; k < 4; ++k) row[x * 4 + k] = static_cast<uint8_t>(v >> (8 * k));
      } else if (bits == 24) {
        for (int k = 0; k < 3; ++k) row[x * 3 + k] = static_cast<uint8_t>(v >> (8 * k));
      } else {
        const size_t bit = static_cast<size_t>(x) * bits;
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
      }
    }
    img.insert(img.end(), row.begin(), row.end());
  }
  const size_t maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    if (y == 0) row[0] = 0x80;
    img.insert(img.end(), row.begin(), row.end());
  }
  std::vector<uint8_t> ico;
  Put16(ico, 0);
  Put16(ico, static_cast<uint32_t>(type));
  Put16(ico, 1);
  ico.push_back(static_cast<uint8_t>(w));
  ico.push_back(static_cast<uint8_t>(h));
  ico.push_back(0);
  ico.push_back(0);
  Put16(ico, static_cast<uint32_t>(hotX));
  Put16(ico, static_cast<uint32_t>(hotY));
  Put32(ico, static_cast<uint32_t>(img.size()));
  Put32(ico, 22);
  ico.insert(ico.end(), img.begin(), img.end());
  return ico;
}

struct AniParts {
  std::vector<std::vector<uint8_t>> icons;
  uint32_t steps = 0;
  uint32_t rate = 10;
  uint32_t flags = 1;
  std::vector<uint32_t> rates;
  std::vector<uint32_t> sequence;
};

std::vector<uint8_t> Ani(const AniParts& p) {
  std::vector<uint8_t> body;
  Tag(body, "ACON");
  std::vector<uint8_t> anih;
  for (uint32_t v :
       {36u, static_cast<uint32_t>(p.icons.size()), p.steps, 0u, 0u, 0u, 0u, p.rate, p.flags}) {
    Put32(anih, v);
  }
  Chunk(body, "anih", anih);
  // Something to pass over.
  Chunk(body, "LIST", {'I', 'N', 'F', 'O'});
  if (!p.rates.empty()) {
    std::vector<uint8_t> r;
    for (uint32_t v : p.rates) Put32(r, v);
    Chunk(body, "rate", r);
  }
  if (!p.sequence.empty()) {
    std::vector<uint8_t> q;
    for (uint32_t v : p.sequence) Put32(q, v);
    Chunk(body, "seq ", q);
  }
  std::vector<uint8_t> fram;
  Tag(fram, "fram");
  for (const auto& icon : p.icons) Chunk(fram, "icon", icon);
  Chunk(body, "LIST", fram);
  std::vector<uint8_t> out;
  Tag(out, "RIFF");
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

TEST(AniCursor, PalettedFramesInTheirSequenceAtTheirRates) {
  AniParts p;
  p.icons.push_back(Icon(2, 4, 8, 8, 3, 5, kPalette, [](int x, int) { return x < 4 ? 1u : 2u; }));
  p.icons.push_back(Icon(2, 8, 8, 8, 1, 1, kPalette, [](int, int y) { return y < 4 ? 3u : 1u; }));
  p.steps = 3;
  p.flags = 3;
  p.sequence = {1, 0, 1};
  p.rates = {6, 12, 30};
  CursorAnimation a;
  AniHeader h;
  std::string error;
  ASSERT_TRUE(ReadAniCursor(Ani(p), a, error, &h)) << error;
  ASSERT_EQ(a.frames.size(), 2u);
  EXPECT_EQ(h.frameBits, (std::vector<uint32_t>{4, 8}));
  const CursorFrame& f0 = a.frames[0];
  EXPECT_EQ(f0.width, 8);
  EXPECT_EQ(f0.height, 8);
  EXPECT_EQ(f0.hotX, 3);
  EXPECT_EQ(f0.hotY, 5);
  EXPECT_EQ(f0.argb[0], 0u);  // the AND mask's pixel
  EXPECT_EQ(f0.argb[1], 0xFFFF0000u);
  EXPECT_EQ(f0.argb[7 * 8 + 6], 0xFF00FF00u);
  EXPECT_EQ(a.frames[1].argb[1], 0xFF0000FFu);
  EXPECT_EQ(a.frames[1].argb[7 * 8 + 1], 0xFFFF0000u);
  ASSERT_EQ(a.steps.size(), 3u);
  EXPECT_EQ(a.steps[0].frame, 1);
  EXPECT_EQ(a.steps[1].frame, 0);
  EXPECT_EQ(a.steps[0].ms, 100u);
  EXPECT_EQ(a.steps[1].ms, 200u);
  EXPECT_EQ(a.steps[2].ms, 500u);
}

TEST(AniCursor, TrueColourFramesWithoutSequenceOrRate) {
  AniParts p;
  // 32 bits with alpha (the mask is then not used), 24 bits through the mask, and an icon
  // (no hot spot).
  p.icons.push_back(
      Icon(2, 32, 4, 4, 2, 2, {}, [](int x, int) { return x == 0 ? 0x00000000u : 0x80123456u; }));
  p.icons.push_back(Icon(1, 24, 4, 4, 9, 9, {}, [](int, int) { return 0x00ABCDEFu; }));
  p.rate = 3;
  CursorAnimation a;
  std::string error;
  ASSERT_TRUE(ReadAniCursor(Ani(p), a, error)) << error;
  ASSERT_EQ(a.frames.size(), 2u);
  EXPECT_EQ(a.frames[0].argb[0], 0u);
  EXPECT_EQ(a.frames[0].argb[1], 0x80123456u);
  EXPECT_EQ(a.frames[0].hotX, 2);
  EXPECT_EQ(a.frames[1].argb[0], 0u);
  EXPECT_EQ(a.frames[1].argb[5], 0xFFABCDEFu);
  EXPECT_EQ(a.frames[1].hotX, 0);
  ASSERT_EQ(a.steps.size(), 2u);
  EXPECT_EQ(a.steps[1].frame, 1);
  EXPECT_EQ(a.steps[1].ms, 50u);
}

TEST(AniCursor, DamagedFilesAreRefusedWithTheirReason) {
  AniParts good;
  good.icons.push_back(Icon(2, 8, 8, 8, 0, 0, kPalette, [](int, int) { return 1u; }));
  good.icons.push_back(Icon(2, 8, 8, 8, 0, 0, kPalette, [](int, int) { return 2u; }));
  const std::vector<uint8_t> whole = Ani(good);
  CursorAnimation a;
  std::string error;
  ASSERT_TRUE(ReadAniCursor(whole, a, error)) << error;
  // Every shorter file is refused, and nothing reads past its end.
  for (size_t n = 0; n < whole.size(); ++n) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
    EXPECT_FALSE(ReadAniCursor(cut, a, error)) << n;
  }
  struct Case {
    const char* what;
    AniParts parts;
    const char* reason;
  };
  AniParts fewer = good;
  fewer.icons.pop_back();
  std::vector<uint8_t> tooMany = Ani(fewer);
  tooMany[12 + 8 + 4] = 2;  // the header counts two frames, one is there
  AniParts badSeq = good;
  badSeq.steps = 2;
  badSeq.sequence = {0, 7};
  AniParts shortRate = good;
  shortRate.rates = {5};
  AniParts raw = good;
  raw.flags = 0;
  AniParts badPalette = good;
  badPalette.icons[1] =
      Icon(2, 4, 8, 8, 0, 0, std::vector<uint32_t>(17, 0), [](int, int) { return 0u; });
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {tooMany, "fram"}, {Ani(badSeq), "frame 7"},     {Ani(shortRate), "rate"},
      {Ani(raw), "raw"}, {Ani(badPalette), "frame 1"},
  };
  for (const auto& [bytes, reason] : cases) {
    error.clear();
    EXPECT_FALSE(ReadAniCursor(bytes, a, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  // A chunk longer than the file, and a RIFF size past its end.
  std::vector<uint8_t> longChunk = whole;
  longChunk[16] = 0xFF;
  longChunk[17] = 0xFF;
  EXPECT_FALSE(ReadAniCursor(longChunk, a, error));
  std::vector<uint8_t> longRiff = whole;
  longRiff[6] = 0x7F;
  EXPECT_FALSE(ReadAniCursor(longRiff, a, error));
  EXPECT_NE(error.find("RIFF"), std::string::npos) << error;
}

TEST(AniCursor, ADamagedMapCursorLeavesTheArrow) {
  TempDir game, config;
  WriteGame(game.Path(), {{"main", "@sleep -1\n"},
                          {"_config", "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:t\n"}});
  std::filesystem::create_directories(game / "icon");
  AniParts p;
  p.icons.push_back(Icon(2, 8, 8, 8, 0, 0, kPalette, [](int, int) { return 1u; }));
  std::vector<uint8_t> good = Ani(p);
  std::vector<uint8_t> bad = good;
  bad.resize(bad.size() - 40);
  std::ofstream(game / "icon/MSCUR01.ani", std::ios::binary)
      .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
  std::ofstream(game / "icon/MSCUR05.ani", std::ios::binary)
      .write(reinterpret_cast<const char*>(bad.data()), static_cast<std::streamsize>(bad.size()));
  testing::internal::CaptureStderr();
  Session s(game.Path(), config.Path());
  s.RunFor(300);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("icon/MSCUR05.ani: refused"), std::string::npos) << err;
  EXPECT_EQ(s.engine().MapCursors().LoadedCursors(), std::vector<int>{1});
  EXPECT_NE(s.platform().Cursor(30), nullptr);
  EXPECT_EQ(s.platform().Cursor(34), nullptr);
}

// ani-build writes what the reader reads back; ani-info tells its frames and steps.
TEST(AniCursor, AniBuildRoundTripAndAniInfo) {
  TempDir dir;
  for (int k = 0; k < 3; ++k) {
    Surface frame = Solid(24, 20, static_cast<uint8_t>(50 * k), 100, 200);
    std::string name = "f";
    name += static_cast<char>('0' + k);
    name += ".png";
    ASSERT_TRUE(WritePng(dir / name, frame));
  }
  const std::string out = dir / "c.ani";
  const std::string cmd = std::string(ZORVEL_TOOL) + " ani-build " + out + " " + (dir / "f0.png") +
                          " " + (dir / "f1.png") + " " + (dir / "f2.png") +
                          " --rate 9 --hotspot 5,7";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const auto bytes = ReadWholeFile(out);
  ASSERT_TRUE(bytes);
  CursorAnimation a;
  std::string error;
  ASSERT_TRUE(ReadAniCursor(*bytes, a, error)) << error;
  ASSERT_EQ(a.frames.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const CursorFrame& f = a.frames[static_cast<size_t>(k)];
    EXPECT_EQ(f.width, 24);
    EXPECT_EQ(f.height, 20);
    EXPECT_EQ(f.hotX, 5);
    EXPECT_EQ(f.hotY, 7);
    EXPECT_EQ(f.argb[123], 0xFF000000u | static_cast<uint32_t>(50 * k) << 16 | 100u << 8 | 200u);
    EXPECT_EQ(a.steps[static_cast<size_t>(k)].ms, 150u);
  }
  const std::string info = dir / "info.txt";
  ASSERT_EQ(std::system((std::string(ZORVEL_TOOL) + " ani-info " + out + " > " + info).c_str()), 0);
  const std::string text = ReadText(info);
  EXPECT_NE(text.find("frames 3, steps 3, size 24x20"), std::string::npos) << text;
  EXPECT_NE(text.find("frame 2: 24x20, 32 bits, hot spot 5,7"), std::string::npos) << text;
  EXPECT_NE(text.find("step 1: frame 1, 9 jiffies (150 ms)"), std::string::npos) << text;
  // A frame of another size is refused and nothing is written.
  ASSERT_TRUE(WritePng(dir / "odd.png", Solid(8, 8, 0, 0, 0)));
  const std::string bad = std::string(ZORVEL_TOOL) + " ani-build " + (dir / "bad.ani") + " " +
                          (dir / "f0.png") + " " + (dir / "odd.png") + " 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.ani"));
}

}  // namespace
}  // namespace zorvel::test
