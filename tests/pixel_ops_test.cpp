#include "graphics/pixel_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace zorvel {

// Test names and failure messages show the path by name.
void PrintTo(PixelPath path, std::ostream* os) {
  *os << PixelPathName(path);
}

namespace {

// ---- Reference: one byte at a time, straight from the arithmetic ----

uint8_t RefMasked(int u, int v, int m) {
  return static_cast<uint8_t>((u * (255 - m) + v * m) / 256);
}
uint8_t RefConstant(int u, int v, int a) {
  return static_cast<uint8_t>((u * (256 - a) + v * a) / 256);
}

using Bytes = std::vector<uint8_t>;

// Group rule over `count` bytes starting at the given offsets.
void RefMaskedGroups(Bytes& out, size_t o, const Bytes& u, size_t uo, const Bytes& v, size_t vo,
                     const Bytes& m, size_t mo, size_t groups) {
  for (size_t g = 0; g < groups; ++g) {
    bool allZero = true;
    for (size_t i = 0; i < 8; ++i) allZero = allZero && m.at(mo + g * 8 + i) == 0;
    for (size_t i = 0; i < 8; ++i) {
      const size_t k = g * 8 + i;
      out.at(o + k) = allZero ? u.at(uo + k) : RefMasked(u.at(uo + k), v.at(vo + k), m.at(mo + k));
    }
  }
}

// Surfaces as plain byte vectors with explicit strides, so the reference shares no code with
// the routines.
struct Pic {
  int w = 0, h = 0, stride = 0;
  Bytes px;
  Pic(int width, int height) : w(width), h(height), stride((width * 3 + 3) / 4 * 4) {
    px.assign(static_cast<size_t>(stride) * h, 0);
  }
  size_t At(int x, int y) const { return static_cast<size_t>(y) * stride + x * 3; }
};

Pic FromSurface(const Surface& s) {
  Pic p(s.Width(), s.Height());
  EXPECT_EQ(p.stride, s.Stride());
  if (p.px.empty()) return p;
  for (int y = 0; y < s.Height(); ++y) std::memcpy(&p.px[p.At(0, y)], s.Row(y), p.stride);
  return p;
}

// Masked drawing of the (w, h) area at colour column cc / mask column mc, the visible part
// of each row split into whole 8-pixel blocks (group rule) and single pixels (byte rule).
void RefDrawArea(Pic& d, const Pic& c, int cc, const Pic& m, int mc, int w, int h, int x, int y) {
  const int vx0 = std::max(0, -x), vx1 = std::min(w, d.w - x);
  if (vx1 <= vx0) return;
  const size_t blockBytes = static_cast<size_t>((vx1 - vx0) / 8) * 24;
  const size_t rowBytes = static_cast<size_t>(vx1 - vx0) * 3;
  for (int py = std::max(0, -y); py < std::min(h, d.h - y); ++py) {
    const size_t dOff = d.At(x + vx0, y + py);
    const size_t cOff = c.At(cc + vx0, py), mOff = m.At(mc + vx0, py);
    RefMaskedGroups(d.px, dOff, d.px, dOff, c.px, cOff, m.px, mOff, blockBytes / 8);
    for (size_t k = blockBytes; k < rowBytes; ++k) {
      d.px.at(dOff + k) = RefMasked(d.px.at(dOff + k), c.px.at(cOff + k), m.px.at(mOff + k));
    }
  }
}

// ---- Test data ----

std::mt19937& Rng() {
  static std::mt19937 rng(20240611);
  return rng;
}
int RandInt(int lo, int hi) {
  return std::uniform_int_distribution<int>(lo, hi)(Rng());
}

// Masks are mostly runs of 0 and 255 with soft edges, as real pictures are; whole-group zeros,
// transparent stretches of several groups and lone zeros inside a group all occur.
void FillMask(uint8_t* p, size_t n) {
  int kind = RandInt(0, 3);
  for (size_t i = 0; i < n; i += 8) {
    if (RandInt(0, 2) == 0) kind = RandInt(0, 3);
    for (size_t k = i; k < std::min(n, i + 8); ++k) {
      p[k] = kind == 0   ? 0
             : kind == 1 ? 255
             : kind == 2 ? static_cast<uint8_t>(RandInt(0, 255))
                         : static_cast<uint8_t>(RandInt(0, 1) * RandInt(0, 255));
    }
  }
}
void FillRandom(uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(RandInt(0, 255));
}
Surface RandomSurface(int w, int h, bool mask = false) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    if (mask) {
      FillMask(s.Row(y), s.Stride());
    } else {
      FillRandom(s.Row(y), s.Stride());
    }
  }
  return s;
}
Bytes Contents(const Surface& s) {
  Bytes b(static_cast<size_t>(s.Stride()) * s.Height());
  if (b.empty()) return b;
  for (int y = 0; y < s.Height(); ++y)
    std::memcpy(&b[static_cast<size_t>(y) * s.Stride()], s.Row(y), s.Stride());
  return b;
}

