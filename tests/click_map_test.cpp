// Click maps, switch blocks, the map cursors and the parameter meter played through fixture
// games: every hotspot kind with the pixels its highlight shows and takes back, disabled
// entries, the timeout, both buttons, the edges of a colour key's range, a map name the map
// script lacks, `switch` with and without names, the meter's image choice and `chgprm`'s blinks,
// and a game saved while a map waits.
#include "ui/click_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/variable_banks.h"
#include "fixture.h"
#include "graphics/ani_cursor.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\nNP_SZ_X:200\nNP_SZ_Y:32\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kGround = {20, 40, 60};
constexpr Rgb kLit = {10, 200, 10};
constexpr Rgb kLitPiece = {200, 10, 200};
constexpr Rgb kPiece = {200, 200, 10};
constexpr Rgb kPlainParts = {90, 90, 200};

// The map's four kinds; the colour entry reacts to red 240-255 with green and blue below 16.
constexpr char kMapScript[] =
    ":OTHER\n1\n*Elsewhere,0,0,10,10\n"
    ":AREA\n4\n*Lit,100,100,200,200\n#Piece,300,100,400,200,600,500,650,550,310,210\n"
    "Plain,500,100,600,200\n$F00,3\n";

// The parts picture: each area lit in its own colour, the piece in the lower right, and blocks
// of colours at the edges of the colour key's range from x 700.
Surface Parts() {
  Surface s = Solid(800, 600, 0, 0, 0);
  s.FillRect(100, 100, 100, 100, kLit[0], kLit[1], kLit[2]);
  s.FillRect(300, 100, 100, 100, kLitPiece[0], kLitPiece[1], kLitPiece[2]);
  s.FillRect(500, 100, 100, 100, kPlainParts[0], kPlainParts[1], kPlainParts[2]);
  s.FillRect(600, 500, 50, 50, kPiece[0], kPiece[1], kPiece[2]);
  const Rgb keys[] = {{240, 0, 0}, {255, 15, 15}, {239, 0, 0}, {240, 16, 0}, {240, 0, 16}};
  for (int i = 0; i < 5; ++i)
    s.FillRect(700, 300 + 20 * i, 100, 20, keys[i][0], keys[i][1], keys[i][2]);
  return s;
}

// Meter image k: its colour half filled with (k * 20, 100, 50), the mask half opaque.
Surface MeterPicture() {
  Surface s(240, 95 * 11);
  for (int k = 0; k < 11; ++k) {
    s.FillRect(0, 95 * k, 120, 95, static_cast<uint8_t>(k * 20), 100, 50);
    s.FillRect(120, 95 * k, 120, 95, 255, 255, 255);
  }
  return s;
}

CursorFrame Frame(uint32_t argb) {
  CursorFrame f;
  f.width = f.height = 16;
  f.argb.assign(256, argb);
  return f;
}

class ClickMapTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, uint32_t ms = 1500,
                const std::string& mapScript = kMapScript) {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}, {"map", mapScript}});
    WritePictures(game_ / "vx_gra.kpz",
                  {{"A001", Solid(800, 600, kGround[0], kGround[1], kGround[2])},
                   {"PARTS", Parts()},
                   {"PARTS2", Solid(800, 600, 250, 250, 250)},
                   {"sys_meter", MeterPicture()}});
    std::filesystem::create_directories(game_ / "icon");
    std::vector<uint8_t> ani;
    std::string error;
    EXPECT_TRUE(WriteAniCursor({Frame(0xFFFF0000u), Frame(0xFF0000FFu)}, 6, ani, error));
    std::ofstream(game_ / "icon/MSCUR03.ani", std::ios::binary)
        .write(reinterpret_cast<const char*>(ani.data()), static_cast<std::streamsize>(ani.size()));
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n");
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  const ClickMap& Map() { return session_->engine().Map(); }
  int32_t V(int n) { return session_->state().vars.V[static_cast<size_t>(n)]; }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // Masked drawing through an opaque mask may be one off in a channel.
  static bool Near(Rgb a, Rgb b) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(a[i] - b[i]) > 2) return false;
    }
    return true;
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

constexpr char kAreaMap[] =
    "@gra A001\n@partsload PARTS\n@clickmap area\n{\n!V010=1\n{\n!V010=2\n{\n!V010=3\n"
    "{\n!V010=4\n}\n!V002=7\n@sleep -1\n";

