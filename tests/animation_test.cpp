// Sprite animations: the entry reader and writer, the doubling, and `anim` / `animq` played
// through the whole engine on the virtual clock (pacing, skips, the hold catch-up, the click,
// the sound track), and the anim-build / anim-info / build-game round trip.
#include "graphics/animation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "audio/wady.h"
#include "fixture.h"
#include "graphics/picture.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "platform/png_writer.h"
#include "resources/archive.h"
#include "resources/byte_reader.h"

namespace zorvel {
namespace {

using test::PixelAt;
using test::Session;
using test::Solid;
using test::TempDir;

// Colours far enough apart that a JPEG's error never mixes them up.
constexpr std::array<std::array<uint8_t, 3>, 10> kPalette = {{{250, 20, 20},
                                                              {20, 250, 20},
                                                              {20, 20, 250},
                                                              {250, 250, 20},
                                                              {20, 250, 250},
                                                              {250, 20, 250},
                                                              {250, 250, 250},
                                                              {120, 120, 120},
                                                              {130, 60, 200},
                                                              {200, 130, 60}}};

// Index of the palette colour `rgb` is near, or -1.
int PaletteIndex(std::array<uint8_t, 3> rgb) {
  for (size_t i = 0; i < kPalette.size(); ++i) {
    bool near = true;
    for (int c = 0; c < 3; ++c) near = near && std::abs(rgb[c] - kPalette[i][c]) <= 24;
    if (near) return static_cast<int>(i);
  }
  return -1;
}

std::vector<uint8_t> SolidJpeg(int w, int h, std::array<uint8_t, 3> rgb) {
  return EncodeJpeg(Solid(w, h, rgb[0], rgb[1], rgb[2]), 95);
}

// Frames of 64 x 48: "W" a whole frame of palette colour i % 10, "P" a 16 x 16 patch of it at
// (8, 8), "H" a hold.
std::vector<AnimationFrameSource> Frames(const std::string& kinds) {
  std::vector<AnimationFrameSource> frames;
  for (size_t i = 0; i < kinds.size(); ++i) {
    AnimationFrameSource f;
    const auto colour = kPalette[i % kPalette.size()];
    if (kinds[i] == 'W') {
      f.jpeg = SolidJpeg(64, 48, colour);
    } else if (kinds[i] == 'P') {
      f.kind = kPatchFrame;
      f.x = 8;
      f.y = 8;
      f.jpeg = SolidJpeg(16, 16, colour);
    } else {
      f.kind = kHoldFrame;
    }
    frames.push_back(std::move(f));
  }
  return frames;
}

void WriteAnimations(const std::string& path,
                     const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  const std::vector<uint8_t> bytes = BuildArchive(IndexLayout::kB, 32, entries);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// ---- The entry --------------------------------------------------------------------------------

TEST(AnimationEntry, WriterAndReaderAgree) {
  const std::vector<uint8_t> sound = {'W', 'A', 'D', 'Y', 1, 2, 3};
  const auto entry = AssembleAnimationEntry(80, 64, 48, Frames("WPHW"), sound);
  AnimationEntry e;
  std::string why;
  ASSERT_TRUE(ReadAnimationEntry(entry, e, why)) << why;
  EXPECT_EQ(e.frameCount, 4);
  EXPECT_EQ(e.period, 80);
  EXPECT_EQ(e.width, 64);
  EXPECT_EQ(e.height, 48);
  EXPECT_EQ(e.soundSize, sound.size());
  EXPECT_EQ(std::vector<uint8_t>(entry.begin() + e.soundOffset, entry.end()), sound);
  const int16_t kinds[] = {kWholeFrame, kPatchFrame, kHoldFrame, kWholeFrame};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(e.frames[i].kind, kinds[i]);
    Surface picture;
    if (kinds[i] == kHoldFrame) {
      EXPECT_EQ(e.frames[i].size, 0u);
      continue;
    }
    ASSERT_TRUE(DecodeJpeg(std::span(entry).subspan(e.frames[i].offset, e.frames[i].size), picture,
                           nullptr));
  }
  EXPECT_EQ(e.frames[1].x, 8);
  EXPECT_EQ(e.frames[1].y, 8);
}

TEST(AnimationEntry, EveryLyingSizeIsRefused) {
  const std::vector<uint8_t> good = AssembleAnimationEntry(100, 64, 48, Frames("WW"), {});
  const size_t n = 2;
  auto put32 = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
    StoreLe32(b, at, v);
    return b;
  };
  const size_t offsets = kAnimationHeaderSize + 6 * n;
  const size_t sizes = kAnimationHeaderSize + 10 * n;
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"shorter than the header", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"no frames", put32(good, 0, 0)},
      {"a negative frame count", put32(good, 0, 0x80000000u)},
      {"more frames than the tables hold", put32(good, 0, 1000)},
      {"tables cut short", std::vector<uint8_t>(good.begin(), good.begin() + sizes + 4)},
      {"a period of 0", put32(good, 4, 0)},
      {"a negative period", put32(good, 4, 0xFFFFFFF0u)},
      {"a period of more than an hour", put32(good, 4, 3600001)},
      {"a sound track past the end", put32(put32(good, 16, 10), 20, uint32_t(good.size() - 5))},
      {"a sound track whose end wraps", put32(put32(good, 16, 0xFFFFFFF0u), 20, 0x20)},
      {"a frame past the end", put32(good, offsets + 4, uint32_t(good.size()))},
      {"a negative frame offset", put32(good, offsets, 0xFFFFFFFFu)},
      {"a negative frame size", put32(good, sizes, 0xFFFFFF00u)},
      {"a frame size past the end", put32(good, sizes + 4, uint32_t(good.size()))},
  };
  AnimationEntry e;
  std::string why;
  ASSERT_TRUE(ReadAnimationEntry(good, e, why)) << why;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    why.clear();
    EXPECT_FALSE(ReadAnimationEntry(c.bytes, e, why));
    EXPECT_FALSE(why.empty());
  }
}