// Frames are large: a failure names the first differing byte instead of printing both.
std::string Diff(const Bytes& got, const Bytes& want) {
  if (got.size() != want.size()) {
    return "size " + std::to_string(got.size()) + ", want " + std::to_string(want.size());
  }
  const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin());
  if (g == got.end()) return "";
  return "byte " + std::to_string(g - got.begin()) + " of " + std::to_string(got.size()) +
         ": got " + std::to_string(*g) + ", want " + std::to_string(*w);
}

// ---- Every test runs once per instruction-set path this CPU has ----

class PixelOpsPath : public ::testing::TestWithParam<PixelPath> {
 protected:
  void SetUp() override {
    saved_ = CurrentPixelPath();
    ASSERT_TRUE(SetPixelPath(GetParam()));
  }
  void TearDown() override { SetPixelPath(saved_); }

 private:
  PixelPath saved_ = PixelPath::kPortable;
};

// Output separate from the inputs, or the same buffer as u or as v, as callers do.
enum class Alias { kNone, kU, kV };

TEST_P(PixelOpsPath, RowRoutinesMatchReferenceAtEveryLength) {
  constexpr size_t kGuard = 40;
  for (int a : {0, 1, 77, 128, 255, 256}) {
    for (size_t len = 0; len <= 40; ++len) {
      for (Alias alias : {Alias::kNone, Alias::kU, Alias::kV}) {
        SCOPED_TRACE(testing::Message()
                     << "len " << len << " a " << a << " alias " << static_cast<int>(alias));
        const int groups = static_cast<int>(len / 8);
        Bytes u(len + kGuard), v(len + kGuard), m(len + kGuard), out(len + kGuard);
        FillRandom(u.data(), u.size());
        FillRandom(v.data(), v.size());
        FillMask(m.data(), m.size());
        FillRandom(out.data(), out.size());
        auto target = [&]() -> Bytes& {
          return alias == Alias::kU ? u : alias == Alias::kV ? v : out;
        };
        const Bytes u0 = u, v0 = v;

        Bytes want = target();
        RefMaskedGroups(want, 0, u0, 0, v0, 0, m, 0, static_cast<size_t>(groups));
        BlendMasked(target().data(), u.data(), v.data(), m.data(), groups);
        EXPECT_EQ(Diff(target(), want), "") << "BlendMasked";

        u = u0, v = v0;
        want = target();
        for (size_t i = 0; i < static_cast<size_t>(groups) * 8; ++i)
          want[i] = RefConstant(u0[i], v0[i], a);
        BlendConstant(target().data(), u.data(), v.data(), a, groups);
        EXPECT_EQ(Diff(target(), want), "") << "BlendConstant";

        u = u0, v = v0;
        SetBlendLevel(a);
        BlendPreset(target().data(), u.data(), v.data(), groups);
        EXPECT_EQ(Diff(target(), want), "") << "BlendPreset";

        // The most pixels with the same whole groups: their tail bytes must stay.
        u = u0, v = v0;
        const int pixels = (groups * 8 + 7) / 3;
        ASSERT_EQ(pixels * 3 / 8, groups);
        BlendRows(target().data(), u.data(), v.data(), pixels, a);
        EXPECT_EQ(Diff(target(), want), "") << "BlendRows";
      }
    }
  }
}