TEST_F(ClickMapTest, HotspotKindsShowAndTakeBackTheirHighlight) {
  Session& s = Play(kAreaMap);
  ASSERT_EQ(s.state().interactionMode, 4);
  ASSERT_EQ(Map().Count(), 4);
  EXPECT_EQ(SjisToUtf8(Map().Entry(1).name), "#Piece");
  EXPECT_EQ(s.engine().MapCursors().LoadedCursors(), std::vector<int>{3});

  // "*": the parts picture's rectangle, then the screen again.
  Do({"move 150 150"});
  EXPECT_EQ(Map().Highlighted(), 1);
  EXPECT_EQ(Shown(150, 150), kLit);
  EXPECT_EQ(Shown(101, 101), kLit);
  EXPECT_EQ(Shown(99, 150), kGround);
  Do({"move 50 50"});
  EXPECT_EQ(Map().Highlighted(), 0);
  EXPECT_EQ(Shown(150, 150), kGround);
  EXPECT_EQ(Shown(101, 101), kGround);

  // "#": the rectangle and the piece at its place; leaving restores only the label box, the
  // 24 rows around the middle as wide as the name.
  Do({"move 350 150"});
  EXPECT_EQ(Map().Highlighted(), 2);
  EXPECT_EQ(Shown(350, 150), kLitPiece);
  EXPECT_EQ(Shown(310, 210), kPiece);
  EXPECT_EQ(Shown(359, 259), kPiece);
  EXPECT_EQ(Shown(360, 260), kGround);
  const MapEntry& piece = Map().Entry(1);
  EXPECT_EQ(piece.labelTop, 138);
  EXPECT_EQ(piece.labelRight - piece.labelLeft > 32, true);
  Do({"move 50 50"});
  EXPECT_EQ(Shown(350, 150), kGround);
  EXPECT_EQ(Shown(350, 137), kLitPiece);
  EXPECT_EQ(Shown(310, 210), kPiece);

  // A plain rectangle highlights without showing anything.
  Do({"move 550 150"});
  EXPECT_EQ(Map().Highlighted(), 3);
  EXPECT_EQ(Shown(550, 150), kGround);

  // The colour key and its cursor, at the edges of its range.
  struct Case {
    int y;
    int entry;
  };
  const Case cases[] = {{310, 4}, {330, 4}, {350, 0}, {370, 0}, {390, 0}};
  for (const Case& c : cases) {
    Do({"move 750 " + std::to_string(c.y)});
    EXPECT_EQ(Map().Highlighted(), c.entry) << c.y;
    EXPECT_EQ(s.engine().MapCursors().MapCursor(), c.entry == 4 ? 3 : 0) << c.y;
    EXPECT_EQ(s.platform().ShownCursor(), c.entry == 4 ? 32 : 0) << c.y;
  }
  const std::string dump = s.engine().DumpState(0);
  EXPECT_NE(dump.find("\"mapCursors\":[3]"), std::string::npos);
  EXPECT_NE(dump.find("\"mapCursor\":0"), std::string::npos);

  // Enter, a left press where the pointer is, takes the colour area: the choice sound, the arrow
  // back.
  Do({"move 750 310", "key Enter"}, 500);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_EQ(V(10), 4);
  EXPECT_EQ(V(2), 7);
  EXPECT_EQ(s.engine().ChoiceList().LastSound(), "SSE01");
  EXPECT_EQ(s.platform().ShownCursor(), 0);
}

TEST_F(ClickMapTest, DisabledEntriesKeepTheirPlaceAndARightClickChooses) {
  Session& s = Play(
      "!V001=1\n@gra A001\n@partsload PARTS,PARTS2\n@clickmap AREA\n{(V001=0)\n!V010=1\n"
      "{(V001=1)*Renamed\n!V010=2\n}\n@sleep -1\n");
  ASSERT_EQ(s.state().interactionMode, 4);
  EXPECT_FALSE(Map().Entry(0).enabled);
  EXPECT_TRUE(Map().Entry(1).enabled);
  // The replaced name changes the kind: "*" restores its whole rectangle.
  EXPECT_EQ(SjisToUtf8(Map().Entry(1).name), "*Renamed");
  Do({"move 150 150"});
  EXPECT_EQ(Map().Highlighted(), 0);
  Do({"click 150 150 right"}, 300);
  EXPECT_EQ(s.state().interactionMode, 4);
  Do({"move 350 150"});
  EXPECT_EQ(Map().Highlighted(), 2);
  EXPECT_EQ(Shown(310, 210), kGround);  // no piece any more
  Do({"click 350 150 right"}, 300);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_EQ(V(10), 2);
  // The second parts picture shows the chosen rectangle, on the window and the screen alike.
  EXPECT_EQ(Shown(350, 150), (Rgb{250, 250, 250}));
  EXPECT_EQ(Shown(150, 150), kGround);
  EXPECT_EQ(s.state().vars.S[15], 0);
}