// ---- Doubling ---------------------------------------------------------------------------------

// Every byte of `a` and `b` halved, rounded down, and added.
uint32_t Mid(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) out |= (((a >> s) & 255) / 2 + ((b >> s) & 255) / 2) << s;
  return out;
}

TEST(Doubling, MidpointsAreHalvedBytesAndTheLastRowAndColumnRepeat) {
  Picture32 f;
  f.Resize(3, 2);
  const uint32_t px[] = {0x00FF0000, 0x00000001, 0x00FFFFFF, 0x00030303, 0x00050505, 0x00818181};
  std::copy(std::begin(px), std::end(px), f.pixels.begin());
  for (const PixelPath path : AvailablePixelPaths()) {
    SCOPED_TRACE(PixelPathName(path));
    ASSERT_TRUE(SetPixelPath(path));
    Picture32 d;
    DoublePicture(f, d);
    ASSERT_EQ(d.width, 6);
    ASSERT_EQ(d.height, 4);
    // Row 0: F00, mid, F01, mid, F02, F02 (1 / 2 rounds down to 0).
    const uint32_t row0[] = {0x00FF0000, 0x007F0000, 0x00000001,
                             0x007F7F7F, 0x00FFFFFF, 0x00FFFFFF};
    const uint32_t row2[] = {0x00030303, 0x00030303, 0x00050505,
                             0x00424242, 0x00818181, 0x00818181};
    for (int c = 0; c < 6; ++c) {
      EXPECT_EQ(d.Row(0)[c], row0[c]) << c;
      EXPECT_EQ(d.Row(2)[c], row2[c]) << c;
      EXPECT_EQ(d.Row(1)[c], Mid(row0[c], row2[c])) << c;
      EXPECT_EQ(d.Row(3)[c], row2[c]) << c;
    }
  }
  SetPixelPath(AvailablePixelPaths().back());
}

TEST(Doubling, EveryPathGivesTheSameBytes) {
  std::mt19937 random(7);
  for (const auto& [w, h] : {std::pair{1, 1}, {4, 1}, {5, 3}, {37, 9}, {400, 3}}) {
    Picture32 f;
    f.Resize(w, h);
    for (uint32_t& p : f.pixels) p = random();
    std::vector<uint32_t> first;
    for (const PixelPath path : AvailablePixelPaths()) {
      ASSERT_TRUE(SetPixelPath(path));
      Picture32 d;
      DoublePicture(f, d);
      if (first.empty()) {
        first = d.pixels;
        // The portable result against the definition, pixel by pixel.
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x + 1 < w; ++x) {
            ASSERT_EQ(d.Row(2 * y)[2 * x + 1], Mid(f.Row(y)[x], f.Row(y)[x + 1]));
          }
        }
      } else {
        EXPECT_EQ(d.pixels, first) << PixelPathName(path) << " " << w << "x" << h;
      }
    }
  }
  SetPixelPath(AvailablePixelPaths().back());
}