TEST_P(PixelOpsPath, RowArithmeticEdges) {
  const struct {
    const char* what;
    uint8_t u, v, m;  // m: the byte's mask; the other 7 mask bytes of its group are `others`
    uint8_t others;
    uint8_t want;
  } masked[] = {
      {"full mask, white over", 0, 255, 255, 255, 254},
      {"zero mask byte in a live group", 200, 17, 0, 255, 199},
      {"all-zero group keeps u", 200, 17, 0, 0, 200},
  };
  for (const auto& c : masked) {
    for (int pos = 0; pos < 16; ++pos) {
      Bytes u(16, c.u), v(16, c.v), m(16, 0), out(16, 9);
      for (int i = pos / 8 * 8; i < pos / 8 * 8 + 8; ++i) m[i] = c.others;
      m[pos] = c.m;
      BlendMasked(out.data(), u.data(), v.data(), m.data(), 2);
      EXPECT_EQ(out[pos], c.want) << c.what << " at byte " << pos;
    }
  }

  const struct {
    uint8_t u, v;
    int a;
    uint8_t want;
  } constant[] = {
      {90, 200, 0, 90}, {90, 200, 256, 200}, {0, 255, 128, 127},
      {255, 0, 1, 254}, {90, 200, -5, 90},   {90, 200, 999, 200},  // out-of-range levels clamp
  };
  for (const auto& c : constant) {
    Bytes u(32, c.u), v(32, c.v), out(32);
    BlendConstant(out.data(), u.data(), v.data(), c.a, 4);
    EXPECT_EQ(out, Bytes(32, c.want)) << "a " << c.a << " u " << int{c.u} << " v " << int{c.v};
  }
}

// The whole-picture routines and the transition frames on full screens.
TEST_P(PixelOpsPath, FramesMatchReference) {
  const Surface a = RandomSurface(800, 600), mask = RandomSurface(800, 600, true);
  // A band of rows the same in both, as when only a window differs.
  Surface b = RandomSurface(800, 600);
  for (int y = 100; y < 300; ++y) std::memcpy(b.Row(y), a.Row(y), static_cast<size_t>(a.Stride()));
  const Pic pa = FromSurface(a), pb = FromSurface(b), pm = FromSurface(mask);
  const size_t n = pa.px.size();
  Surface out(800, 600);

  for (int level : {0, 100, 256}) {
    CrossfadeFrame(a, b, level, out);
    Bytes want(n);
    for (size_t i = 0; i < n; ++i) want[i] = RefConstant(pb.px[i], pa.px[i], level);
    EXPECT_EQ(Diff(Contents(out), want), "") << "CrossfadeFrame " << level;

    Darken(out, a, level);
    for (size_t i = 0; i < n; ++i) want[i] = static_cast<uint8_t>(pa.px[i] * level / 256);
    EXPECT_EQ(Diff(Contents(out), want), "") << "Darken " << level;
  }

  AddSaturate(out, a, b);
  Bytes want(n);
  for (size_t i = 0; i < n; ++i) want[i] = static_cast<uint8_t>(std::min(255, pa.px[i] + pb.px[i]));
  EXPECT_EQ(Diff(Contents(out), want), "") << "AddSaturate";

  BlendThroughMask(out, a, b, mask);
  RefMaskedGroups(want, 0, pa.px, 0, pb.px, 0, pm.px, 0, n / 8);
  EXPECT_EQ(Diff(Contents(out), want), "") << "BlendThroughMask";

  // Cells over the whole screen and partly off it: only the clipped cell changes.
  const Surface work0 = RandomSurface(800, 600);
  const std::pair<int, int> cells[] = {{0, 0},     {400, 300}, {760, 570},
                                       {-30, -20}, {800, 0},   {-80, 5}};
  for (auto [x, y] : cells) {
    Surface work = work0;
    BlendCell(work, a, b, x, y, 64);
    Pic ref = FromSurface(work0);
    for (int py = std::max(0, y); py < std::min(600, y + 60); ++py) {
      for (int px = std::max(0, x); px < std::min(800, x + 80); ++px) {
        for (int c = 0; c < 3; ++c) {
          const size_t i = ref.At(px, py) + c;
          ref.px[i] = RefConstant(pa.px[i], pb.px[i], 64);
        }
      }
    }
    EXPECT_EQ(Diff(Contents(work), ref.px), "") << "BlendCell at " << x << "," << y;
  }

  Surface dest = b;
  DrawMasked(dest, a, mask, 0, 0);
  Pic ref = FromSurface(b);
  RefDrawArea(ref, pa, 0, pm, 0, 800, 600, 0, 0);
  EXPECT_EQ(Diff(Contents(dest), ref.px), "") << "DrawMasked full screen";
}