TEST_F(ClickMapTest, TheTimeoutBranchRunsAfterItsTicksWithoutAClick) {
  Session& s = Play(
      "@gra A001\n@partsload PARTS\n@clickmap AREA\n{\n!V010=1\n{\n!V010=2\n{\n!V010=3\n"
      "{\n!V010=4\n{@5\n!V010=5\n}\n@sleep -1\n",
      200);
  ASSERT_EQ(s.state().interactionMode, 4);
  EXPECT_EQ(Map().TimeoutEntry(), 5);
  EXPECT_EQ(Map().Count(), 5);
  const int left = Map().TimeoutTicks();
  EXPECT_GT(left, 95);
  EXPECT_LE(left, 100);
  for (int i = 0; i < left - 1; ++i) s.engine().Timer1Timer();
  EXPECT_EQ(s.state().interactionMode, 4);
  s.engine().Timer1Timer();
  EXPECT_EQ(s.state().interactionMode, 0);
  s.RunFor(200);
  EXPECT_EQ(V(10), 5);
  EXPECT_EQ(Map().TimeoutTicks(), 0);
  // The whole wait in game time: 100 ticks of 55 ms.
  Play("@gra A001\n@partsload PARTS\n@clickmap AREA\n{\n{\n{\n{\n{@5\n!V010=5\n}\n@sleep -1\n",
       5400);
  EXPECT_EQ(session_->state().interactionMode, 4);
  session_->RunFor(300);
  EXPECT_EQ(V(10), 5);
}

