// The history view, the page rewind, the hidden window and the panic picture, played through
// fixture games: the scroll limits and the thumb, voice rows and their replay, the page ring
// and its rewrite by the "=" wait, the rewind's limits, and every screen handing back the
// picture it took over. Also the bitmap reader of panic.bmp, on good and broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include "fixture.h"
#include "text/sjis.h"
#include "ui/hidden_window.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\nNP_SZ_X:200\nNP_SZ_Y:32\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kThumbColour = {220, 40, 40};
constexpr Rgb kIconColour = {40, 200, 60};
constexpr Rgb kLitIconColour = {40, 220, 255};
constexpr Rgb kLitArrowColour = {255, 220, 0};
constexpr Rgb kBlack = {0, 0, 0};

// The four pictures of the history view: a grey bar with yellow lit arrows (colour and mask
// side by side, 96 columns apart), a red thumb, green and cyan voice icons.
std::map<std::string, Surface> ViewPictures() {
  Surface bar(192, 574);
  bar.FillRect(0, 0, 32, 574, 90, 90, 110);
  // The arrows' caps: lighter bands at both ends of the bar.
  bar.FillRect(0, 0, 32, 14, 160, 160, 180);
  bar.FillRect(0, 558, 32, 16, 160, 160, 180);
  bar.FillRect(32, 0, 32, 14, kLitArrowColour[0], kLitArrowColour[1], kLitArrowColour[2]);
  bar.FillRect(32, 558, 32, 16, kLitArrowColour[0], kLitArrowColour[1], kLitArrowColour[2]);
  bar.FillRect(96 + 4, 0, 24, 574, 255, 255, 255);
  bar.FillRect(128 + 4, 0, 24, 14, 255, 255, 255);
  bar.FillRect(128 + 4, 558, 24, 16, 255, 255, 255);
  return {{"sys_bl_bar", bar},
          {"sys_bl_cur", Solid(16, 40, kThumbColour[0], kThumbColour[1], kThumbColour[2])},
          {"sys_blVR", Solid(16, 14, kIconColour[0], kIconColour[1], kIconColour[2])},
          {"sys_blVR2", Solid(16, 14, kLitIconColour[0], kLitIconColour[1], kLitIconColour[2])}};
}

// A bitmap file: `bits` 8 (a grey palette, index = red) or 24, rows bottom-up unless topDown.
std::vector<uint8_t> MakeBmp(int width, int height, int bits, bool topDown,
                             const std::function<Rgb(int, int)>& pixel) {
  const int stride = (width * bits + 31) / 32 * 4;
  const int palette = bits == 8 ? 256 * 4 : 0;
  const int offset = 14 + 40 + palette;
  std::vector<uint8_t> out(static_cast<size_t>(offset + stride * height));
  const auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, static_cast<uint32_t>(offset));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(topDown ? -height : height));
  out[26] = 1;
  out[28] = static_cast<uint8_t>(bits);
  for (int i = 0; i < palette / 4; ++i) {
    out[54 + i * 4 + 2] = static_cast<uint8_t>(i);  // red = index, blue and green 0
  }
  for (int y = 0; y < height; ++y) {
    const int fileRow = topDown ? y : height - 1 - y;
    uint8_t* row = out.data() + offset + static_cast<size_t>(fileRow) * stride;
    for (int x = 0; x < width; ++x) {
      const Rgb c = pixel(x, y);
      if (bits == 8) {
        row[x] = c[0];
      } else {
        row[x * 3] = c[2];
        row[x * 3 + 1] = c[1];
        row[x * 3 + 2] = c[0];
      }
    }
  }
  return out;
}