// Random sizes and positions, on and off every edge, with mask pictures of other sizes.
TEST_P(PixelOpsPath, PictureRoutinesClipLikeReference) {
  for (int iter = 0; iter < 400; ++iter) {
    const int dw = RandInt(0, 48), dh = RandInt(0, 20);
    const int cw = RandInt(0, 40), ch = RandInt(0, 16);
    const int mw = RandInt(0, 2) == 0 ? RandInt(0, 45) : cw;
    const int mh = RandInt(0, 2) == 0 ? RandInt(0, 18) : ch;
    const int x = RandInt(-45, dw + 3), y = RandInt(-18, dh + 3);
    SCOPED_TRACE(testing::Message() << "dest " << dw << "x" << dh << " colour " << cw << "x" << ch
                                    << " mask " << mw << "x" << mh << " at " << x << "," << y);
    const Surface dest0 = RandomSurface(dw, dh), colour = RandomSurface(cw, ch),
                  mask = RandomSurface(mw, mh, true);

    Surface dest = dest0;
    DrawMasked(dest, colour, mask, x, y);
    Pic ref = FromSurface(dest0);
    RefDrawArea(ref, FromSurface(colour), 0, FromSurface(mask), 0, std::min(cw, mw),
                std::min(ch, mh), x, y);
    EXPECT_EQ(Diff(Contents(dest), ref.px), "") << "DrawMasked";

    // Pair: odd widths give a mask half one pixel wider than the colour half.
    Surface pair = RandomSurface(RandInt(0, 81), ch);
    for (int py = 0; py < ch; ++py)
      FillMask(pair.Row(py) + pair.Width() / 2 * 3, (pair.Width() - pair.Width() / 2) * 3);
    dest = dest0;
    DrawMaskedPair(dest, x, y, pair);
    ref = FromSurface(dest0);
    const Pic pp = FromSurface(pair);
    RefDrawArea(ref, pp, 0, pp, pair.Width() / 2, pair.Width() / 2, ch, x, y);
    EXPECT_EQ(Diff(Contents(dest), ref.px), "") << "DrawMaskedPair " << pair.Width();

    // Stacked: odd heights leave the last row unused.
    Surface stacked = RandomSurface(cw, RandInt(0, 33));
    const int sh = stacked.Height() / 2;
    for (int py = sh; py < 2 * sh; ++py) FillMask(stacked.Row(py), cw * 3);
    const bool fits = x >= 0 && y >= 0 && x + cw <= dw && y + sh <= dh;
    dest = dest0;
    int reports = 0;
    EXPECT_EQ(DrawMaskedStacked(dest, x, y, stacked, [&](const char*, int) { ++reports; }), fits);
    EXPECT_EQ(reports, fits ? 0 : 1);
    ref = FromSurface(dest0);
    if (fits) {
      const Pic ps = FromSurface(stacked);
      for (int r = 0; r < sh; ++r) {
        RefMaskedGroups(ref.px, ref.At(x, y + r), ref.px, ref.At(x, y + r), ps.px, ps.At(0, r),
                        ps.px, ps.At(0, r + sh), static_cast<size_t>(cw * 3 / 8));
      }
    }
    EXPECT_EQ(Diff(Contents(dest), ref.px), "") << "DrawMaskedStacked";
  }
}