TEST_F(ClickMapTest, AMissingMapNameIsRefusedAndTheScriptGoesOnAfterTheBranches) {
  testing::internal::CaptureStderr();
  Session& s = Play("!V001=1\n@clickmap NOWHERE\n{\n!V010=1\n}\n!V002=7\n@sleep -1\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("clickmap NOWHERE at line 2"), std::string::npos) << err;
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_EQ(V(10), 0);
  EXPECT_EQ(V(2), 7);

  // A count above 32 reads 32 entries.
  std::string big = ":BIG\n40\n";
  for (int i = 0; i < 40; ++i)
    big += "*E" + std::to_string(i) + "," + std::to_string(i) + ",0,10,10\n";
  Play("@clickmap BIG\n{\n}\n@sleep -1\n", 500, big);
  EXPECT_EQ(Map().Count(), 32);
  EXPECT_EQ(SjisToUtf8(Map().Entry(31).name), "*E31");
}

TEST_F(ClickMapTest, SwitchPicksTheFirstTrueCaseOrTheDefault) {
  const std::string unnamed =
      "@switch\n{(V010>5)\n!V020=1\n{(V010>2)\n!V020=2\n{\n!V020=3\n}\n!V021=1\n@sleep -1\n";
  const std::string noDefault =
      "@switch\n{(V010>5)\n!V020=1\n{(V010>2)\n!V020=2\n}\n!V021=1\n@sleep -1\n";
  // A named block nested in a case of an unnamed one, and a case line of another name.
  const std::string nested =
      "@switch\n{(V010>2)\n@switch INNER\n{:INNERX\n!V022=9\n{:INNER(V010>5)\n!V022=1\n"
      "{:INNER\n!V022=2\n}:INNER\n!V023=1\n{\n!V020=3\n}\n!V021=1\n@sleep -1\n";
  struct Case {
    const std::string& script;
    int v010;
    int v020, v021, v022, v023;
  };
  const Case cases[] = {
      {unnamed, 4, 2, 1, 0, 0},   {unnamed, 9, 1, 1, 0, 0}, {unnamed, 0, 3, 1, 0, 0},
      {noDefault, 0, 0, 1, 0, 0}, {nested, 9, 0, 1, 1, 1},  {nested, 4, 0, 1, 2, 1},
      {nested, 0, 3, 1, 0, 0},
  };
  for (const Case& c : cases) {
    Session& s = Play("!V010=" + std::to_string(c.v010) + "\n" + c.script, 500);
    EXPECT_EQ(V(20), c.v020) << c.script << c.v010;
    EXPECT_EQ(V(21), c.v021) << c.script << c.v010;
    EXPECT_EQ(V(22), c.v022) << c.script << c.v010;
    EXPECT_EQ(V(23), c.v023) << c.script << c.v010;
    (void)s;
  }
}

TEST_F(ClickMapTest, MapTurnsTheWindowOffAndASavedMapResumesAtItsLine) {
  Session& s = Play(
      "!S000=0\n!S028=1\nひとこと▼\n@map\n@gra A001\n@partsload PARTS\n!V001=V001+1\n"
      "@clickmap AREA\n{\n!V010=1\n}\nおわり▼\n",
      300);
  Do({"click 400 300"}, 800);
  ASSERT_EQ(s.state().interactionMode, 4);
  EXPECT_FALSE(s.state().textWindowOn);
  EXPECT_EQ(V(1), 1);
  Do({"key F12"}, 2500);
  ASSERT_TRUE(std::filesystem::exists(game_ / "save/save99.dat"));
  Do({"move 150 150", "click 150 150"}, 500);
  EXPECT_EQ(V(10), 1);
  EXPECT_EQ(s.state().interactionMode, 0);
  // Loaded, the map's own line runs again: the map waits once more, the lines before it stay.
  Do({"key F9"}, 400);
  Do({"click 330 210"}, 3000);
  EXPECT_EQ(s.state().interactionMode, 4);
  EXPECT_TRUE(Map().Waiting());
  EXPECT_EQ(V(1), 1);
  Do({"move 150 150", "click 150 150"}, 500);
  EXPECT_EQ(s.state().interactionMode, 0);
}

// The meter -----------------------------------------------------------------------------------

Rgb MeterColour(int k) {
  return {static_cast<uint8_t>(k * 20), 100, 50};
}

TEST_F(ClickMapTest, TheMeterShowsTheImageOfItsValueAndImageZeroOutsideTheRange) {
  struct Case {
    int value;
    int image;
  };
  const Case cases[] = {{0, 0}, {5, 5}, {10, 10}, {11, 0}, {12, 0}, {-1, 0}};
  for (const Case& c : cases) {
    Session& s = Play("!V800=3\n!V803=" + std::to_string(c.value) +
                          "\n!S004=1\n@gra A001\nひとこと▼\n@sleep -1\n",
                      1500);
    EXPECT_EQ(s.engine().MapCursors().MeterShown(), c.image) << c.value;
    EXPECT_TRUE(Near(Shown(700, 50), MeterColour(c.image))) << c.value;
    EXPECT_EQ(Shown(669, 50), kGround) << c.value;
  }
  // Switched off, or no variable chosen: nothing is drawn.
  for (const std::string& off :
       {std::string("!V800=3\n!S004=0\n"), std::string("!V800=0\n!S004=1\n")}) {
    Session& s = Play(off + "!V803=5\n@gra A001\nひとこと▼\n@sleep -1\n", 1500);
    EXPECT_EQ(s.engine().MapCursors().MeterShown(), 0) << off;
    EXPECT_EQ(Shown(700, 50), kGround) << off;
  }
}

TEST_F(ClickMapTest, ChgprmBlinksFiveTimesOnTheFrameClockAndThenRests) {
  Session& s = Play(
      "!V800=3\n!V803=2\n!S004=1\n@gra A001\nひとこと▼\n!V803=5\n@chgprm\n!V804=1\n@chgprm\n"
      "!V805=1\n@sleep -1\n",
      1500);
  ASSERT_EQ(s.engine().MapCursors().MeterShown(), 2);
  std::vector<Rgb> seen{Shown(700, 50)};
  std::vector<uint32_t> when{s.platform().Ticks()};
  s.platform().SetPresentHook([&] {
    const Rgb now = Shown(700, 50);
    if (!Near(seen.back(), now)) {
      seen.push_back(now);
      when.push_back(s.platform().Ticks());
    }
  });
  Do({"click 400 300"}, 2000);
  s.platform().SetPresentHook([] {});
  // Shown 2, then 5 and 2 in turn, ending on 5: nine changes 100 ms apart.
  ASSERT_EQ(seen.size(), 10u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_TRUE(Near(seen[i], MeterColour(i % 2 == 0 ? 2 : 5))) << i;
  }
  EXPECT_EQ(when.back() - when[1], 800u);
  EXPECT_EQ(V(803), 5);
  EXPECT_EQ(V(804), 1);
  EXPECT_EQ(V(805), 1);  // the second chgprm found nothing changed
  EXPECT_EQ(s.engine().MapCursors().MeterShown(), 5);

  // A value the meter cannot show blinks to image 0 and stays what the script made it.
  Session& t = Play(
      "!V800=3\n!V803=2\n!S004=1\n@gra A001\nひとこと▼\n!V803=12\n@chgprm\n!V805=1\n"
      "@sleep -1\n",
      1500);
  Do({"click 400 300"}, 2000);
  EXPECT_EQ(V(805), 1);
  EXPECT_EQ(V(803), 12);
  EXPECT_EQ(t.engine().MapCursors().MeterShown(), 0);
  EXPECT_TRUE(Near(Shown(700, 50), MeterColour(0)));
}

}  // namespace
}  // namespace zorvel::test