// ---- Playing through the engine --------------------------------------------------------------

class AnimationPlay : public ::testing::Test {
 protected:
  struct Shown {
    uint32_t ms;  // after the first frame
    int whole;    // palette index at the frame's corner (whole frames)
    int patch;    // ... and inside the patch square
  };

  Session& Start(const std::string& main,
                 const std::vector<std::pair<std::string, std::vector<uint8_t>>>& animations) {
    std::filesystem::create_directories(root_ / "game");
    test::WriteGame(root_ / "game", {{"main", main}});
    WriteAnimations(root_ / "game/vx_anim.kpz", animations);
    session_ = std::make_unique<Session>(root_ / "game", root_ / "config");
    HeadlessPlatform& p = session_->platform();
    p.SetPresentHook([this, &p] {
      const Surface& f = p.LastFrame();
      const int whole = PaletteIndex(PixelAt(f, kX + 2, kY + 2));
      const int patch = PaletteIndex(PixelAt(f, kX + 14, kY + 14));
      if (whole < 0 && patch < 0) return;
      if (!started_) {
        started_ = true;
        t0_ = p.Ticks();
      }
      if (!shown_.empty() && shown_.back().whole == whole && shown_.back().patch == patch) return;
      shown_.push_back({p.Ticks() - t0_, whole, patch});
      if (whole == lateAt_ && !wasLate_) {
        wasLate_ = true;
        p.Sleep(lateBy_);  // drawing this frame took that long
      }
    });
    return *session_;
  }

  static constexpr int kX = 100;
  static constexpr int kY = 50;
  TempDir root_;
  std::unique_ptr<Session> session_;
  std::vector<Shown> shown_;
  bool started_ = false;
  uint32_t t0_ = 0;
  int lateAt_ = -1;
  uint32_t lateBy_ = 0;
  bool wasLate_ = false;
};

TEST_F(AnimationPlay, KeepsRealTimeAndDrawsEveryFrameWhenOnTime) {
  Session& s = Start("@anim PACE,100,50,0\n!V001=1\n@sleep -1\n",
                     {{"PACE", AssembleAnimationEntry(100, 64, 48, Frames("WWWWWWWWWW"), {})}});
  s.RunFor(3000);
  ASSERT_EQ(shown_.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(shown_[i].whole, i);
    EXPECT_EQ(shown_[i].ms, 100u * i);
  }
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.engine().Animations().FramesDrawn(), 10);
  EXPECT_FALSE(s.state().busy);
  EXPECT_FALSE(s.state().animating);
  EXPECT_FALSE(s.state().toolbarLocked);
  // The last frame stays, in the screen surface too.
  EXPECT_EQ(PaletteIndex(PixelAt(s.engine().Surfaces().screenSurface, kX + 2, kY + 2)), 9);
}

TEST_F(AnimationPlay, ALateFrameSkipsAndAHoldFrameCatchesUp) {
  // Frame 5 takes 250 ms to draw at P = 100: frames 6 and 7 are skipped (k = 2), frame 8 comes
  // at 800 ms. Patch frames paint only their square.
  const struct {
    const char* kinds;
    std::vector<Shown> expected;  // after frame 5's
  } cases[] = {
      // A hold at 8 puts back the newest skipped whole frame.
      {"WWWWWWWWHW", {{800, 7, 7}, {900, 9, 9}}},
      // A patch at 8 waits for the next whole frame.
      {"WWWWWWWWPW", {{900, 9, 9}}},
      // A hold after a skipped whole frame and a skipped patch: the whole frame, then the patch
      // over it, as frame 7 would have shown.
      {"WWWWWWWPHW", {{800, 6, 7}, {900, 9, 9}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kinds);
    shown_.clear();
    started_ = wasLate_ = false;
    lateAt_ = 5;
    lateBy_ = 250;
    Session& s = Start("@anim LATE,100,50,0\n!V001=1\n@sleep -1\n",
                       {{"LATE", AssembleAnimationEntry(100, 64, 48, Frames(c.kinds), {})}});
    s.RunFor(3000);
    ASSERT_EQ(shown_.size(), 6 + c.expected.size());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(shown_[i].whole, i);
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(shown_[6 + i].ms, c.expected[i].ms) << i;
      EXPECT_EQ(shown_[6 + i].whole, c.expected[i].whole) << i;
      EXPECT_EQ(shown_[6 + i].patch, c.expected[i].patch) << i;
    }
    EXPECT_EQ(s.state().vars.V[1], 1);
  }
}