// Hand-checked placements: a picture whose colour is 255 and whose mask is all 255 turns every
// drawn byte of a zero destination into 254, so the drawn area is plain to see.
struct Placement {
  const char* name;
  int destW, destH, picW, picH, x, y;
  int firstColumn, columns;  // destination columns expected at 254 (all rows of the picture)
};

TEST_P(PixelOpsPath, DrawMaskedPlacements) {
  const Placement cases[] = {
      {"left edge cut at x=-10", 800, 4, 40, 4, -10, 0, 0, 30},
      {"right of the screen", 800, 4, 40, 4, 800, 0, 0, 0},
      {"cut at the right edge", 800, 4, 40, 4, 780, 0, 790, 10},
      {"below the screen", 800, 4, 40, 4, 0, 4, 0, 0},
  };
  for (const Placement& c : cases) {
    Surface colour(c.picW, c.picH), mask(c.picW, c.picH), dest(c.destW, c.destH);
    colour.Fill(255, 255, 255);
    mask.Fill(255, 255, 255);
    // Columns 0..9 differ, so the x=-10 case shows which columns were taken.
    for (int y = 0; y < c.picH; ++y) std::memset(colour.Row(y), 0, 30);
    DrawMasked(dest, colour, mask, c.x, c.y);
    for (int y = 0; y < c.destH; ++y) {
      for (int px = 0; px < c.destW; ++px) {
        const bool drawn = c.columns > 0 && px >= c.firstColumn && px < c.firstColumn + c.columns;
        ASSERT_EQ(dest.Row(y)[px * 3], drawn ? 254 : 0) << c.name << " column " << px;
      }
    }
  }
}

TEST_P(PixelOpsPath, ThirtyPixelPictureGroupsAndTail) {
  // DrawMasked: 24 pixels in blocks where an all-zero mask keeps the destination, then 6
  // pixels byte by byte where the same mask still rounds 200 down to 199.
  Surface colour(30, 2), zeroMask(30, 2), dest(40, 2);
  dest.Fill(200, 200, 200);
  DrawMasked(dest, colour, zeroMask, 0, 0);
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < 40 * 3; ++i) {
      ASSERT_EQ(dest.Row(y)[i], i < 72 ? 200 : i < 90 ? 199 : 200) << "byte " << i;
    }
  }

  // DrawMaskedStacked: 90 bytes a row are 11 groups; the last 2 bytes stay.
  Surface stacked(30, 4), target(30, 2);
  stacked.Fill(255, 255, 255);
  EXPECT_TRUE(DrawMaskedStacked(target, 0, 0, stacked));
  for (int y = 0; y < 2; ++y) {
    for (int i = 0; i < 90; ++i) ASSERT_EQ(target.Row(y)[i], i < 88 ? 254 : 0) << "byte " << i;
  }
}

