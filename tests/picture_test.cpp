// GRA and JPEG decoding, the GRA packer, picture lookup by name, and the picture tools.
#include <gtest/gtest.h>
#include <png.h>
#include <stdio.h>
#include <sys/wait.h>

// Needs FILE from stdio.h.
#include <jpeglib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fixture.h"
#include "graphics/picture.h"
#include "platform/png_reader.h"
#include "platform/png_writer.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "resources/game_config.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using zorvel::Surface;

// A packed stream written item by item, with a control byte ahead of every eight items.
class Packed {
 public:
  Packed() { bytes.push_back(0); }
  Packed& Lit(uint8_t b) { return Item(false, {b}); }
  Packed& Lits(const Bytes& bs) {
    for (uint8_t b : bs) Lit(b);
    return *this;
  }
  Packed& Token(std::initializer_list<uint8_t> token) { return Item(true, token); }

  Bytes bytes;

 private:
  Packed& Item(bool token, std::initializer_list<uint8_t> item) {
    if (items_ == 8) {
      control_ = bytes.size();
      bytes.push_back(0);
      items_ = 0;
    }
    if (token) bytes[control_] |= static_cast<uint8_t>(0x80 >> items_);
    ++items_;
    bytes.insert(bytes.end(), item);
    return *this;
  }
  size_t control_ = 0;
  int items_ = 0;
};

struct Header {
  uint8_t flags = 0;
  uint16_t width = 0;
  uint16_t height = 1;
  uint32_t intermediate = 0;
  uint8_t bytesPerPixel = 3;
  std::optional<uint32_t> packedLength;  // default: the stream's size

  Header Flags(uint8_t f) const { return With(&Header::flags, f); }
  Header Height(uint16_t h) const { return With(&Header::height, h); }
  Header Intermediate(uint32_t n) const { return With(&Header::intermediate, n); }
  Header BytesPerPixel(uint8_t n) const { return With(&Header::bytesPerPixel, n); }
  Header PackedLength(uint32_t n) const {
    Header h = *this;
    h.packedLength = n;
    return h;
  }

 private:
  template <typename T>
  Header With(T Header::*field, T value) const {
    Header h = *this;
    h.*field = value;
    return h;
  }
};

Header W(uint16_t width) {
  Header h;
  h.width = width;
  return h;
}

Bytes Gra(const Header& h, const Bytes& packed) {
  const uint32_t length = h.packedLength.value_or(static_cast<uint32_t>(packed.size()));
  Bytes out = {0, 0, h.flags, h.bytesPerPixel};
  for (uint32_t v : {length, h.intermediate}) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  for (uint16_t v : {h.width, h.height}) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

// The surface's pixels without row padding.
Bytes Pixels(const Surface& s) {
  Bytes out;
  for (int y = 0; y < s.Height(); ++y) out.insert(out.end(), s.Row(y), s.Row(y) + s.Width() * 3);
  return out;
}

Surface FromPixels(const Bytes& pixels, int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    std::copy_n(pixels.begin() + y * w * 3, w * 3, s.Row(y));
  }
  return s;
}

