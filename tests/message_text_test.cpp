// Message text played through fixture games: where characters land on the page (the name line,
// the wrap column and the characters that may hang past it, the indent after 「), spacing, the
// speaker and tag colours, wrapped rows in the history, the page drawn again by a screen update,
// novel mode and the click-wait icon; and word wrap, which keeps words of half-width letters
// whole on a row.
#include "text/message_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "fixture.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kLayout[] =
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\n"
    "NP_SZ_X:200\nNP_SZ_Y:32\nMOJI_MAX2_X:60\nMOJI_MAX2_Y:16\nTX2_OFS_X:40\nTX2_OFS_Y:40\n"
    "TX2_PITCH_X:12\nTX2_PITCH_Y:32\nNAME:1,あおい,F80\nNAME:2,ゆうき,\n";

class Text : public ::testing::Test {
 protected:
  Session& Play(const std::string& script, uint32_t ms = 3000,
                const std::string& extraConfig = "") {
    WriteGame(game_.Path(), {{"main", script}, {"_config", kLayout + extraConfig}});
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->state().skipMode = 0;
    session_->RunFor(ms);
    return *session_;
  }
  // The column of the first byte of the first character on a row, or -1.
  int FirstColumn(int row) {
    for (int c = 0; c < kPageColumns; ++c) {
      if (session_->state().pageText[row][c] != 0) return c;
    }
    return -1;
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(Text, WindowModePlacementAndIndent) {
  // 20 full-width characters fill columns 2 to 41 of line 1.
  const std::string twenty = "あいうえおかきくけこさしすせそたちつてと";
  struct Case {
    std::string line;
    std::vector<std::pair<int, int>> firstColumns;  // row, column
    int32_t indent;
  };
  const Case cases[] = {
      {"あ▼", {{1, 2}}, 0},
      {"「" + twenty + "な▼", {{1, 2}, {2, 4}}, 1},
      {"（" + twenty + "な▼", {{1, 2}, {2, 4}}, 1},
      {twenty + "な▼", {{1, 2}, {2, 2}}, 0},
  };
  for (const Case& c : cases) {
    Session& s = Play(c.line + "\n");
    for (const auto& [row, column] : c.firstColumns) {
      EXPECT_EQ(FirstColumn(row), column) << c.line << " row " << row;
    }
    EXPECT_EQ(s.state().vars.S[kHangingIndent], c.indent) << c.line;
  }
}

TEST_F(Text, LineStartCharactersHangPastTheWrapColumn) {
  // 19 characters reach column 40; the twentieth arrives there.
  const std::string nineteen = "あいうえおかきくけこさしすせそたちつて";
  struct Case {
    std::string tail;
    int row2Column;  // first column of line 2, -1 when empty
    std::string row1End;
  };
  const Case cases[] = {
      {"、", -1, "て、"},   // hangs at column 40
      {"な", 2, "て"},      // wraps
      {"、。", 2, "て、"},  // the second arrives at column 42 and wraps
  };
  for (const Case& c : cases) {
    Session& s = Play(nineteen + c.tail + "▼\n");
    EXPECT_EQ(FirstColumn(2), c.row2Column) << c.tail;
    const std::string row1 = s.PageRow(1);
    EXPECT_EQ(row1.substr(row1.size() - c.row1End.size()), c.row1End) << c.tail;
  }
  EXPECT_TRUE(MessageText::IsLineStartCharacter(0x8141));
  EXPECT_FALSE(MessageText::IsLineStartCharacter(0x82A0));
}

TEST_F(Text, SpacingTagAdvancesThreeColumns) {
  // tw_set opens the window first: the page a first character opens would reset the spacing.
  Play("@tw_set 1\n[2]abc[1]de▼\n");
  const auto& row = session_->state().pageText[1];
  std::string placed;
  for (int c = 0; c < 14; ++c) placed += row[c] ? row[c] : '.';
  EXPECT_EQ(placed, "..a..b..c..de.");
}

TEST_F(Text, SpeakerColoursAndThePlate) {
  struct Case {
    std::string speaker;
    int32_t colour;  // S037, red in the low byte
  };
  const Case cases[] = {{"あおい", 240 | 128 << 8}, {"ゆうき", 0xFFFFFF}, {"だれか", 0xFFFFFF}};
  for (const Case& c : cases) {
    Session& s = Play(">" + c.speaker + "\nはい▼\n", 1500);
    EXPECT_EQ(s.state().vars.S[37], c.colour) << c.speaker;
    EXPECT_EQ(s.PageRow(0), c.speaker);
    EXPECT_EQ(s.PageRow(1), "はい");
  }
  // The plate is drawn: something other than the plate's background lies under the name.
  const Surface& shown = session_->platform().LastFrame();
  bool drawn = false;
  for (int x = 34; x < 100 && !drawn; ++x) {
    for (int y = 426; y < 454 && !drawn; ++y) drawn = PixelAt(shown, x, y)[0] > 100;
  }
  EXPECT_TRUE(drawn);
}

TEST_F(Text, WrappedRowsAreLinesOfTheirOwnInTheHistory) {
  // 45 characters: 19 on row 1 (columns 2 to 39), 19 on the wrapped row 2, 7 on row 3. As one
  // line they would overrun the history's 70-byte slot.
  const std::string line =
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわを";
  Session& s = Play(">ゆうき\n" + line + "▼\n");
  ASSERT_EQ(s.state().waitKind, 1);
  EXPECT_EQ(s.PageRow(1) + s.PageRow(2) + s.PageRow(3), line);
  EXPECT_EQ(s.History(),
            (std::vector<std::string>{"ゆうき", s.PageRow(1), s.PageRow(2), s.PageRow(3)}));
}

// Screen updates in the middle of a page rebuild the picture under the text and draw the page
// again: what the player sees must not change. The text after each update is empty, so the
// screen at the final wait must equal the screen at the click wait before the update.
TEST_F(Text, ARebuildShowsThePageAsItWasTyped) {
  // The quick-button bar: one opaque colour over the whole strip.
  const std::array<uint8_t, 3> bar = {50, 70, 120};
  Surface buttons(800, 96);
  buttons.FillRect(0, 0, 800, 24, bar[0], bar[1], bar[2]);
  buttons.FillRect(0, 72, 800, 24, 255, 255, 255);
  struct Case {
    const char* name;
    std::string script;
  };
  const Case cases[] = {
      {"window_gra_tag", "あいう〓[gra S468]▼\n"},
      // Half-width kana take the byte after them, as every byte outside 0x20-0x7E does; only
      // the kana is drawn, when typed and when drawn again.
      {"window_half_width_kana", "ｱBｲC〓[gra S468]▼\n"},
      {"novel_gra_tag", "@mode 1\nあいう〓[gra S468]▼\n"},
      {"novel_clrb_tag", "@mode 1\nあいう〓[clrb]▼\n"},
      {"novel_gra_command", "@mode 1\nあいう〓\n@gra S468\n▼\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WritePictures(game_ / "vx_gra.kpz", {{"sys_qbtn", buttons}});
    Session& s = Play("@gra S468\n" + c.script, 2000);
    ASSERT_EQ(s.state().waitKind, 2);
    const Surface typed = s.engine().Surfaces().screenSurface;
    s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
    s.RunFor(2000);
    ASSERT_EQ(s.state().waitKind, 1);
    const Surface& rebuilt = s.engine().Surfaces().screenSurface;
    ExpectPicture(rebuilt, typed, c.name);
    const auto shownBar = PixelAt(rebuilt, 400, 588);
    for (int channel = 0; channel < 3; ++channel) EXPECT_NEAR(shownBar[channel], bar[channel], 1);
  }
}

// [col N] colours the characters after it, [col 0] goes back to the speaker's colour; the
// page keeps each character's colour through a screen update and a saved game.
TEST_F(Text, ColourTagColoursTheTextThatFollows) {
  Session& s = Play("@gra S000\n>あおい\nあ[col 2]い〓[gra S000]う[col 0]え▼\nお▼\n");
  ASSERT_EQ(s.state().waitKind, 2);
  using Rgb = std::array<uint8_t, 3>;
  const Rgb orange = {240, 128, 0};  // あおい's colour
  const Rgb red = {255, 0, 0};       // colour 2
  // The brightest pixel of a glyph is drawn at full coverage: the text colour, give or take
  // the blend's rounding.
  const auto glyphColour = [&s](int column) {
    const Surface& screen = s.engine().Surfaces().screenSurface;
    const int x0 = 20 + 10 + column * 13;
    const int y0 = 420 + 10 + 30;
    Rgb best = {0, 0, 0};
    for (int y = y0; y < y0 + 35; ++y) {
      for (int x = x0 + 2; x < x0 + 24; ++x) {
        const Rgb p = PixelAt(screen, x, y);
        if (p[0] + p[1] + p[2] > best[0] + best[1] + best[2]) best = p;
      }
    }
    return best;
  };
  const auto expectColours = [&](const std::vector<Rgb>& colours, const std::string& when) {
    for (size_t i = 0; i < colours.size(); ++i) {
      const Rgb got = glyphColour(2 + 2 * static_cast<int>(i));
      for (int channel = 0; channel < 3; ++channel) {
        EXPECT_NEAR(got[channel], colours[i][channel], 3) << when << ": character " << i;
      }
    }
  };
  expectColours({orange, red}, "typed");
  const Surface typed = s.engine().Surfaces().screenSurface;
  ASSERT_TRUE(s.engine().Saves().Games().SaveGame(1, true));

  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1500);
  ASSERT_EQ(s.state().waitKind, 1);
  expectColours({orange, red, red, orange}, "after the update");
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1500);
  ASSERT_EQ(s.PageRow(1), "お");

  ASSERT_TRUE(s.engine().Saves().Games().LoadGame(1, true));
  s.RunFor(1500);
  ASSERT_EQ(s.PageRow(1), "あい");
  ExpectPicture(s.engine().Surfaces().screenSurface, typed, "loaded", 2);
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1500);
  ASSERT_EQ(s.PageRow(1), "あいうえ");
  expectColours({orange, red, red, orange}, "typed after the load");
}