TEST_P(PixelOpsPath, StackedRefusesWhatDoesNotFit) {
  Surface picture(20, 20);  // 20 x 10 colour over its mask
  picture.Fill(255, 255, 255);
  const struct {
    int x, y;
    bool fits;
  } cases[] = {{780, 590, true}, {781, 590, false}, {780, 591, false},
               {-1, 0, false},   {0, -1, false},    {INT32_MAX, 0, false}};
  for (const auto& c : cases) {
    Surface dest(800, 600);
    std::vector<std::pair<std::string, int>> reports;
    const bool drawn = DrawMaskedStacked(dest, c.x, c.y, picture, [&](const char* text, int kind) {
      reports.emplace_back(text, kind);
    });
    EXPECT_EQ(drawn, c.fits) << c.x << "," << c.y;
    if (c.fits) {
      EXPECT_TRUE(reports.empty());
      EXPECT_EQ(dest.Row(599)[780 * 3], 254);
    } else {
      EXPECT_EQ(reports, (std::vector<std::pair<std::string, int>>{{"ILLEGAL BMP", 3}}));
      EXPECT_EQ(Diff(Contents(dest), Contents(Surface(800, 600))), "");
    }
  }
  Surface dest(800, 600);
  EXPECT_FALSE(DrawMaskedStacked(dest, 790, 0, picture));  // no report hook: still refused
}

TEST_P(PixelOpsPath, AddSaturateClampsAt255) {
  Surface u(3, 1), v(3, 1), out(3, 1);
  u.Fill(200, 10, 0);
  v.Fill(100, 20, 255);
  AddSaturate(out, u, v);
  EXPECT_EQ(Bytes(out.Row(0), out.Row(0) + 9), (Bytes{255, 30, 255, 255, 30, 255, 255, 30, 255}));
}

// Copies share pixels until one side writes: every way of changing one side (a write, a clear,
// a resize, a copy over it) must leave the other as it was.
TEST(SurfaceCopies, ChangingOneSideLeavesTheOtherAlone) {
  const Surface original = RandomSurface(40, 30);
  const Bytes before = Contents(original);
  const std::vector<std::pair<const char*, std::function<void(Surface&)>>> changes = {
      {"write", [](Surface& s) { s.Row(5)[7] ^= 0xFF; }},
      {"fill", [](Surface& s) { s.Fill(1, 2, 3); }},
      {"clear by resize to the same size", [](Surface& s) { s.Resize(40, 30); }},
      {"resize", [](Surface& s) { s.Resize(20, 10); }},
      {"emptied and sized again", [](Surface& s) { s.Resize(0, 0), s.Resize(40, 30); }},
      {"copied over", [](Surface& s) { s = RandomSurface(40, 30); }},
      {"black copied over", [](Surface& s) { s = Surface(40, 30); }},
      {"drawn whole afresh",
       [](Surface& s) {
         s.WillOverwrite();
         for (int y = 0; y < s.Height(); ++y) std::memset(s.Row(y), 9, s.Stride());
       }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    Surface copy = original;
    EXPECT_EQ(Contents(copy), before);
    Surface second = copy;
    change(copy);
    EXPECT_EQ(Contents(original), before);
    EXPECT_EQ(Contents(second), before);
    // And the other way round: the copy is not changed through the original's sharers.
    Surface third = second;
    change(second);
    EXPECT_EQ(Contents(third), before);
  }
  // What a clear or a resize leaves is black, shared or not.
  Surface shared = original;
  Surface cleared = shared;
  cleared.Resize(40, 30);
  EXPECT_EQ(Contents(cleared), Bytes(before.size(), 0));
  Surface regrown = shared;
  regrown.Resize(0, 0);
  regrown.Resize(40, 30);
  EXPECT_EQ(Contents(regrown), Bytes(before.size(), 0));
  EXPECT_EQ(Contents(shared), before);
}

INSTANTIATE_TEST_SUITE_P(PixelOps, PixelOpsPath,
                         ::testing::ValuesIn(std::vector<PixelPath>(AvailablePixelPaths().begin(),
                                                                    AvailablePixelPaths().end())),
                         [](const auto& info) { return std::string(PixelPathName(info.param)); });

}  // namespace
}  // namespace zorvel
