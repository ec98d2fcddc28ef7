// The choice list of `select` played through fixture games: the window-mode boxes and the
// novel-mode plates, the highlight under the pointer and its edges, conditional and
// string-variable choices, the text limit, the sounds, the choice log and its replay, the
// Up and Down keys, a list with nothing to choose, and golden pictures of both layouts.
#include "ui/choices.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/variable_banks.h"
#include "fixture.h"
#include "platform/png_reader.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\nNP_SZ_X:200\nNP_SZ_Y:32\n"
    "MOJI_MAX2_X:60\nMOJI_MAX2_Y:16\nTX2_OFS_X:40\nTX2_OFS_Y:40\nTX2_PITCH_X:12\n"
    "TX2_PITCH_Y:36\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kBox = {40, 70, 150};
constexpr Rgb kLitBox = {230, 150, 40};
constexpr Rgb kPlate = {60, 60, 70};
constexpr Rgb kLitPlate = {150, 40, 90};

// A picture of colour above its mask: a filled body with a lighter rim, fully opaque.
Surface Stacked(int width, int height, Rgb body) {
  Surface s(width, height * 2);
  s.FillRect(0, 0, width, height, static_cast<uint8_t>(std::min(255, body[0] + 80)),
             static_cast<uint8_t>(std::min(255, body[1] + 80)),
             static_cast<uint8_t>(std::min(255, body[2] + 80)));
  s.FillRect(3, 3, width - 6, height - 6, body[0], body[1], body[2]);
  s.FillRect(0, height, width, height, 255, 255, 255);
  return s;
}

class ChoicesTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, uint32_t ms = 1500, const std::string& settings = "") {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    WritePictures(game_ / "vx_gra.kpz", {{"sys_sw", Stacked(410, 50, kBox)},
                                         {"sys_sw2", Stacked(410, 50, kLitBox)},
                                         {"sys_sw_m1", Stacked(500, 32, kPlate)},
                                         {"sys_sw_m1om", Stacked(500, 32, kLitPlate)},
                                         {"A001", EveningScene()}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  // Events in the events-file format without times: each happens after the one before.
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  const Choices& List() { return session_->engine().ChoiceList(); }
  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (int i = 0; i < List().Count(); ++i) out.push_back(SjisToUtf8(List().Text(i)));
    return out;
  }
  int32_t V(int n) { return session_->state().vars.V[static_cast<size_t>(n)]; }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  static bool Near(Rgb a, Rgb b) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(a[i] - b[i]) > 2) return false;
    }
    return true;
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

constexpr char kTwoWays[] =
    "@gra A001\n@select\n{Go north\n!V001=1\n{Go south\n!V001=2\n}\n!V002=7\n@sleep -1\n";

TEST_F(ChoicesTest, WindowListGeometryHoverEdgesAndTheTakenBranch) {
  Session& s = Play(kTwoWays);
  ASSERT_EQ(s.state().interactionMode, 1);
  ASSERT_EQ(Texts(), (std::vector<std::string>{"Go north", "Go south"}));
  EXPECT_EQ(List().BoxTop(), 184);
  EXPECT_EQ(List().BoxWidth(), 410);
  EXPECT_EQ(List().BoxLeft(), 195);
  EXPECT_EQ(List().LastSound(), "SSE02");
  // Both boxes drawn plainly over the scene; nothing below them.
  EXPECT_TRUE(Near(Shown(250, 194), kBox));
  EXPECT_TRUE(Near(Shown(250, 244), kBox));
  EXPECT_FALSE(Near(Shown(250, 294), kBox));

  struct Case {
    int x, y, entry;
  };
  const Case cases[] = {
      {195, 200, 0}, {196, 200, 1}, {603, 200, 1}, {604, 200, 0}, {300, 184, 0},
      {300, 185, 1}, {300, 233, 1}, {300, 234, 2}, {300, 283, 2}, {300, 284, 0},
  };
  for (const Case& c : cases) {
    Do({"move " + std::to_string(c.x) + " " + std::to_string(c.y)});
    EXPECT_EQ(List().Current(), c.entry) << c.x << "," << c.y;
  }
  Do({"move 300 250"});
  EXPECT_TRUE(Near(Shown(250, 244), kLitBox));
  EXPECT_TRUE(Near(Shown(250, 194), kBox));

  // A click beside the list chooses nothing; one on the second box runs its branch only.
  Do({"click 604 250"}, 500);
  EXPECT_EQ(s.state().interactionMode, 1);
  Do({"click 300 250"}, 1500);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_EQ(V(1), 2);
  EXPECT_EQ(V(2), 7);
  EXPECT_EQ(List().LastSound(), "SSE01");
  EXPECT_EQ(s.state().vars.S[kBacktoPos], 0);
  // The scene under the list is back.
  EXPECT_FALSE(Near(Shown(250, 244), kBox));
  EXPECT_FALSE(Near(Shown(250, 244), kLitBox));
}