TEST_F(AnimationPlay, DoubledTimingFollowsTheExactRateOfItsTwoCommonPeriods) {
  // At P = 15 the frames come every 66.7 ms, at P = 33 every 33.3 ms (the sleeps still use P).
  const struct {
    int32_t period;
    std::vector<uint32_t> times;
  } cases[] = {{15, {0, 15, 81, 148, 214, 281}},
               {33, {0, 33, 66, 99, 132, 166}},
               {40, {0, 40, 80, 120, 160, 200}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.period);
    shown_.clear();
    started_ = false;
    Session& s = Start("@animq RATE,100,50,0\n!V001=1\n@sleep -1\n",
                       {{"RATE", AssembleAnimationEntry(c.period, 32, 24, Frames("WWWWWW"), {})}});
    s.RunFor(2000);
    ASSERT_EQ(shown_.size(), c.times.size());
    for (size_t i = 0; i < c.times.size(); ++i) EXPECT_EQ(shown_[i].ms, c.times[i]) << i;
    EXPECT_EQ(s.state().vars.V[1], 1);
  }
}

TEST_F(AnimationPlay, DoubledFramesAreSmoothedPixelForPixel) {
  // A 4 x 3 frame of unrelated colours; the window shows it at 8 x 6.
  Surface frame(4, 3);
  std::mt19937 random(3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 12; ++x) frame.Row(y)[x] = static_cast<uint8_t>(random());
  }
  AnimationFrameSource f;
  f.jpeg = EncodeJpeg(frame, 100);
  Surface decoded;
  ASSERT_TRUE(DecodeJpeg(f.jpeg, decoded, nullptr));
  Session& s = Start("@animq DBL,300,200,0\n!V001=1\n@sleep -1\n",
                     {{"DBL", AssembleAnimationEntry(100, 4, 3, {f}, {})}});
  s.RunFor(1000);
  ASSERT_EQ(s.state().vars.V[1], 1);
  s.platform().Flush();
  const Surface& shown = s.platform().LastFrame();
  auto F = [&](int x, int y, int c) { return int{decoded.Row(y)[x * 3 + c]}; };
  // Rows and columns of the doubled picture: an original, then a midpoint (the last repeats).
  auto H = [&](int dx, int y, int c) {
    const int x = std::min(dx / 2, 3);
    return dx % 2 == 0 || x == 3 ? F(x, y, c) : F(x, y, c) / 2 + F(x + 1, y, c) / 2;
  };
  for (int dy = 0; dy < 6; ++dy) {
    for (int dx = 0; dx < 8; ++dx) {
      for (int c = 0; c < 3; ++c) {
        const int y = std::min(dy / 2, 2);
        const int want =
            dy % 2 == 0 || y == 2 ? H(dx, y, c) : H(dx, y, c) / 2 + H(dx, y + 1, c) / 2;
        ASSERT_EQ(shown.Row(200 + dy)[(300 + dx) * 3 + c], want) << dx << "," << dy << " " << c;
      }
    }
  }
  // The screen surface is white but for the last frame, so a repaint shows what was seen.
  const Surface& screen = s.engine().Surfaces().screenSurface;
  EXPECT_EQ(PixelAt(screen, 10, 10), (std::array<uint8_t, 3>{255, 255, 255}));
  EXPECT_EQ(screen.Row(201)[303 * 3], shown.Row(201)[303 * 3]);
}