TEST_F(Text, NovelModeUsesTheWholePage) {
  Session& s = Play("@mode 1\nあいう▼\n");
  EXPECT_EQ(s.state().vars.S[150], 1);
  EXPECT_EQ(FirstColumn(0), 0);
  EXPECT_EQ(s.PageRow(0), "あいう");
}

TEST_F(Text, PagesAreDrawnOntoTheScreen) {
  Session& s = Play("@gra S000\nあいうえお▼\n");
  // Glyph pixels in the first text cell: window origin + text origin + column 2.
  const Surface& shown = s.platform().LastFrame();
  int lit = 0;
  for (int y = 440; y < 475; ++y) {
    for (int x = 56; x < 88; ++x) lit += PixelAt(shown, x, y)[0] > 128;
  }
  EXPECT_GT(lit, 20);
}

TEST_F(Text, DelayTagSpacesCharactersAndAClickFinishesThePage) {
  // [delay 3]: a character, then two timer ticks of waiting, then the next.
  Session& s = Play("[delay 3]あいうえおかきくけこ▼\n", 40);
  const int typed = s.state().pageChars;
  s.RunFor(2 * Engine::kTimerInterval + 40);
  EXPECT_LE(s.state().pageChars, typed + 2);
  EXPECT_GE(s.state().pageChars, typed + 1);
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(60);
  EXPECT_EQ(s.state().pageChars, 10);
  EXPECT_EQ(s.state().waitKind, 1);
}