TEST_F(ChoicesTest, ConditionsAndStringVariablesLeaveNoGaps) {
  const std::string script =
      "!F012={F}\n@string 3 Hello there\n@select\n{(F012=1)Go back\n!V001=1\n{$3\n!V001=2\n"
      "{Stay(V002=0) here\n!V001=3\n{$x\n!V001=4\n}\n@sleep -1\n";
  struct Case {
    const char* flag;
    std::vector<std::string> texts;
    int32_t firstBranch;  // V001 after the first entry is taken
  };
  const Case cases[] = {
      {"0", {"Hello there", "Stay here", "Hi"}, 2},
      {"1", {"Go back", "Hello there", "Stay here", "Hi"}, 1},
  };
  for (const Case& c : cases) {
    std::string text = script;
    text.replace(text.find("{F}"), 3, c.flag);
    // "$x" counts as string variable 0, the player's name.
    Session& s = Play(text, 1500, "PlayerName=Hi\n");
    EXPECT_EQ(Texts(), c.texts) << c.flag;
    const int y = List().BoxTop() + 25;
    Do({"click 300 " + std::to_string(y)}, 1500);
    EXPECT_EQ(V(1), c.firstBranch) << c.flag;
    EXPECT_EQ(s.state().interactionMode, 0);
  }
}

TEST_F(ChoicesTest, TextsOfSixtyFourBytesAtMost) {
  const std::string b63(63, 'b');
  const std::string script = "@select\n{" + std::string(64, 'a') + "\n{" + b63 + "c(V001=0)\n{" +
                             std::string(65, 'd') + "\n{" + b63 + "あ\n{" + b63 + "(V001=0)e\n{" +
                             b63 + "(V001=0)ef\n{short\n}\n@sleep -1\n";
  Play(script);
  // A condition takes no room in the text; what follows it does.
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{std::string(64, 'a'), b63 + "c", b63 + "e", "short"}));
}

TEST_F(ChoicesTest, ChoiceSoundFollowsStringVariablesSevenAndEight) {
  struct Case {
    std::string setup;
    std::string sound;
  };
  const Case cases[] = {
      {"", "SSE01"},
      {"@string 8 CHIME\n", "SSE01"},
      {"@string 7 on\n@string 8 CHIME\n", "CHIME"},
  };
  for (const Case& c : cases) {
    Play(c.setup + "@select\n{One\n{Two\n}\n@sleep -1\n");
    EXPECT_EQ(List().LastSound(), "SSE02");
    Do({"click 300 " + std::to_string(List().BoxTop() + 10)}, 1000);
    EXPECT_EQ(List().LastSound(), c.sound) << c.setup;
  }
}