class BacklogTest : public ::testing::Test {
 protected:
  // A game with `main` and the view's pictures, played for `ms`; `skip` runs the story through.
  Session& Play(const std::string& main, uint32_t ms, const std::string& settings = "",
                bool skip = false) {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    WritePictures(game_ / "vx_gra.kpz", ViewPictures());
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(1);
    session_->state().skipMode = skip ? 1 : 0;
    session_->RunFor(ms);
    session_->state().skipMode = 0;
    return *session_;
  }
  // Events in the events-file format without times: each happens after the one before.
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  const zorvel::Backlog& View() { return session_->engine().BacklogScreen(); }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // Masked drawing blends at 255/256: a fully covered pixel may come out a step darker.
  bool ShownNear(int x, int y, Rgb colour) {
    const Rgb c = Shown(x, y);
    for (int i = 0; i < 3; ++i) {
      if (std::abs(c[i] - colour[i]) > 2) return false;
    }
    return true;
  }
  // History slot `line` rewritten as the voice line a `cv` command leaves.
  void VoiceLine(int line, const std::string& name) {
    char* slot = session_->state().history + line * kHistorySlotSize;
    std::memset(slot, 0, kHistorySlotSize);
    std::memcpy(slot, ("@" + name).c_str(), name.size() + 1);
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

std::string Lines(int count, const std::string& prefix = "L") {
  std::string script;
  for (int i = 0; i < count; ++i) script += prefix + std::to_string(i) + "▼\n";
  return script;
}

TEST_F(BacklogTest, ScrollLimitsAndThumbWithAFullHistory) {
  // 250 lines leave the last 200: offsets run 0 to 171.
  Session& s = Play("!S028=1\n@gra S468\n" + Lines(250) + "@sleep -1\n", 60000, "", true);
  ASSERT_EQ(s.state().historyLines, 200);
  EXPECT_EQ(s.History().front(), "L50");
  // The oldest kept line's neighbour as a voice line: it shows in row 1 exactly at the top.
  VoiceLine(1, "V051");
  const Surface before = s.platform().LastFrame();

  Do({"key Backspace"});
  ASSERT_TRUE(s.state().backlogOpen);
  EXPECT_EQ(View().ScrollOffset(), 0);
  EXPECT_EQ(Shown(695, 550), kThumbColour);  // thumb at y 530
  for (int i = 0; i < 50; ++i) Do({"wheel 120"}, 20);
  EXPECT_EQ(View().ScrollOffset(), 171);
  EXPECT_STREQ(View().RowVoice(1), "V051");
  EXPECT_EQ(Shown(695, 50), kThumbColour);  // thumb at y 30
  EXPECT_NE(Shown(695, 550), kThumbColour);

  struct Step {
    const char* event;
    int offset;
  };
  const Step steps[] = {
      {"click 690 560", 169},       // down arrow: 2 lines forward
      {"click 690 20", 171},        // up arrow: never past the oldest line
      {"wheel -120", 167},          // the wheel toward the player: 4 forward
      {"press 690 290 left", 85},   // the track: (540 - 290) / 500 of the way back
      {"move 690 40", 171},         // the thumb dragged to the top
      {"move 690 700", 0},          // and past the bottom
      {"release 690 700 left", 0},  //
      {"move 690 40", 0},           // a move after the release drags nothing
      {"click 690 20", 2},          //
      {"click 700 575", 0},         //
      {"click 700 575", 0},         // never below the newest line
  };
  for (const Step& step : steps) {
    Do({step.event}, 20);
    EXPECT_EQ(View().ScrollOffset(), step.offset) << step.event;
  }
  // The right button closes and hands back the game's picture.
  Do({"click 400 300 right"});
  EXPECT_FALSE(s.state().backlogOpen);
  EXPECT_FALSE(s.state().toolbarLocked);
  ExpectPicture(s.platform().LastFrame(), before, "backlog_closed");
}

TEST_F(BacklogTest, VoiceRowsLightUpAndReplay) {
  Session& s = Play("!S028=1\n@gra S468\n" + Lines(6) + "@sleep -1\n", 8000, "", true);
  ASSERT_EQ(s.state().historyLines, 6);
  VoiceLine(0, "V000");  // in the top row: shows nothing
  VoiceLine(2, "V002");
  Do({"key Backspace"});
  ASSERT_TRUE(s.state().backlogOpen);
  EXPECT_STREQ(View().RowVoice(0), "");
  EXPECT_STREQ(View().RowVoice(1), "");
  EXPECT_STREQ(View().RowVoice(2), "V002");
  const int iconY = 4 + 19 * 2 + 7;
  EXPECT_EQ(Shown(85, iconY), kIconColour);
  EXPECT_NE(Shown(695, 550), kThumbColour);  // too few lines for a thumb

  // Hovering the row lights its icon; the arrows light under the pointer.
  Do({"move 200 52"});
  EXPECT_EQ(Shown(85, iconY), kLitIconColour);
  Do({"move 695 15"});
  EXPECT_EQ(Shown(85, iconY), kIconColour);
  EXPECT_TRUE(ShownNear(695, 15, kLitArrowColour));
  Do({"move 400 300"});
  EXPECT_FALSE(ShownNear(695, 15, kLitArrowColour));

  // Fewer lines than rows: the arrows and the wheel leave the view where it is.
  Do({"click 690 20", "wheel 120"});
  EXPECT_EQ(View().ScrollOffset(), 0);
  // A text row replays nothing; the voice row replays its voice.
  Do({"click 200 33"});
  EXPECT_EQ(View().ReplayedVoice(), "");
  Do({"click 340 52"});
  EXPECT_EQ(View().ReplayedVoice(), "V002");
  EXPECT_TRUE(s.state().backlogOpen);
  Do({"key Backspace"});
  EXPECT_FALSE(s.state().backlogOpen);
}

TEST_F(BacklogTest, NothingOpensWhileS028IsZero) {
  Session& s = Play("!S028=0\n@gra S468\nあ▼\n", 1500);
  const Surface before = s.platform().LastFrame();
  Do({"key Backspace", "key W", "key Left"});
  EXPECT_FALSE(s.state().backlogOpen);
  EXPECT_EQ(s.state().screenMode, 0);
  ExpectPicture(s.platform().LastFrame(), before, "s028_zero");
}

// A reader's view of the history: the darkened scene, rows of text with voice icons (one lit
// under the pointer), the bar with the thumb part of the way up.
TEST_F(BacklogTest, GoldenHistoryView) {
  std::string lines;
  const char* texts[] = {"「おはよう、ゆうき。今日はいい天気だね」", "坂の上まで歩こうか。",
                         "――風が少し冷たい。", "「うん、行こう」"};
  for (int i = 0; i < 40; ++i) lines += std::string(texts[i % 4]) + "▼\n";
  Session& s = Play("!S028=1\n@gra S468\n" + lines + "@sleep -1\n", 30000, "", true);
  ASSERT_EQ(s.state().historyLines, 40);
  VoiceLine(20, "V020");
  VoiceLine(24, "V024");
  Do({"key Backspace", "wheel 120", "wheel 120", "move 100 338"});
  ASSERT_EQ(View().ScrollOffset(), 8);
  ExpectGolden(s.platform().LastFrame(), "backlog_view", 8);
}

TEST_F(BacklogTest, RewindStepsWithinTheRecordedPages) {
  // Three pages on red, green and blue.
  Session& s =
      Play("!S028=1\n@gra S800\n一▼\n@gra S080\n二▼\n@gra S008\n三▼\n@sleep -1\n", 5000, "", true);
  ASSERT_EQ(s.engine().BacklogScreen().Ring().pageCounter, 3);
  const Surface before = s.platform().LastFrame();
  const auto dominant = [&] {
    const Rgb c = Shown(5, 5);
    return c[0] > 100 && c[1] == 0 ? 'r' : c[1] > 100 && c[0] == 0 ? 'g' : c[2] > 100 ? 'b' : '?';
  };
  struct Step {
    const char* key;
    int depth;
    char colour;
  };
  const Step steps[] = {
      {"key Left", 1, 'b'},  {"key Left", 2, 'g'},  {"key Left", 3, 'r'},
      {"key Left", 3, 'r'},  // before the first page: nothing
      {"key Right", 2, 'g'}, {"key Right", 1, 'b'}, {"key Right", 0, 'b'},  // leaves
  };
  for (const Step& step : steps) {
    Do({step.key});
    EXPECT_EQ(View().RewindDepth(), step.depth) << step.key;
    EXPECT_EQ(s.state().screenMode, step.depth == 0 ? 0 : 9) << step.key;
    EXPECT_EQ(dominant(), step.colour) << step.key;
  }
  EXPECT_FALSE(s.state().toolbarLocked);
  ExpectPicture(s.platform().LastFrame(), before, "rewind_left", 0);
  // The wheel turned away steps back; a left click steps forward; the right button leaves.
  Do({"key Left", "wheel 120"});
  EXPECT_EQ(View().RewindDepth(), 2);
  Do({"click 400 300"});
  EXPECT_EQ(View().RewindDepth(), 1);
  Do({"click 400 300 right"});
  EXPECT_EQ(s.state().screenMode, 0);
  ExpectPicture(s.platform().LastFrame(), before, "rewind_right_button", 0);
}

TEST_F(BacklogTest, RewindBeforeAnyPageDoesNothing) {
  Session& s = Play("!S028=1\n@gra S468\n@sleep -1\n", 1000);
  Do({"key Left"});
  EXPECT_EQ(s.state().screenMode, 0);
  EXPECT_EQ(View().RewindDepth(), 0);
}

TEST_F(BacklogTest, EqualsWaitRewritesTheNewestPageAndKeepsItsVoices) {
  Session& s =
      Play("!S028=1\n@gra S468\n一頁▼\n二頁の[cv V1]前半\n=\n後半[cv V2]▼\n@sleep -1\n", 2000);
  const PageRing& ring = View().Ring();
  EXPECT_EQ(ring.pageCounter, 1);
  Do({"click 400 300"}, 2000);
  ASSERT_EQ(s.state().waitKind, 2);
  EXPECT_EQ(ring.pageCounter, 1);
  Do({"click 400 300"}, 2000);
  EXPECT_EQ(ring.pageCounter, 2);
  const PageRecord& page = ring.records[1];
  EXPECT_STREQ(page.voices, "V1 V2 ");
  std::string cells;
  for (const auto& row : page.text) {
    for (const char c : row) {
      if (c != 0) cells.push_back(c);
    }
  }
  const std::string text = SjisToUtf8(cells);
  EXPECT_NE(text.find("前半"), std::string::npos) << text;
  EXPECT_NE(text.find("後半"), std::string::npos) << text;
  EXPECT_EQ(std::string(page.names), "S468,");
  // The dump shows the ring.
  const std::string dump = s.engine().DumpState(0);
  EXPECT_NE(dump.find("\"pageCounter\":2"), std::string::npos);
  EXPECT_NE(dump.find("\"voices\":\"V1 V2 \""), std::string::npos);
}

TEST_F(BacklogTest, APageOpenedAfterTheEqualsWaitIsAnotherPage) {
  // "▽" turns the page without recording it: the next record takes the "=" page's slot, but
  // not its voices.
  Session& s =
      Play("!S028=1\n@gra S468\n一頁[cv V1]前半\n=\n後半▽\n次頁[cv V2]▼\n@sleep -1\n", 2000);
  const PageRing& ring = View().Ring();
  ASSERT_EQ(s.state().waitKind, 2);
  ASSERT_STREQ(ring.records[0].voices, "V1 ");
  Do({"click 400 300"}, 2000);
  EXPECT_EQ(ring.pageCounter, 1);
  EXPECT_STREQ(ring.records[0].voices, "V2 ");
}

TEST_F(BacklogTest, ALoadedGameRewritesItsOwnPageAfterTheEqualsWait) {
  // Twenty pages fill the ring, so every slot holds an older page's voices. Then two quick
  // saves: one at a "=" wait, one at a page's end. Whatever the game was doing when one of
  // them is loaded, the page recorded next keeps exactly its own voices.
  std::string filler;
  for (int i = 0; i < kPageRingSize; ++i) filler += "頁[cv F]▼\n";
  Session& s = Play("!S000=0\n!S028=1\n@gra S468\n" + filler +
                        "二頁の[cv V1]前半\n=\n後半[cv V2]▼\n三頁[cv V3]\n=\n続き[cv V4]▼\n"
                        "@sleep -1\n",
                    1500);
  const PageRing& ring = View().Ring();
  for (int i = 1; i < kPageRingSize; ++i) Do({"click 400 300"}, 300);
  ASSERT_EQ(ring.pageCounter, kPageRingSize);
  ASSERT_STREQ(ring.records[0].voices, "F ");
  Do({"click 400 300"}, 1500);
  ASSERT_EQ(s.state().waitKind, 2);
  const std::string slot = game_ / "save/save99.dat";
  Do({"key Q"}, 1500);
  const std::string atEquals = ReadText(slot);
  Do({"click 400 300"}, 1500);
  ASSERT_STREQ(ring.records[0].voices, "V1 V2 ");
  Do({"key Q"}, 1500);
  const std::string atPageEnd = ReadText(slot);
  Do({"click 400 300", "click 400 300"}, 1500);
  ASSERT_STREQ(ring.records[1].voices, "V3 V4 ");
  const auto quickLoad = [&](const std::string& bytes) {
    WriteText(slot, bytes);
    Do({"key F9"}, 300);
    Do({"click 330 210"}, 1500);
  };

  // From the game's end back to the "=" wait of page two.
  quickLoad(atEquals);
  ASSERT_EQ(s.state().waitKind, 2);
  ASSERT_EQ(ring.pageCounter, kPageRingSize);
  Do({"click 400 300"}, 1500);
  EXPECT_STREQ(ring.records[0].voices, "V1 V2 ");

  // From page three's "=" wait to the end of page two: page three is recorded anew, without
  // the voices of the older page its slot holds.
  Do({"click 400 300"}, 1500);
  ASSERT_EQ(s.state().waitKind, 2);
  quickLoad(atPageEnd);
  ASSERT_EQ(s.state().waitKind, 1);
  ASSERT_STREQ(ring.records[1].voices, "F ");
  Do({"click 400 300"}, 1500);
  EXPECT_STREQ(ring.records[1].voices, "V3 ");
}

TEST_F(BacklogTest, HiddenWindowShowsTheSceneUntilAClick) {
  Session& s = Play("!S028=1\n@gra S468\nあいう▼\n", 1500);
  const Surface withWindow = s.platform().LastFrame();
  Do({"key W"});
  EXPECT_EQ(s.state().screenMode, 1);
  EXPECT_TRUE(s.state().toolbarLocked);
  ExpectPicture(s.platform().LastFrame(), s.engine().Surfaces().sceneSurface, "hidden");
  ExpectPicture(s.engine().GameArea(), s.engine().Surfaces().sceneSurface, "hidden_area");
  Do({"click 400 300"});
  EXPECT_EQ(s.state().screenMode, 0);
  EXPECT_FALSE(s.state().toolbarLocked);
  EXPECT_EQ(s.state().waitKind, 1);  // the click only brought the window back
  ExpectPicture(s.platform().LastFrame(), withWindow, "shown_again");
}

TEST_F(BacklogTest, PanicPictureWithAndWithoutPanicBmp) {
  const auto redOverBlue = [](int, int y) { return y < 20 ? Rgb{200, 0, 0} : Rgb{0, 0, 200}; };
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> file;  // nullopt: no panic.bmp
    Rgb topLeft;
    Rgb lowerLeft;  // (5, 30)
  };
  std::vector<uint8_t> cut = MakeBmp(100, 40, 24, false, redOverBlue);
  cut.resize(cut.size() - 1);
  const Case cases[] = {
      {"24 bits bottom-up", MakeBmp(100, 40, 24, false, redOverBlue), {200, 0, 0}, {0, 0, 200}},
      {"8 bits top-down",
       MakeBmp(100, 40, 8, true,
               [](int, int y) {
                 return Rgb{uint8_t(y), 0, 0};
               }),
       {5, 0, 0},
       {30, 0, 0}},
      {"missing", std::nullopt, kBlack, kBlack},
      {"cut short", cut, kBlack, kBlack},
      {"not a bitmap", std::vector<uint8_t>{'P', 'K', 3, 4}, kBlack, kBlack},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(game_ / "panic.bmp");
    if (c.file) {
      WriteText(game_ / "panic.bmp", std::string(c.file->begin(), c.file->end()));
    }
    Session& s = Play("!S028=1\n@gra S468\nあいう▼\n", 1500, "RC_MODE=4\n");
    const Surface before = s.platform().LastFrame();
    Do({"click 400 300 right"});
    EXPECT_TRUE(s.state().panicActive);
    EXPECT_TRUE(s.state().busy);
    EXPECT_TRUE(s.engine().HiddenScreen().Muted());
    EXPECT_EQ(Shown(5, 5), c.topLeft);
    EXPECT_EQ(Shown(5, 30), c.lowerLeft);
    EXPECT_EQ(Shown(400, 300), kBlack);  // past the picture: black
    // While the panic is up the game takes no other input.
    Do({"key Backspace", "wheel 120"});
    EXPECT_FALSE(s.state().backlogOpen);
    Do({"click 400 300"});
    EXPECT_FALSE(s.state().panicActive);
    EXPECT_FALSE(s.state().busy);
    EXPECT_FALSE(s.state().toolbarLocked);
    EXPECT_FALSE(s.engine().HiddenScreen().Muted());
    EXPECT_EQ(s.state().waitKind, 1);
    ExpectPicture(s.platform().LastFrame(), before, "panic_left");
  }
}

TEST_F(BacklogTest, PanicOverTheHiddenWindowReturnsToIt) {
  Session& s = Play("!S028=1\n@gra S468\nあいう▼\n", 1500, "RC_MODE=4\n");
  const Surface withWindow = s.platform().LastFrame();
  Do({"key W", "key X"});
  ASSERT_TRUE(s.state().panicActive);
  EXPECT_EQ(PixelAt(s.engine().GameArea(), 400, 100), kBlack);
  Do({"click 400 300"});
  EXPECT_EQ(s.state().screenMode, 1);
  EXPECT_TRUE(s.state().toolbarLocked);
  ExpectPicture(s.platform().LastFrame(), s.engine().Surfaces().sceneSurface, "hidden_again");
  Do({"click 400 300"});
  EXPECT_EQ(s.state().screenMode, 0);
  ExpectPicture(s.platform().LastFrame(), withWindow, "window_again");
}

TEST(Bmp, DecodesTheUncompressedDepths) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int width, height;
    std::vector<std::pair<std::array<int, 2>, Rgb>> pixels;
  };
  // 1 and 4 bits: two-colour and sixteen-colour palettes, the first pixel in the high bits.
  auto paletted = [](int bits, std::vector<uint8_t> row) {
    const int colours = 1 << bits;
    std::vector<uint8_t> b(54 + colours * 4);
    b[0] = 'B', b[1] = 'M', b[10] = static_cast<uint8_t>(b.size()), b[14] = 40;
    b[18] = 3, b[22] = 1, b[26] = 1, b[28] = static_cast<uint8_t>(bits);
    for (int i = 0; i < colours; ++i) b[54 + i * 4 + 1] = static_cast<uint8_t>(i * 16);  // green
    row.resize(4);
    b.insert(b.end(), row.begin(), row.end());
    return b;
  };
  // The 12-byte header of the oldest bitmaps: 16-bit sizes, 3-byte palette entries.
  std::vector<uint8_t> core = {'B', 'M', 0, 0, 0, 0, 0, 0,  0, 0, 26, 0, 0, 0, 12, 0, 0,
                               0,   2,   0, 1, 0, 1, 0, 24, 0, 1, 2,  3, 4, 5, 6,  0, 0};
  std::vector<uint8_t> wide32 = MakeBmp(2, 1, 24, false, [](int x, int) {
    return x == 0 ? Rgb{10, 20, 30} : Rgb{40, 50, 60};
  });
  // The same pixels as 32 bits: blue, green, red and a spare byte each.
  wide32[28] = 32;
  wide32.resize(54);
  for (uint8_t v : {30, 20, 10, 255, 60, 50, 40, 255}) wide32.push_back(v);
  const Case cases[] = {
      {"1 bit", paletted(1, {0x80}), 3, 1, {{{0, 0}, {0, 16, 0}}, {{1, 0}, {0, 0, 0}}}},
      {"4 bits", paletted(4, {0x3A}), 3, 1, {{{0, 0}, {0, 48, 0}}, {{1, 0}, {0, 160, 0}}}},
      {"core header", core, 2, 1, {{{0, 0}, {3, 2, 1}}, {{1, 0}, {6, 5, 4}}}},
      {"32 bits", wide32, 2, 1, {{{0, 0}, {10, 20, 30}}, {{1, 0}, {40, 50, 60}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Surface out;
    std::string error;
    ASSERT_TRUE(DecodeBmp(c.bytes, out, &error)) << error;
    EXPECT_EQ(out.Width(), c.width);
    EXPECT_EQ(out.Height(), c.height);
    for (const auto& [at, colour] : c.pixels) EXPECT_EQ(PixelAt(out, at[0], at[1]), colour);
  }
}

TEST(Bmp, RefusesBrokenFilesAndLeavesThePictureAlone) {
  const auto good = MakeBmp(4, 4, 24, false, [](int, int) { return Rgb{1, 2, 3}; });
  const auto with = [&](size_t at, std::vector<uint8_t> bytes) {
    auto b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
  };
  auto cut = good;
  cut.pop_back();
  auto palette = MakeBmp(4, 4, 8, false, [](int, int) { return Rgb{1, 2, 3}; });
  palette.resize(100);  // the palette ends early
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"empty", {}},
      {"magic only", {'B', 'M'}},
      {"other magic", with(0, {'M', 'B'})},
      {"header size 20", with(14, {20})},
      {"run-length compressed", with(30, {1})},
      {"16 bits", with(28, {16})},
      {"zero width", with(18, {0})},
      {"width past 4096", with(18, {0x01, 0x10})},
      {"the tallest negative height", with(22, {0, 0, 0, 0x80})},
      {"pixel offset past the end", with(10, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"pixels cut short", cut},
      {"palette cut short", palette},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Surface out(3, 3);
    out.Fill(9, 9, 9);
    std::string error;
    EXPECT_FALSE(DecodeBmp(bytes, out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(out.Width(), 3);
    EXPECT_EQ(PixelAt(out, 1, 1), (Rgb{9, 9, 9}));
  }
}

}  // namespace
}  // namespace zorvel::test