TEST_F(Text, WindowClosesAndOpensThroughTheScript) {
  // win_close fades the window out and leaves the scene; win_open brings it back with the
  // next screen update.
  Session& s = Play("@gra S468\nあ▼\n@win_close\n@sleep -1\n@win_open\n@gra S468 0\nい▼\n", 1500);
  const auto windowPixel = [&] { return PixelAt(s.platform().LastFrame(), 400, 560); };
  const auto open = windowPixel();
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1000);
  EXPECT_FALSE(s.state().textWindowOn);
  EXPECT_EQ(windowPixel(), PixelAt(s.engine().Surfaces().sceneSurface, 400, 560));
  EXPECT_NE(windowPixel(), open);
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1000);
  EXPECT_TRUE(s.state().textWindowOn);
  EXPECT_EQ(windowPixel(), open);
}

// A reader's view of the three states of the window, compared with pictures checked by eye:
// a window page with a speaker, a novel page, and the scene after the window closed. Font
// rendering may move a grey level by a step between builds, hence the small tolerance.
TEST_F(Text, GoldenWindowNovelAndClosedPages) {
  struct Case {
    const char* name;
    std::string script;
    int clicks;
  };
  const Case cases[] = {
      {"text_window_page",
       "@gra S468\n>あおい\n「おはよう、ゆうき。今日はいい天気だね。坂の上まで歩こうか」▼\n", 0},
      {"text_novel_page", "@gra S468\n@mode 1\n――その夜。▼\n今日は楽しい一日だった。▼\n", 1},
      {"text_closed_window", "@gra S468\nあいう▼\n@win_close\n@sleep -1\n", 1},
  };
  for (const Case& c : cases) {
    Session& s = Play(c.script, 2000);
    for (int i = 0; i < c.clicks; ++i) {
      s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
      s.RunFor(2000);
    }
    ExpectGolden(s.platform().LastFrame(), c.name, 8);
  }
}