TEST_F(ChoicesTest, RecordedChoicesReplayByThemselves) {
  const std::string scene =
      "@select\n{A\n!T0100=1\n{B\n!T0101=1\n}\n@select\n{C\n!T0102=1\n{D\n!T0103=1\n}\n";
  Session& s = Play("@rec\n" + scene + "@sleep -1\n!S151=2\n@rec\n!T0100=0\n!T0101=0\n!T0102=0\n" +
                    "!T0103=0\n" + scene + "@sleep -1\n");
  ASSERT_EQ(List().BoxTop(), 184);
  Do({"click 300 250"}, 1500);  // B
  Do({"click 300 200"}, 1500);  // C
  auto& S = s.state().vars.S;
  EXPECT_EQ(S[kRecording], 1);
  EXPECT_EQ(S[kRecording2], 2);
  EXPECT_EQ(List().Log()[0], 2);
  EXPECT_EQ(List().Log()[1], 1);
  EXPECT_TRUE(s.state().vars.T.Test(101) && s.state().vars.T.Test(102));

  // The replay takes both without a click (fourteen 100 ms blinks each) and then records on
  // from where it ended, the replayed choices not written twice.
  Do({"click 5 5"}, 4000);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_TRUE(s.state().vars.T.Test(101));
  EXPECT_TRUE(s.state().vars.T.Test(102));
  EXPECT_FALSE(s.state().vars.T.Test(100) || s.state().vars.T.Test(103));
  EXPECT_EQ(S[kRecording], 1);
  EXPECT_EQ(S[kRecording2], 2);
  EXPECT_EQ(S[kRecording3], 2);
}

TEST_F(ChoicesTest, ANovelModeReplayEndsWithoutLoggingItsLastChoiceAgain) {
  // A novel-mode list is not taken by the replay: the player chooses, and at the log's last
  // entry the replay has already gone back to recording.
  const std::string scene = "@select\n{A\n!T0100=1\n{B\n!T0101=1\n}\n";
  Session& s = Play("!S150=1\n@rec\n" + scene + "@sleep -1\n!S151=2\n@rec\n!T0101=0\n" + scene +
                    "@sleep -1\n");
  ASSERT_EQ(s.state().interactionMode, 2);
  Do({"click 400 90"}, 1000);  // B, the second plate
  auto& S = s.state().vars.S;
  ASSERT_EQ(S[kRecording2], 1);
  ASSERT_EQ(List().Log()[0], 2);

  Do({"click 5 5"}, 1000);
  ASSERT_EQ(s.state().interactionMode, 2);
  EXPECT_EQ(S[kRecording], 1);
  Do({"click 400 90"}, 1000);
  EXPECT_TRUE(s.state().vars.T.Test(101));
  // One list, one entry: a later replay of the scene must not find a choice too many.
  EXPECT_EQ(S[kRecording2], 1);
  EXPECT_EQ(List().Log()[1], 0);
}

TEST_F(ChoicesTest, ReplayOutsideTheLogFallsBackToThePlayer) {
  Session& s = Play("!S151=2\n!S152=5\n!S153=4000\n@select\n{One\n!V001=1\n}\n@sleep -1\n");
  EXPECT_EQ(s.state().interactionMode, 1);
  EXPECT_EQ(s.state().vars.S[kRecording], 1);
  Do({"click 300 " + std::to_string(List().BoxTop() + 10)}, 1000);
  EXPECT_EQ(V(1), 1);
}

TEST_F(ChoicesTest, SkippingStopsAtTheListOnlyWhenThePlayerAskedForIt) {
  for (const int breakOnSelect : {1, 0}) {
    Session& s = Play("@sleep -1\n@select\n{One\n}\n@sleep -1\n", 100,
                      "BreakonSelect=" + std::to_string(breakOnSelect) + "\n");
    s.state().sleepCount = 0;
    s.state().skipMode = 1;
    s.RunFor(500);
    EXPECT_EQ(s.state().interactionMode, 1);
    EXPECT_EQ(s.state().skipMode, breakOnSelect ? 0 : 1) << breakOnSelect;
  }
}

TEST_F(ChoicesTest, UpAndDownPutThePointerOnTheBoxes) {
  Session& s = Play("@select\n{One\n{Two\n{Three\n}\n@sleep -1\n");
  ASSERT_EQ(List().BoxTop(), 159);
  // Right edge less 7, row middle: x 598, y 159 + 31 + 50 row.
  const std::vector<std::pair<std::string, std::pair<int, int>>> steps = {
      {"Down", {598, 290}},  // nothing lit: the last box
      {"Up", {598, 240}},   {"Up", {598, 190}}, {"Up", {598, 190}}, {"Down", {598, 240}},
  };
  const std::vector<int> lit = {3, 2, 1, 1, 2};
  for (size_t i = 0; i < steps.size(); ++i) {
    Do({"key " + steps[i].first});
    ASSERT_FALSE(s.platform().PointerWarps().empty());
    EXPECT_EQ(s.platform().PointerWarps().back(), steps[i].second) << i;
    EXPECT_EQ(List().Current(), lit[i]) << i;
  }
  Do({"key Enter"}, 1000);
  EXPECT_EQ(s.state().interactionMode, 0);
}