Bytes Str(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

Bytes Repeat(uint8_t b, size_t n) {
  return Bytes(n, b);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A picture that is left alone by every refusal.
Surface Sentinel() {
  Surface s(2, 2);
  s.Fill(10, 20, 30);
  return s;
}

void ExpectSentinel(const Surface& s) {
  ASSERT_EQ(s.Width(), 2);
  ASSERT_EQ(s.Height(), 2);
  EXPECT_EQ(Pixels(s), Cat({Str("\x1e\x14\x0a\x1e\x14\x0a"), Str("\x1e\x14\x0a\x1e\x14\x0a")}));
}

// Run-length data that writes each byte as a run of count 1 and group size 1.
Bytes RunsOfOne(const Bytes& pixels) {
  Bytes out;
  for (uint8_t b : pixels) out.insert(out.end(), {0x80, 0x00, b});
  return out;
}

TEST(GraDecode, TokensControlBitsAndStages) {
  struct Case {
    const char* name;
    Header header;
    Bytes packed;
    Bytes expected;
  };
  const Bytes all1(900, 1);
  Bytes seq300;
  for (int i = 0; i < 300; ++i) seq300.push_back(static_cast<uint8_t>(i % 251));
  Bytes ramp;
  for (size_t i = 0; i < all1.size(); ++i) ramp.push_back(static_cast<uint8_t>(i / 3 + 1));
  Bytes seq1200;
  for (int i = 0; i < 1200; ++i) seq1200.push_back(static_cast<uint8_t>(i * 7));
  const Case cases[] = {
      {"short copy of distance 1 repeats the byte", W(2),
       Packed().Lit('X').Token({0x02}).Lit('Y').bytes, Str("XXXXXY")},
      {"short copy distance and length fields", W(3),
       Packed().Lits(Str("abcdef")).Token({(5 << 2) | 1}).bytes, Str("abcdefabc")},
      {"medium copy, distance from both bytes", W(102),
       Packed().Lits(seq300).Token({0x92, 0xB3}).bytes,
       Cat({seq300, Bytes(seq300.begin(), seq300.begin() + 6)})},
      {"literal run of 9", W(4),
       Packed().Token({0x03, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'}).Lits(Str("jkl")).bytes,
       Str("abcdefghijkl")},
      {"long copy, length byte 0xFC is 255", W(86),
       Packed().Lit('A').Token({0xC0, 0x00, 0xFC}).Lits(Str("BC")).bytes,
       Cat({Repeat('A', 256), Str("BC")})},
      {"long copy, 0xFD is 256", W(86), Packed().Lit('A').Token({0xC0, 0x00, 0xFD}).Lit('B').bytes,
       Cat({Repeat('A', 257), Str("B")})},
      {"long copy, 0xFE is 1024", W(342),
       Packed().Lit('A').Token({0xC0, 0x00, 0xFE}).Lit('B').bytes,
       Cat({Repeat('A', 1025), Str("B")})},
      {"long copy, 0xFF is 4096", W(1366),
       Packed().Lit('A').Token({0xC0, 0x00, 0xFF}).Lit('B').bytes,
       Cat({Repeat('A', 4097), Str("B")})},
      {"long copy, distance from both bytes", W(101),
       Packed().Lits(seq300).Token({0xC1, 0x2B, 0x00}).bytes,
       Cat({seq300, Bytes(seq300.begin(), seq300.begin() + 3)})},
      {"ninth item takes its kind from a new control byte", W(4),
       Packed().Lits(Str("ABCDEFGH")).Token({(7 << 2) | 2}).bytes, Str("ABCDEFGHABCD")},
      {"intermediate length is ignored without the run-length flag", W(2).Intermediate(0xFFFFFFFF),
       Packed().Lit('X').Token({0x02}).Lit('Y').bytes, Str("XXXXXY")},
      {"run-length group repeated", W(4).Flags(0x40).Intermediate(9),
       Packed().Lits({0xC0 | 0, 2, 'a', 'b', 'c', 0x02, 'x', 'y', 'z'}).bytes, Str("abcabcabcxyz")},
      {"run-length run that would pass the end writes whole groups",
       W(2).Flags(0x40).Intermediate(9),
       Packed().Lits({0xFF, 0xFF, 'w', 'x', 'y', 'z', 0x01, '1', '2'}).bytes, Str("wxyz12")},
      {"delta sums run on across rows", W(100).Flags(0x80).Height(3), Packed().Lits(all1).bytes,
       ramp},
      {"run-length data three times the picture, every byte a run of one",
       W(400).Flags(0x40).Intermediate(3 * 1200), Packed().Lits(RunsOfOne(seq1200)).bytes, seq1200},
      {"a packed length past the stream's end is not read", W(2).PackedLength(0xFFFFFFF0),
       Packed().Lit('X').Token({0x02}).Lit('Y').bytes, Str("XXXXXY")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface out;
    std::string error;
    ASSERT_TRUE(zorvel::DecodeGraPicture(Gra(c.header, c.packed), out, &error)) << error;
    EXPECT_EQ(out.Width(), c.header.width);
    EXPECT_EQ(out.Height(), c.header.height);
    EXPECT_EQ(Pixels(out), c.expected);
  }
}

TEST(GraDecode, RefusesDamageAndLeavesTheBitmap) {
  const Bytes lit6 = Packed().Lits(Str("abcdef")).bytes;
  const std::initializer_list<uint8_t> run40 = {0x7F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4,
                                                5,    6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                                                1,    2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4};
  struct Case {
    const char* name;
    Bytes file;
  };
  const Case cases[] = {
      {"header cut short", Bytes(10, 0)},
      {"4 bytes per pixel", Gra(W(2).BytesPerPixel(4), lit6)},
      {"width 0", Gra(W(0), lit6)},
      {"height 0", Gra(W(2).Height(0), lit6)},
      {"width 16385", Gra(W(16385), lit6)},
      {"height 16385", Gra(W(1).Height(16385), lit6)},
      {"more pixels than any picture", Gra(W(16384).Height(1025), lit6)},
      {"stream ends before the picture", Gra(W(3), lit6)},
      {"empty stream", Gra(W(2), {})},
      {"copy before the start", Gra(W(2), Packed().Token({0x02}).Lits(Str("ab")).bytes)},
      {"copy past the end",
       Gra(W(2), Packed().Lit('a').Token({0xC0, 0x00, 0x10}).Lits(Str("abc")).bytes)},
      {"literal run past the end",
       Gra(W(2), Packed().Token({0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9}).bytes)},
      {"literal runs past the end after copies, with plenty of stream left",
       Gra(W(200), Cat({Packed()
                            .Lit('a')
                            .Token({0xC0, 0x00, 0xFC})
                            .Token({0xC0, 0x00, 0xFC})
                            .Token(run40)
                            .Token(run40)
                            .Token(run40)
                            .bytes,
                        Bytes(400, 0)}))},
      {"token cut off", Gra(W(2), Packed().Lit('a').Token({0xC0}).bytes)},
      {"run-length data runs out",
       Gra(W(2).Flags(0x40).Intermediate(3), Packed().Lits({0x02, 'a', 'b'}).bytes)},
      {"run-length literal past the end",
       Gra(W(1).Flags(0x40).Intermediate(5), Packed().Lits({0x03, 'a', 'b', 'c', 'd'}).bytes)},
      {"run-length group cut off",
       Gra(W(1).Flags(0x40).Intermediate(3), Packed().Lits({0xE0, 0x05, 'a'}).bytes)},
      {"implausible intermediate length", Gra(W(1).Flags(0x40).Intermediate(0x7FFFFFFF), lit6)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface bitmap = Sentinel();
    std::string error;
    EXPECT_FALSE(zorvel::DecodeGraPicture(c.file, bitmap, &error));
    EXPECT_FALSE(error.empty());
    ExpectSentinel(bitmap);
  }
}

TEST(GraDecode, BitmapTakesThePictureSize) {
  Bytes pixels(640 * 480 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 / 5);
  Surface bitmap(800, 600);
  std::string error;
  ASSERT_TRUE(zorvel::DecodeGraPicture(zorvel::EncodeGraPicture(pixels, 640, 480), bitmap, &error))
      << error;
  EXPECT_EQ(bitmap.Width(), 640);
  EXPECT_EQ(bitmap.Height(), 480);
  EXPECT_EQ(Pixels(bitmap), pixels);
}

// Pictures for the packer, by kind: each must come back exactly.
Bytes MakePicture(const std::string& kind, int w, int h) {
  Bytes p(static_cast<size_t>(w) * h * 3);
  std::mt19937 rng(w * 131 + h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* px = &p[(static_cast<size_t>(y) * w + x) * 3];
      if (kind == "flat") {
        const bool box = x > w / 4 && x < w / 2 && y > h / 3;
        px[0] = box ? 200 : 10;
        px[1] = box ? 40 : 90;
        px[2] = static_cast<uint8_t>(y < h / 2 ? 30 : 160);
      } else if (kind == "noise") {
        for (int c = 0; c < 3; ++c) px[c] = static_cast<uint8_t>(rng());
      } else {  // photo: smooth gradients with a little noise
        const int n = static_cast<int>(rng() % 7) - 3;
        px[0] = static_cast<uint8_t>(std::clamp(x * 255 / std::max(1, w - 1) + n, 0, 255));
        px[1] = static_cast<uint8_t>(std::clamp(y * 255 / std::max(1, h - 1) + n, 0, 255));
        px[2] = static_cast<uint8_t>(std::clamp((x + y) / 4 % 256 + n, 0, 255));
      }
    }
  }
  return p;
}

TEST(GraEncode, RoundTripsEveryKindOfPicture) {
  struct Case {
    std::string kind;
    int w, h;
  };
  const Case cases[] = {{"flat", 1, 1},    {"noise", 1, 1},     {"flat", 7, 5},
                        {"noise", 7, 5},   {"photo", 33, 17},   {"flat", 801, 3},
                        {"noise", 3, 801}, {"photo", 800, 600}, {"flat", 800, 600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
    const Bytes pixels = MakePicture(c.kind, c.w, c.h);
    const Bytes gra = zorvel::EncodeGraPicture(pixels, c.w, c.h);
    Surface out;
    std::string error;
    ASSERT_TRUE(zorvel::DecodeGraPicture(gra, out, &error)) << error;
    EXPECT_EQ(Pixels(out), pixels);
    // Also through a padded surface, as the tools hand pictures over.
    EXPECT_EQ(zorvel::EncodeGraPicture(FromPixels(pixels, c.w, c.h)), gra);
    if (c.kind == "flat" && c.w == 800) {
      EXPECT_LT(gra.size(), 2000u);
    }
    if (c.kind == "photo" && c.w == 800) {
      EXPECT_LT(gra.size(), pixels.size() / 2);
      EXPECT_TRUE(gra[2] & zorvel::kGraDelta) << "gradients pack best as differences";
    }
  }
  // The run-length stage pays on long runs of a short pattern that varies row by row.
  Bytes stripes;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 300; ++x) {
      stripes.push_back(static_cast<uint8_t>(y * 37));
      stripes.push_back(static_cast<uint8_t>(y * 11));
      stripes.push_back(static_cast<uint8_t>(x * 5 + y));
    }
  }
  Surface out;
  ASSERT_TRUE(zorvel::DecodeGraPicture(zorvel::EncodeGraPicture(stripes, 300, 64), out, nullptr));
  EXPECT_EQ(Pixels(out), stripes);
  EXPECT_TRUE(zorvel::EncodeGraPicture(Bytes(3), 0, 1).empty());
  EXPECT_TRUE(zorvel::EncodeGraPicture(Bytes(16385 * 3), 16385, 1).empty());
}

// JPEG ----------------------------------------------------------------------------------------

Bytes MakeJpeg(int w, int h, bool grey) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &mem, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    // Left half red, right half blue (grey: dark and light).
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2;
      if (grey) {
        row[x] = left ? 40 : 220;
      } else {
        row[x * 3] = left ? 255 : 0;
        row[x * 3 + 1] = 0;
        row[x * 3 + 2] = left ? 0 : 255;
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&cinfo);
  free(mem);
  return out;
}

void ExpectNear(const uint8_t* px, int b, int g, int r) {
  EXPECT_NEAR(px[0], b, 12);
  EXPECT_NEAR(px[1], g, 12);
  EXPECT_NEAR(px[2], r, 12);
}

TEST(Jpeg, DecodesColourAndGreyAsBgr) {
  Surface out(800, 600);
  std::string error;
  ASSERT_TRUE(zorvel::DecodeJpeg(MakeJpeg(37, 20, false), out, &error)) << error;
  EXPECT_EQ(out.Width(), 37);
  EXPECT_EQ(out.Height(), 20);
  ExpectNear(out.Row(10) + 2 * 3, 0, 0, 255);
  ExpectNear(out.Row(10) + 34 * 3, 255, 0, 0);

  ASSERT_TRUE(zorvel::DecodeJpeg(MakeJpeg(16, 9, true), out, &error)) << error;
  EXPECT_EQ(out.Width(), 16);
  ExpectNear(out.Row(4) + 1 * 3, 40, 40, 40);
  ExpectNear(out.Row(4) + 14 * 3, 220, 220, 220);
  int w = 0;
  int h = 0;
  ASSERT_TRUE(zorvel::ReadJpegSize(MakeJpeg(16, 9, true), w, h, &error));
  EXPECT_EQ(w * 100 + h, 1609);
}

// Encoders and cameras that stop writing after the last scan leave a picture with every pixel
// in it; only data cut off inside a scan is missing.
TEST(Jpeg, ShowsAPictureThatLacksOnlyItsEndMarker) {
  for (const bool grey : {false, true}) {
    SCOPED_TRACE(grey ? "grey" : "colour");
    const Bytes whole = MakeJpeg(64, 48, grey);
    ASSERT_EQ(whole[whole.size() - 2], 0xFF);
    ASSERT_EQ(whole.back(), 0xD9);
    Surface expected;
    std::string error;
    ASSERT_TRUE(zorvel::DecodeJpeg(whole, expected, &error)) << error;
    const Bytes noEnd(whole.begin(), whole.end() - 2);
    Surface out = Sentinel();
    ASSERT_TRUE(zorvel::DecodeJpeg(noEnd, out, &error)) << error;
    EXPECT_EQ(Pixels(out), Pixels(expected));
  }
}

TEST(Jpeg, RefusesDamageAndLeavesTheBitmap) {
  const Bytes good = MakeJpeg(64, 64, false);
  Bytes garbledHeader = good;
  for (size_t i = 2; i < 40; ++i) garbledHeader[i] = 0x5A;
  const Bytes cases[] = {
      {},
      Str("not a jpeg at all"),
      garbledHeader,
      Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(good.size() / 2)),
      // Cut inside the scan, a few bytes before its end.
      Bytes(good.begin(), good.end() - 6),
  };
  for (const Bytes& c : cases) {
    SCOPED_TRACE(c.size());
    Surface bitmap = Sentinel();
    std::string error;
    EXPECT_FALSE(zorvel::DecodeJpeg(c, bitmap, &error));
    EXPECT_FALSE(error.empty());
    ExpectSentinel(bitmap);
  }
}

// Lookup -------------------------------------------------------------------------------------

void WriteArchiveB(const std::string& path, const std::map<std::string, Bytes>& entries) {
  std::vector<zorvel::ArchiveEntry> index;
  uint32_t offset =
      static_cast<uint32_t>(zorvel::IndexSize(zorvel::IndexLayout::kB, entries.size(), 32));
  for (const auto& [name, bytes] : entries) {
    index.push_back({name, offset, static_cast<uint32_t>(bytes.size())});
    offset += static_cast<uint32_t>(bytes.size());
  }
  Bytes file = zorvel::BuildIndex(zorvel::IndexLayout::kB, index, 32);
  for (const auto& [name, bytes] : entries) file.insert(file.end(), bytes.begin(), bytes.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// A one-colour GRA picture.
Bytes FlatGra(int w, int h, uint8_t value) {
  return zorvel::EncodeGraPicture(Bytes(static_cast<size_t>(w) * h * 3, value), w, h);
}

TEST(PictureLoader, LooksUpJpegThenLaterPictureArchivesFirst) {
  zorvel::test::TempDir dir;
  const Bytes truncated = [] {
    Bytes g = FlatGra(4, 4, 1);
    g.resize(g.size() - 1);
    return g;
  }();
  WriteArchiveB(dir / "vx_gjp.kpz", {{"BOTH", MakeJpeg(24, 16, false)}});
  WriteArchiveB(dir / "vx_gra.kpz", {{"BOTH", FlatGra(5, 5, 1)},
                                     {"SYS_NP", FlatGra(3, 2, 1)},
                                     {"ONLY1", FlatGra(7, 1, 9)},
                                     {"ZCUT", truncated}});
  WriteArchiveB(dir / "vx_gra3.kpz", {{"SYS_NP", FlatGra(6, 4, 3)}, {"BAD", Bytes(40, 0xEE)}});
  zorvel::ArchiveSet archives(dir.Path());
  archives.OpenArchives(zorvel::GameConfig{}, "");
  zorvel::PictureLoader loader(archives);

  struct Case {
    const char* name;
    bool found;
    int w, h;
    int value;  // of the first byte; -1: not checked
  };
  const Case cases[] = {
      {"both", true, 24, 16, -1}, {"sys_np", true, 6, 4, 3},   {"SYS_NP", true, 6, 4, 3},
      {"Only1", true, 7, 1, 9},   {"missing", false, 0, 0, 0}, {"bad", false, 0, 0, 0},
      {"zcut", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = c.name;
    EXPECT_EQ(loader.PictureExists(c.name), name != "missing");
    Surface bitmap = Sentinel();
    EXPECT_EQ(loader.LoadPicture(c.name, bitmap), c.found);
    if (!c.found) {
      ExpectSentinel(bitmap);
      continue;
    }
    EXPECT_EQ(bitmap.Width(), c.w);
    EXPECT_EQ(bitmap.Height(), c.h);
    if (c.value >= 0) {
      EXPECT_EQ(bitmap.Row(0)[0], c.value);
    }
  }
}

// Pictures loaded again come from those kept in memory, shared until drawn on: drawing on one
// loaded copy never shows in the next, and pictures pushed out of the kept ones load anew.
TEST(PictureLoader, PicturesLoadedAgainAreTheirOwnCopies) {
  zorvel::test::TempDir dir;
  const auto name = [](char first, int i) {
    std::string n(1, first);
    n += static_cast<char>('0' + i);
    return n;
  };
  std::map<std::string, Bytes> entries;
  // Ten pictures of 3 MB: more than are kept at once.
  for (int i = 0; i < 10; ++i) {
    entries[name('P', i)] = FlatGra(1024, 1024, static_cast<uint8_t>(i));
  }
  WriteArchiveB(dir / "vx_gra.kpz", entries);
  zorvel::ArchiveSet archives(dir.Path());
  archives.OpenArchives(zorvel::GameConfig{}, "");
  zorvel::PictureLoader loader(archives);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 10; ++i) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", picture " << i);
      Surface first;
      ASSERT_TRUE(loader.LoadPicture(name('p', i).c_str(), first));
      first.Row(1023)[3071] = 200;
      Surface again;
      ASSERT_TRUE(loader.LoadPicture(name('P', i).c_str(), again));
      EXPECT_EQ(again.Width(), 1024);
      EXPECT_EQ(again.Row(0)[0], i);
      EXPECT_EQ(again.Row(1023)[3071], i);
    }
  }
}

// A GRA entry is as long as its header says, whatever the index says: an index size that is
// too small (only the header) or too large still loads the picture, and a stream that the file
// cuts short is refused.
TEST(PictureLoader, GraLengthComesFromItsHeaderNotTheIndex) {
  zorvel::test::TempDir dir;
  const Bytes first = FlatGra(5, 3, 7);
  const Bytes second = FlatGra(4, 2, 9);
  const Bytes last = FlatGra(6, 6, 11);
  const uint32_t start = static_cast<uint32_t>(zorvel::IndexSize(zorvel::IndexLayout::kB, 3, 32));
  const uint32_t at2 = start + static_cast<uint32_t>(first.size());
  const uint32_t at3 = at2 + static_cast<uint32_t>(second.size());
  Bytes file = zorvel::BuildIndex(zorvel::IndexLayout::kB,
                                  {{"HEADERONLY", start, 16},
                                   {"LONG", at2, static_cast<uint32_t>(second.size() + 5)},
                                   {"CUT", at3, static_cast<uint32_t>(last.size() - 2)}},
                                  32);
  file.insert(file.end(), first.begin(), first.end());
  file.insert(file.end(), second.begin(), second.end());
  file.insert(file.end(), last.begin(), last.end() - 2);
  std::ofstream(dir / "vx_gra.kpz", std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  zorvel::ArchiveSet archives(dir.Path());
  archives.OpenArchives(zorvel::GameConfig{}, "");
  zorvel::PictureLoader loader(archives);

  Surface bitmap = Sentinel();
  ASSERT_TRUE(loader.LoadPicture("HEADERONLY", bitmap));
  EXPECT_EQ(Pixels(bitmap), Bytes(5 * 3 * 3, 7));
  ASSERT_TRUE(loader.LoadPicture("LONG", bitmap));
  EXPECT_EQ(Pixels(bitmap), Bytes(4 * 2 * 3, 9));
  bitmap = Sentinel();
  EXPECT_FALSE(loader.LoadPicture("CUT", bitmap));
  ExpectSentinel(bitmap);
}

// The tall strips of `scroll` and the staff rolls: a flat 800 × 16,384 picture, one literal and
// long copies, decodes whole.
TEST(GraDecode, TallScrollPicturesDecode) {
  constexpr int kW = 800;
  constexpr int kH = 16384;
  const size_t length = size_t{kW} * kH * 3;
  Packed p;
  p.Lit(0x42);
  size_t written = 1;
  while (length - written >= 4096) {
    p.Token({0xC0, 0x00, 0xFF});
    written += 4096;
  }
  while (written < length) {
    p.Lit(0x42);
    ++written;
  }
  Header h = W(kW).Height(kH);
  Surface out;
  std::string error;
  ASSERT_TRUE(zorvel::DecodeGraPicture(Gra(h, p.bytes), out, &error)) << error;
  ASSERT_EQ(out.Width(), kW);
  ASSERT_EQ(out.Height(), kH);
  EXPECT_EQ(out.Row(kH - 1)[kW * 3 - 1], 0x42);
  EXPECT_EQ(out.Row(kH / 2)[7], 0x42);
}

// Tools --------------------------------------------------------------------------------------

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

RunResult RunTool(const zorvel::test::TempDir& dir, const std::vector<std::string>& args) {
  std::string cmd = Quote(ZORVEL_TOOL);
  // Appended piece by piece: GCC 12 misreports "x" + std::string as an overlapping copy.
  for (const std::string& a : args) cmd.append(" ").append(Quote(a));
  cmd.append(" >").append(Quote(dir / "stdout")).append(" 2>").append(Quote(dir / "stderr"));
  const int status = std::system(cmd.c_str());
  RunResult r;
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  r.out = ReadBytes(dir / "stdout");
  r.err = ReadBytes(dir / "stderr");
  return r;
}

// A PNG of colour type `type` (channels in its order), written by libpng.
void WritePngOfType(const std::string& path, int type, int w, int h, const Bytes& samples) {
  FILE* f = ::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[2] = {{255, 0, 0}, {0, 0, 255}};
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 2);
  png_write_info(png, info);
  const size_t rowBytes = samples.size() / static_cast<size_t>(h);
  for (int y = 0; y < h; ++y) {
    png_write_row(png, const_cast<png_bytep>(samples.data() + y * rowBytes));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  ::fclose(f);
}

TEST(PictureTools, PngToGraToPngForEveryColourType) {
  zorvel::test::TempDir dir;
  // 3×2 pictures; the expected 24-bit pixels are blue, green, red.
  struct Case {
    const char* name;
    int type;
    Bytes samples;
    Bytes expected;
  };
  const Case cases[] = {
      {"rgb", PNG_COLOR_TYPE_RGB,
       Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
       Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}},
      {"rgba", PNG_COLOR_TYPE_RGB_ALPHA,
       Bytes{1, 2, 3, 0, 4, 5, 6, 9, 7, 8, 9, 255, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3},
       Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 1, 1, 1, 2, 2, 2, 3, 3, 3}},
      {"grey", PNG_COLOR_TYPE_GRAY, Bytes{0, 100, 255, 7, 8, 9},
       Bytes{0, 0, 0, 100, 100, 100, 255, 255, 255, 7, 7, 7, 8, 8, 8, 9, 9, 9}},
      {"palette", PNG_COLOR_TYPE_PALETTE, Bytes{0, 1, 0, 1, 1, 0},
       Bytes{0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir / (std::string(c.name) + ".png");
    WritePngOfType(in, c.type, 3, 2, c.samples);
    const RunResult enc = RunTool(dir, {"gra-encode", in, dir / "pic.gra"});
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    const RunResult dec = RunTool(dir, {"gra-decode", dir / "pic.gra", dir / "back.png"});
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    const std::string png = ReadBytes(dir / "back.png");
    Surface back;
    std::string error;
    ASSERT_TRUE(zorvel::ReadPng(Bytes(png.begin(), png.end()), back, &error)) << error;
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(Pixels(back), c.expected);
  }
}

TEST(PictureTools, BadInputExitsWithAMessage) {
  zorvel::test::TempDir dir;
  zorvel::test::WriteText(dir / "junk", "this is neither PNG nor GRA");
  // More pixels in all than any picture, though each side would do.
  Surface big(16384, 1025);
  ASSERT_TRUE(zorvel::WritePng(dir / "big.png", big));
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {{"gra-encode", dir / "junk", dir / "out"}, 1, "not a PNG"},
      {{"gra-encode", dir / "big.png", dir / "out"}, 1, "16777216 pixels"},
      {{"gra-encode", dir / "missing.png", dir / "out"}, 1, "cannot read"},
      {{"gra-decode", dir / "junk", dir / "out"}, 1, "not a usable GRA"},
      {{"gra-decode", dir / "junk"}, 2, "usage"},
      {{"gra-encode"}, 2, "usage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const RunResult r = RunTool(dir, c.args);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
}

TEST(PictureTools, BuildGamePacksPicturesThatTheLoaderFinds) {
  zorvel::test::TempDir dir;
  const std::string src = dir / "src";
  fs::create_directories(src + "/pictures/gra3");
  zorvel::test::WriteText(src + "/_config.txt", "TITLE:t\nEND\n");
  zorvel::test::WriteText(src + "/main.txt", "hello\n");
  Surface wide(40, 30);
  wide.Fill(1, 2, 3);
  Surface small(8, 6);
  small.Fill(200, 100, 50);
  ASSERT_TRUE(zorvel::WritePng(src + "/pictures/bg01.png", wide));
  ASSERT_TRUE(zorvel::WritePng(src + "/pictures/Sys_Np.png", wide));
  ASSERT_TRUE(zorvel::WritePng(src + "/pictures/gra3/sys_np.png", small));
  const Bytes jpeg = MakeJpeg(32, 16, false);
  std::ofstream(src + "/pictures/photo.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));

  const std::string game = dir / "game";
  const RunResult build = RunTool(dir, {"build-game", src, game});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_NE(build.out.find("vx_gra.kpz: 2 pictures"), std::string::npos) << build.out;
  EXPECT_NE(build.out.find("vx_gjp.kpz: 1 JPEG picture"), std::string::npos) << build.out;
  EXPECT_FALSE(fs::exists(game + "/vx_gra2.kpz"));

  const RunResult list = RunTool(dir, {"list", game + "/vx_gra.kpz"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("\tGRA 40x30 lz"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.substr(0, 5), "BG01\t");
  const RunResult listJpeg = RunTool(dir, {"list", game + "/vx_gjp.kpz"});
  EXPECT_NE(listJpeg.out.find("PHOTO\t"), std::string::npos) << listJpeg.out;
  EXPECT_NE(listJpeg.out.find("\tJPEG 32x16\n"), std::string::npos) << listJpeg.out;

  zorvel::ArchiveSet archives(game);
  archives.OpenArchives(zorvel::GameConfig{}, "");
  zorvel::PictureLoader loader(archives);
  Surface bitmap;
  ASSERT_TRUE(loader.LoadPicture("sys_np", bitmap));
  EXPECT_EQ(bitmap.Width(), 8);
  EXPECT_EQ(Pixels(bitmap), Pixels(small));
  ASSERT_TRUE(loader.LoadPicture("BG01", bitmap));
  EXPECT_EQ(Pixels(bitmap), Pixels(wide));
  ASSERT_TRUE(loader.LoadPicture("photo", bitmap));
  EXPECT_EQ(bitmap.Width(), 32);

  // A broken picture stops the build, and nothing is written.
  zorvel::test::WriteText(src + "/pictures/broken.png", "no png");
  const RunResult broken = RunTool(dir, {"build-game", src, dir / "game2"});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_NE(broken.err.find("broken.png"), std::string::npos) << broken.err;
  EXPECT_FALSE(fs::exists(dir / "game2"));
}

}  // namespace