TEST_F(Text, ClickWaitIconFrames) {
  // Four frames of 8 x 8, each a solid colour of its own, with full masks below them.
  Surface icons(32, 16);
  for (int f = 0; f < 4; ++f)
    icons.FillRect(f * 8, 0, 8, 8, static_cast<uint8_t>(40 * f + 40), 0, 0);
  icons.FillRect(0, 8, 32, 8, 255, 255, 255);
  WritePictures(game_ / "vx_gra.kpz", {{"sys_clickw", icons}});
  Session& s = Play("@gra S000\nあ▼\n", 200,
                    "CLICK_WAIT_OFS_X:700\nCLICK_WAIT_OFS_Y:560\nCLICK_WAIT_SIZE_X:8\n"
                    "CLICK_WAIT_SIZE_Y:8\nCLICK_WAIT_PAT:4\nCLICK_WAIT_TIMING:2\n");
  // Each timer tick adds 1 to the counter; the frame is (counter >> 2) mod 4, so frames follow
  // each other in order, each shown for four ticks (the first run may be cut).
  std::vector<int> frames;
  for (int tick = 0; tick < 14; ++tick) {
    s.engine().Timer1Timer();
    s.platform().Flush();
    const int red = PixelAt(s.platform().LastFrame(), 703, 563)[0];
    frames.push_back((red * 256 / 255 + 1 - 40) / 40);
  }
  std::vector<std::pair<int, int>> runs;  // frame, length
  for (int f : frames) {
    if (runs.empty() || runs.back().first != f) runs.push_back({f, 0});
    runs.back().second += 1;
  }
  ASSERT_GE(runs.size(), 3u);
  for (size_t i = 1; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].first, (runs[i - 1].first + 1) % 4);
    if (i + 1 < runs.size()) {
      EXPECT_EQ(runs[i].second, 4);
    }
  }
  // A click erases the icon: the screen under it shows again.
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(30);
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 703, 563),
            PixelAt(s.engine().Surfaces().screenSurface, 703, 563));
}

// Word wrap in a narrow window: half-width letters stand in columns 2 to 19 of each row (12 to
// a row in novel mode), with WordWrap=1 in the settings store unless a case turns it off.
class WordWrap : public Text {
 protected:
  Session& PlayWrapped(const std::string& script, bool on = true, uint32_t ms = 3000) {
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini",
              std::string("[test]\nWordWrap=") + (on ? "1" : "0") + "\n");
    return Play(script, ms,
                "MOJI_MAX_X:20\nMOJI_MAX2_X:12\nMAKER_REG:Software\\Zorvel\\Test\n"
                "GAME_ID:test\n");
  }
  // Rows `first` onwards up to the first empty one.
  std::vector<std::string> Rows(int first) {
    std::vector<std::string> rows;
    for (int row = first; row < kPageRows && !session_->PageRow(row).empty(); ++row) {
      rows.push_back(session_->PageRow(row));
    }
    return rows;
  }
};