TEST_F(ChoicesTest, AListWithNothingToChooseSaysWhereAndKeepsTheWayOut) {
  testing::internal::CaptureStderr();
  Session& s = Play("!V005=3\n\n@select\n{(F001=1)Never\n}\nafter\n@sleep -1\n");
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("select at line 3 of script \"main\" offers no choice"), std::string::npos)
      << log;
  EXPECT_EQ(s.state().interactionMode, 1);
  EXPECT_EQ(List().Count(), 0);
  EXPECT_FALSE(s.state().busy);
  // Clicks and keys choose nothing and break nothing; the right button still opens the menu.
  Do({"click 400 234", "key Down", "key Up"});
  EXPECT_EQ(s.state().interactionMode, 1);
  EXPECT_TRUE(s.platform().PointerWarps().empty());
  const std::string shot = game_ / "menu.png";
  const uint32_t t = s.platform().Ticks();
  s.Events(std::to_string(t + 100) + " click 300 300 right\n" + std::to_string(t + 200) +
           " screenshot " + shot + "\n" + std::to_string(t + 300) + " key Escape\n");
  s.RunFor(500);
  Surface menu;
  const auto bytes = ReadText(shot);
  ASSERT_TRUE(
      ReadPng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, menu, nullptr));
  // The menu opens to the right of the pointer over the black game area.
  EXPECT_NE(PixelAt(menu, 340, 310), (Rgb{0, 0, 0}));
  EXPECT_EQ(s.state().interactionMode, 1);
}

TEST_F(ChoicesTest, NovelModePlatesFollowTheText) {
  Session& s = Play(
      "@gra A001\n@mode 1\nその夜。\n@select\n{Wait\n!V001=1\n{Leave\n!V001=2\n}\n"
      "@sleep -1\n",
      2500);
  ASSERT_EQ(s.state().interactionMode, 2);
  // One row of text above: the plates take rows 1 and 2, at 1 x 36 + 40 and 2 x 36 + 40.
  EXPECT_TRUE(Near(Shown(200, 85), kPlate));
  EXPECT_TRUE(Near(Shown(200, 117), kPlate));
  const int shownRow = s.state().textRow;
  EXPECT_EQ(shownRow, 1);
  struct Case {
    int x, y, entry;
  };
  const Case cases[] = {{150, 90, 0}, {151, 90, 1},  {649, 90, 1},  {650, 90, 0},  {300, 76, 0},
                        {300, 77, 1}, {300, 107, 1}, {300, 108, 0}, {300, 112, 0}, {300, 113, 2}};
  for (const Case& c : cases) {
    Do({"move " + std::to_string(c.x) + " " + std::to_string(c.y)});
    EXPECT_EQ(List().Current(), c.entry) << c.x << "," << c.y;
  }
  EXPECT_TRUE(Near(Shown(200, 117), kLitPlate));
  Do({"click 300 125"}, 1000);
  EXPECT_EQ(V(1), 2);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_FALSE(Near(Shown(200, 117), kLitPlate));
}

// Glyph rendering may move a grey level by a step between builds, hence the tolerance.
TEST_F(ChoicesTest, GoldenWindowAndNovelLists) {
  Play(
      "@gra A001\n>あおい\n「どっちへ行こうか」\n@select\n{北の森へ行く\n{南の海へ行く\n{"
      "ここで待つ\n}\n",
      2500);
  Do({"move 400 215"});
  ExpectGolden(session_->platform().LastFrame(), "choice_window", 8);

  Play(
      "@gra A001\n@mode 1\n――その夜、ふたりは分かれ道に立っていた。\n@select\n{右の道\n{"
      "左の道\n}\n",
      2500);
  Do({"move 400 125"});
  ExpectGolden(session_->platform().LastFrame(), "choice_novel", 8);
}

}  // namespace
}  // namespace zorvel::test