TEST_F(AnimationPlay, UnusableDoubledSizesAndUnknownNamesPlayNothing) {
  for (const auto& [w, h] : {std::pair{0, 10}, {10, 0}, {1025, 10}, {10, 1025}, {-4, 10}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    Session& s = Start("@animq BAD,0,0,0\n@anim NONE,0,0,0\n!V001=1\n@sleep -1\n",
                       {{"BAD", AssembleAnimationEntry(100, w, h, Frames("WW"), {})}});
    s.RunFor(300);
    EXPECT_EQ(s.state().vars.V[1], 1);
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(s.engine().Animations().Name(), "");
    EXPECT_FALSE(s.state().busy);
  }
}

TEST_F(AnimationPlay, AClickEndsItOnlyWhenCutAllowsAndLeavesTheLastFrame) {
  for (const int cut : {1, 0}) {
    SCOPED_TRACE(cut);
    shown_.clear();
    started_ = false;
    Session& s = Start("@anim CLK,100,50," + std::to_string(cut) + "\n!V001=1\n@sleep -1\n",
                       {{"CLK", AssembleAnimationEntry(100, 64, 48, Frames("WWWWWWWWWW"), {})}});
    s.Events("600 click 400 300\n");
    s.RunFor(800);
    EXPECT_EQ(s.state().vars.V[1], cut);
    EXPECT_EQ(s.state().vars.S[kAnimationCutRegister], cut);
    if (cut) {
      // The click's frame was the last one drawn in the loop; the end put frame 9 up.
      EXPECT_LT(shown_.size(), 10u);
      EXPECT_EQ(shown_.back().whole, 9);
      EXPECT_EQ(PaletteIndex(PixelAt(s.engine().Surfaces().screenSurface, kX + 2, kY + 2)), 9);
    }
    s.RunFor(1500);
    EXPECT_EQ(s.state().vars.V[1], 1);
  }
}

TEST_F(AnimationPlay, TheSoundTrackPlaysOnceOrStreamsAndStopsAtTheEnd) {
  // Under 4,000,000 bytes the track is played from memory on slot 5; from there on it is
  // streamed and looped on slot 3.
  Pcm pcm;
  pcm.format.samplesPerSec = 22050;
  const struct {
    size_t samples;
    int slot;
    const char* label;
  } cases[] = {{22050, 5, "animation sound"}, {4'100'000, 3, "animation stream"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    pcm.samples.assign(c.samples, 0);
    for (size_t i = 0; i < c.samples; ++i) pcm.samples[i] = static_cast<int16_t>((i % 200) * 100);
    const std::vector<uint8_t> sound = EncodeWady(pcm, WadyCoding::kByte);
    ASSERT_EQ(sound.size() >= kAnimationStreamThreshold, c.slot == 3);
    Session& s = Start("@anim SND,100,50,0\n!V001=1\n@sleep -1\n",
                       {{"SND", AssembleAnimationEntry(100, 64, 48, Frames("WWWWW"), sound)}});
    std::string during;
    bool playing = false;
    s.platform().SetPresentHook([&] {
      if (during.empty() && s.state().animating) {
        during = s.engine().Audio().Device().Label(c.slot);
        playing = s.engine().Audio().Device().Playing(c.slot);
      }
    });
    s.RunFor(1500);
    EXPECT_EQ(during, c.label);
    EXPECT_TRUE(playing);
    EXPECT_EQ(s.state().vars.V[1], 1);
    EXPECT_FALSE(s.engine().Audio().Device().Playing(c.slot));
  }
}

TEST_F(AnimationPlay, ALyingEntryIsRefusedAndTheScriptGoesOn) {
  auto entry = AssembleAnimationEntry(100, 64, 48, Frames("WW"), {});
  StoreLe32(entry, kAnimationHeaderSize + 6 * 2 + 4, 0x7FFFFF00u);  // frame 1 far past the end
  Session& s = Start("@anim LIE,0,0,1\n!V001=1\n@sleep -1\n", {{"LIE", entry}});
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_TRUE(shown_.empty());
  EXPECT_FALSE(s.state().busy);
}

TEST_F(AnimationPlay, TheDumpNamesThePlayingAnimationAndItsFrame) {
  Session& s = Start("@anim DUMP,100,50,0\n@sleep -1\n",
                     {{"DUMP", AssembleAnimationEntry(100, 64, 48, Frames("WWWWWW"), {})}});
  std::string json;
  s.platform().SetPresentHook([&] {
    if (s.engine().Animations().Frame() == 3 && json.empty()) json = s.engine().DumpState(0);
  });
  s.RunFor(1000);
  EXPECT_NE(json.find(R"("animation":{"playing":true,"name":"DUMP","doubled":false,)"
                      R"("frame":3,"frames":6,)"),
            std::string::npos)
      << json;
}

// ---- Tools ------------------------------------------------------------------------------------

class AnimationTool : public ::testing::Test {
 protected:
  int Tool(const std::string& args, std::string* out = nullptr) {
    const std::string outPath = root_ / "stdout";
    const int status = std::system(
        (std::string(ZORVEL_TOOL) + " " + args + " >" + outPath + " 2>" + (root_ / "stderr"))
            .c_str());
    if (out) *out = test::ReadText(outPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  TempDir root_;
};

TEST_F(AnimationTool, BuildInfoAndBuildGameRoundTrip) {
  ASSERT_TRUE(WritePng(root_ / "a.png", Solid(64, 48, 250, 20, 20)));
  ASSERT_TRUE(WritePng(root_ / "p.png", Solid(16, 16, 20, 250, 20)));
  const auto jpeg = SolidJpeg(64, 48, {20, 20, 250});
  std::ofstream(root_ / "c.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  // A short WAV for the track.
  {
    std::ofstream wav(root_ / "s.wav", std::ios::binary);
    const uint32_t frames = 2205;
    auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
    wav << "RIFF";
    u32(36 + frames * 2);
    wav << "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(22050);
    u32(44100);
    u16(2);
    u16(16);
    wav << "data";
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>((i % 50) * 300));
  }
  const std::string d = root_.Path();
  std::filesystem::create_directories(root_ / "src/anim");
  ASSERT_EQ(Tool("anim-build --period 33 --size 32x24 --sound " + d + "/s.wav " + d +
                 "/src/anim/OPEN.anm " + d + "/a.png 8,4:" + d + "/p.png hold " + d + "/c.jpg"),
            0)
      << test::ReadText(root_ / "stderr");
  std::string info;
  ASSERT_EQ(Tool("anim-info " + d + "/src/anim/OPEN.anm", &info), 0);
  EXPECT_NE(info.find("frames 4\nperiod 33 ms\nsize 32x24\nsound "), std::string::npos) << info;
  EXPECT_NE(info.find("0 whole 0 0 "), std::string::npos) << info;
  EXPECT_NE(info.find("1 patch 8 4 "), std::string::npos) << info;
  EXPECT_NE(info.find("2 hold 0 0 "), std::string::npos) << info;
  EXPECT_NE(info.find("JPEG 16x16"), std::string::npos) << info;
  EXPECT_NE(info.find("(played once)"), std::string::npos) << info;

  // The stored JPEG is kept byte for byte; the PNGs became JPEGs of their own size.
  const auto bytes = ReadWholeFile(root_ / "src/anim/OPEN.anm");
  ASSERT_TRUE(bytes);
  AnimationEntry e;
  std::string why;
  ASSERT_TRUE(ReadAnimationEntry(*bytes, e, why)) << why;
  EXPECT_EQ(std::vector<uint8_t>(bytes->begin() + e.frames[3].offset,
                                 bytes->begin() + e.frames[3].offset + e.frames[3].size),
            jpeg);
  Surface first;
  ASSERT_TRUE(
      DecodeJpeg(std::span(*bytes).subspan(e.frames[0].offset, e.frames[0].size), first, nullptr));
  EXPECT_EQ(PaletteIndex(PixelAt(first, 30, 20)), 0);
  EXPECT_EQ(std::string(bytes->begin() + e.soundOffset, bytes->begin() + e.soundOffset + 4),
            "WADY");

  // build-game packs anim/ under the files' stems; the game plays it.
  std::filesystem::copy_file(root_ / "a.png", root_ / "src/unused.png");
  test::WriteText(root_ / "src/_config.txt", "TITLE:t\nEND\n");
  test::WriteText(root_ / "src/main.txt", "@anim open,0,0,0\n!V001=1\n@sleep -1\n");
  ASSERT_EQ(Tool("build-game " + d + "/src " + d + "/game"), 0) << test::ReadText(root_ / "stderr");
  Session s(root_ / "game", root_ / "config");
  s.RunFor(1000);
  EXPECT_EQ(s.engine().Animations().Name(), "OPEN");
  EXPECT_EQ(s.state().vars.V[1], 1);

  // A file in anim/ that is no animation stops the build, saying which.
  test::WriteText(root_ / "src/anim/BROKEN", "not an animation");
  EXPECT_EQ(Tool("build-game " + d + "/src " + d + "/game2"), 1);
  EXPECT_NE(test::ReadText(root_ / "stderr").find("BROKEN: not a usable animation entry"),
            std::string::npos);
  // Usage errors and bad frames.
  EXPECT_EQ(Tool("anim-build " + d + "/x.anm"), 2);
  EXPECT_EQ(Tool("anim-build --period 0 " + d + "/x.anm " + d + "/a.png"), 2);
  EXPECT_EQ(Tool("anim-build --size 0x4 " + d + "/x.anm " + d + "/a.png"), 2);
  EXPECT_EQ(Tool("anim-build " + d + "/x.anm " + d + "/missing.png"), 1);
  EXPECT_EQ(Tool("anim-info " + d + "/src/anim/BROKEN"), 1);
}

}  // namespace
}  // namespace zorvel