TEST_F(WordWrap, WordsMoveWholeToTheNextRow) {
  struct Case {
    const char* what;
    std::string script;
    bool on;
    std::vector<std::string> rows;  // from row 1 (row 0 in novel mode)
  };
  const Case cases[] = {
      {"a word that would cross the column",
       "The quick brown fox jumps▼\n",
       true,
       {"The quick brown ", "fox jumps"}},
      {"the same without word wrap",
       "The quick brown fox jumps▼\n",
       false,
       {"The quick brown fo", "x jumps"}},
      // The second word ends in the last column; the space after it is dropped, so the next
      // row starts with the word, not with a blank.
      {"a word ending at the column",
       "abcdefgh abcdefghi xy▼\n",
       true,
       {"abcdefgh abcdefghi", "xy"}},
      {"the same without word wrap",
       "abcdefgh abcdefghi xy▼\n",
       false,
       {"abcdefgh abcdefghi", " xy"}},
      {"a word at a row's start", "abcdefghijklmnopqr▼\n", true, {"abcdefghijklmnopqr"}},
      {"a word longer than a row",
       "ab cdefghijklmnopqrstuvwxyz0123▼\n",
       true,
       {"ab ", "cdefghijklmnopqrst", "uvwxyz0123"}},
      {"a word after full-width text",
       "あいうえおかきくHello。▼\n",
       true,
       {"あいうえおかきく", "Hello。"}},
      {"full-width text keeps its hanging rules",
       "あいうえおかきくけ、こ▼\n",
       true,
       {"あいうえおかきくけ、", "こ"}},
      {"tags and a wait inside the word",
       "The quick brown f[col 2]o%1[cv X]x jumps▼\n",
       true,
       {"The quick brown ", "fox jumps"}},
      {"ruby and a tag before the word",
       "The quick brown <ruby>[col 2]fox▼\n",
       true,
       {"The quick brown ", "fox"}},
      {"a string variable in the word",
       "@string 5 fox\nThe quick brown ＄５ jumps▼\n",
       true,
       {"The quick brown ", "fox jumps"}},
      {"a string variable tag in the word",
       "@string 5 ox\nThe quick brown f[$5]!▼\n",
       true,
       {"The quick brown ", "fox!"}},
      {"an expression's value", "The quick brown [?123]4▼\n", true, {"The quick brown ", "1234"}},
      {"three columns a letter after [2]", "@tw_set 1\n[2]abc def▼\n", true, {"abc ", "def"}},
      {"three columns without word wrap", "@tw_set 1\n[2]abc def▼\n", false, {"abc de", "f"}},
      {"novel mode", "@mode 1\nThe quick fox▼\n", true, {"The quick ", "fox"}},
  };
  for (const Case& c : cases) {
    PlayWrapped(c.script, c.on);
    const bool novel = c.script.find("@mode 1") != std::string::npos;
    EXPECT_EQ(Rows(novel ? 0 : 1), c.rows) << c.what;
  }
}

// The row is chosen when the word starts: typed out a letter at a time, the word never shows
// on the first row and then jumps.
TEST_F(WordWrap, AWordBeingTypedStaysOnItsRow) {
  const std::string first = "The quick brown ";
  Session& s = PlayWrapped("[delay 2]The quick brown fox jumps▼\n", true, 20);
  for (int pass = 0; pass < 200 && s.state().waitKind != 1; ++pass) {
    const std::string row1 = s.PageRow(1);
    ASSERT_EQ(row1, first.substr(0, row1.size())) << "pass " << pass;
    s.RunFor(20);
  }
  EXPECT_EQ(s.state().waitKind, 1);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{first, "fox jumps"}));
}

// Ruby before a word that moves is drawn over the word's new place, at the next row's start
// (x below 200), not where the row before ended (column 18, x 267).
TEST_F(WordWrap, RubyFollowsItsWordToTheNextRow) {
  PlayWrapped("@gra S000\nThe quick brown <ab>fox▼\n");
  const Surface withRuby = session_->engine().Surfaces().screenSurface;
  PlayWrapped("@gra S000\nThe quick brown fox▼\n");
  const Surface& without = session_->engine().Surfaces().screenSurface;
  int near = 0;
  int far = 0;
  for (int y = 440; y < 520; ++y) {
    for (int x = 0; x < 800; ++x) {
      if (PixelAt(withRuby, x, y) != PixelAt(without, x, y)) (x < 200 ? near : far) += 1;
    }
  }
  EXPECT_GT(near, 0);
  EXPECT_EQ(far, 0);
}

// Word wrap changes where text stands, never where the script is: the history and the page
// ring keep the rows as shown, the wait is reached at the same script place as without it,
// and a saved game comes back with the same page and goes on from there.
TEST_F(WordWrap, HistoryRewindAndSavesFollowThePage) {
  const std::string script =
      "!S028=1\n>ゆうき\nThe quick brown fox jumps over the lazy dog.▼\nThe end.▼\n@sleep -1\n";
  const std::vector<std::string> wrapped = {"The quick brown ", "fox jumps over the", "lazy dog."};
  struct Place {
    int32_t scriptPos, lineStart, linePos;
  };
  const auto placeOf = [](const EngineState& st) {
    return Place{st.scriptPos, st.lineStart, st.linePos};
  };
  Session& plain = PlayWrapped(script, false);
  ASSERT_EQ(plain.state().waitKind, 1);
  const Place unwrapped = placeOf(plain.state());

  Session& s = PlayWrapped(script, true);
  ASSERT_EQ(s.state().waitKind, 1);
  const Place place = placeOf(s.state());
  EXPECT_EQ(place.scriptPos, unwrapped.scriptPos);
  EXPECT_EQ(place.lineStart, unwrapped.lineStart);
  EXPECT_EQ(place.linePos, unwrapped.linePos);
  // The space dropped at the end of row 2 is in neither the page nor the history.
  EXPECT_EQ(Rows(1), wrapped);
  EXPECT_EQ(s.History(), (std::vector<std::string>{"ゆうき", wrapped[0], wrapped[1], wrapped[2]}));
  ASSERT_TRUE(s.engine().Saves().Games().SaveGame(1, true));

  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1500);
  ASSERT_EQ(s.PageRow(1), "The end.");
  // The page rewind shows the first page from its record: as wrapped.
  bool recorded = false;
  for (const PageRecord& r : s.engine().BacklogScreen().Ring().records) {
    std::string row;
    for (const char c : r.text[2]) {
      if (c != 0) row += c;
    }
    recorded = recorded || row == wrapped[1];
  }
  EXPECT_TRUE(recorded);

  ASSERT_TRUE(s.engine().Saves().Games().LoadGame(1, true));
  s.RunFor(1500);
  EXPECT_EQ(Rows(1), wrapped);
  EXPECT_EQ(s.state().scriptPos, place.scriptPos);
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(1500);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"The end."}));
}

// The engine's own switch (a translation in use) turns word wrap on without the setting.
TEST_F(WordWrap, TheEngineSwitchWrapsWithoutTheSetting) {
  WriteGame(game_.Path(), {{"main", "The quick brown fox jumps▼\n"},
                           {"_config", kLayout + std::string("MOJI_MAX_X:20\n")}});
  session_ = std::make_unique<Session>(game_.Path(), config_.Path());
  session_->engine().SetWordWrap(true);
  session_->RunFor(3000);
  EXPECT_EQ(session_->engine().CurrentSettings().WordWrap, 0);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"The quick brown ", "fox jumps"}));
}

}  // namespace
}  // namespace zorvel::test
