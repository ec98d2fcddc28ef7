// The interpreter, flow commands and main loop played through small fixture games.
#include <gtest/gtest.h>

#include <cstring>

#include "fixture.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

class Play : public ::testing::Test {
 protected:
  Session& Start(std::map<std::string, std::string> scripts) {
    // A page of 52 columns and 4 lines, as games lay their windows out; without these keys
    // every character would wrap.
    scripts.emplace("_config", "MOJI_MAX_X:52\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\n");
    WriteGame(game_.Path(), scripts);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    return *session_;
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

// In window mode line 0 of the page is the name line: text starts on line 1.
TEST_F(Play, TextTypesOneCharacterPerPassAndWaitsAtPageEnd) {
  Session& s = Start({{"main", "あいう▼えお\nかき\n"}});
  s.RunFor(40);  // first pass starts the script, the next types one character
  EXPECT_EQ(s.PageRow(1), "あ");
  s.RunFor(200);
  EXPECT_EQ(s.PageRow(1), "あいう");
  EXPECT_EQ(s.state().waitKind, 1);
  EXPECT_EQ(s.History(), std::vector<std::string>{"あいう"});
  s.Events("0 click 10 10\n");
  s.RunFor(500);
  // The tail after ▼ is dropped; the click opened a fresh page.
  EXPECT_EQ(s.PageRow(1), "かき");
  EXPECT_EQ(s.History(), (std::vector<std::string>{"あいう", "かき"}));
}

TEST_F(Play, PercentWaitsTicksAndZeroMeansTen) {
  Session& s = Start({{"main", "a%0b\n"}});
  s.RunFor(60);
  EXPECT_EQ(s.PageRow(1), "a");
  EXPECT_EQ(s.state().waitTicks, 10);
  s.RunFor(10 * 55 + 100);
  EXPECT_EQ(s.PageRow(1), "a0b");
}

TEST_F(Play, SubstitutionsAndTags) {
  Session& s = Start({{"main",
                       "@string 3 abc\n"
                       "!V001=6\n"
                       "[$3][$12]x[?V001*7]＄３<ruby>[col 4][delay 0]\n"}});
  s.RunFor(2000);
  EXPECT_EQ(s.PageRow(1), "abcx42abc");
  EXPECT_EQ(s.state().textColour, 4);
  EXPECT_EQ(s.state().charDelay, 0);
}

TEST_F(Play, NicknameReplacesPlayerNamesWhileF028IsSet) {
  Session& s = Start({{"main", "!F028=1\n＄０＄２\n"}});
  s.state().vars.F.Set(28);
  s.RunFor(1000);
  EXPECT_EQ(s.PageRow(1), "へたれ");
}

TEST_F(Play, SpeakerLinesGoToHistoryAndNamePlate) {
  Session& s = Start({{"main", ">＄０\nはい▼\n"}});
  s.RunFor(500);
  EXPECT_EQ(SjisToUtf8(s.state().speakerName), s.StringVar(0));
  ASSERT_GE(s.History().size(), 2u);
  EXPECT_EQ(s.History()[1], "はい");
}

TEST_F(Play, CommandWordsMatchWithoutCaseAndNeedTheirBlank) {
  Session& s = Start({{"main", "@CALC V001=1\n*calc V002=2\n@calcV003=3\n@title   x\n"}});
  s.RunFor(200);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().vars.V[2], 2);
  EXPECT_EQ(s.state().vars.V[3], 0);
  EXPECT_STREQ(s.state().titleText, "  x");
}

TEST_F(Play, CallReturnsToTheLineAfterAndStackSurvivesNesting) {
  // The jump after the return searches the caller again, not the script it came back from.
  Session& s = Start({{"main", "@call sub:start\n!V001=V001+1\n@go done\n!V001=100\n:done\n"},
                      {"sub", "!V002=99\n:start\n!V003=V003+1\n@end\n:done\n!V004=1\n"}});
  s.RunFor(500);
  EXPECT_EQ(s.state().vars.V[2], 0);  // entered at the label
  EXPECT_EQ(s.state().vars.V[3], 1);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().vars.V[4], 0);
  EXPECT_EQ(s.state().callDepth, 0);
  EXPECT_STREQ(s.state().scriptName, "main");
}

TEST_F(Play, NineNestedCallsWorkAndATenthIsRefused) {
  Session& s = Start({{"main", "@call deep\n!V001=1\n"},
                      {"deep", "!V002=V002+1\n@if (V002<10) @call deep\n@end\n"}});
  s.RunFor(2000);
  EXPECT_EQ(s.state().vars.V[2], 9);  // the tenth call is refused; every call returns
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().callDepth, 0);
}

TEST_F(Play, CallThroughStringVariableAndRunningOffTheEndReturns) {
  Session& s = Start({{"main", "@string 2 ev01\n@call $2\n!V001=5\n"}, {"ev01", "!V009=1\n"}});
  s.RunFor(500);
  EXPECT_EQ(s.state().vars.V[9], 1);
  EXPECT_EQ(s.state().vars.V[1], 5);
}

TEST_F(Play, ChainDropsTheStackAndKeepsTheNameWhenMissing) {
  Session& s = Start(
      {{"main", "@chain nothere\n!V001=1\n@chain other:L\n"}, {"other", "!V002=1\n:L\n!V003=1\n"}});
  s.RunFor(500);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().vars.V[2], 0);
  EXPECT_EQ(s.state().vars.V[3], 1);
  EXPECT_STREQ(s.state().scriptName, "other");
}

TEST_F(Play, ReturnToACallerThatCannotBeLoadedStopsTheScript) {
  // The failed chain leaves the name "gone" as the caller's; the return cannot load it and must
  // not resume at the caller's offset inside "sub".
  Session& s = Start({{"main", "@chain gone\n@call sub\n!V001=1\n"},
                      {"sub", "!V002=2\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n"}});
  s.RunFor(2000);
  EXPECT_EQ(s.state().vars.V[2], 2);
  EXPECT_EQ(s.state().vars.V[1], 0);
  EXPECT_FALSE(s.state().interpreterOn);
  EXPECT_EQ(s.state().callDepth, 0);
}

TEST_F(Play, GotoFindsTheFirstColonFollowedByTheLabel) {
  // The "chain X:A" line's ":A" comes first in the script, so the jump lands after it.
  Session& s = Start({{"main", "@go a\n@chain X:A\n!V001=1\n:A\n!V002=1\n"}});
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[1], 1);
}

// A hostile line of many colons: every one of them starts a text a jump could name, and the
// index of them must not keep a copy of the rest of the line for each.
TEST_F(Play, ALongLineOfColonsIsIndexedWithoutCopyingItsTails) {
  const std::string colons(120000, ':');
  Session& s = Start({{"main", "@go b\n" + colons + "\n" + colons + "B\n!V001=1\n:b\n!V002=1\n"}});
  s.RunFor(300);
  // "::::B" is the first line whose text after a colon is "B".
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().vars.V[2], 1);
}

TEST_F(Play, IfRunsCommandsAssignmentsOrJumps) {
  Session& s = Start({{"main",
                       "!V001=1\n"
                       "@if (V001=1) @calc V002=2\n"
                       "@if (v001 = 0) !V003=3\n"
                       "@if (V001!0) L\n"
                       "!V004=4\n"
                       ":L\n"
                       "@if (V001>=1&V002=2) !V005=5\n"}});
  s.RunFor(500);
  EXPECT_EQ(s.state().vars.V[2], 2);
  EXPECT_EQ(s.state().vars.V[3], 0);
  EXPECT_EQ(s.state().vars.V[4], 0);
  EXPECT_EQ(s.state().vars.V[5], 5);
}

TEST_F(Play, CjmpRunsTheNumberedCaseOrSkipsTheBlock) {
  const std::string script = "@cjmp V005\n{\n!V010=10\n{\n!V011=11\n{\n!V012=12\n}\n!V020=1\n";
  for (const auto& [n, expect] :
       std::vector<std::pair<int, int>>{{0, 10}, {1, 11}, {2, 12}, {7, 0}, {-1, 0}}) {
    Session& s = Start({{"main", script}});
    s.RunFor(1);
    s.state().vars.V[5] = n;
    s.RunFor(400);
    const auto& V = s.state().vars.V;
    EXPECT_EQ(V[10] + V[11] + V[12], expect) << "case " << n;
    EXPECT_EQ(V[20], 1) << "case " << n;
  }
  // Anything after the word, a lone blank included, is the expression; nothing at all is S006.
  for (const auto& [line, expect] :
       std::vector<std::pair<std::string, int>>{{"@cjmp\n", 11}, {"@cjmp \n", 10}}) {
    Session& s = Start({{"main", line + "{\n!V010=10\n{\n!V011=11\n}\n"}});
    s.RunFor(1);
    s.state().vars.S[kNameChanged] = 1;
    s.RunFor(400);
    EXPECT_EQ(s.state().vars.V[10] + s.state().vars.V[11], expect) << line;
  }
}

TEST_F(Play, BlocksAreSkippedAnonymousAndNamed) {
  Session& s = Start({{"main", "{\n!V001=1\n}\n{:Blk(x)\n!V002=1\n}\n!V003=1\n}:blk\n!V004=1\n"}});
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[1], 0);
  EXPECT_EQ(s.state().vars.V[2], 0);
  EXPECT_EQ(s.state().vars.V[3], 0);
  EXPECT_EQ(s.state().vars.V[4], 1);
}

TEST_F(Play, SleepWaitsIdlePassesOrAClick) {
  Session& s = Start({{"main", "@sleep 90\n!V001=1\n@sleep 29\n!V002=1\n"}});
  s.RunFor(30);  // start + the sleeping step
  EXPECT_EQ(s.state().sleepCount, 3);
  s.RunFor(80);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().sleepCount, -1);
  s.RunFor(3000);
  EXPECT_EQ(s.state().vars.V[2], 0);
  s.Events("0 click 1 1\n");
  s.RunFor(100);
  EXPECT_EQ(s.state().vars.V[2], 1);
  EXPECT_EQ(s.state().vars.S[19], 1);
}

TEST_F(Play, ModeTogglesNovelModeOnlyOnChange) {
  Session& s = Start({{"main", "@mode 1\n@mode 1\n@mode 0\n"}});
  s.RunFor(30);  // start, then one command per step: each ends the step
  EXPECT_EQ(s.state().vars.S[150], 1);
  s.RunFor(20);
  EXPECT_EQ(s.state().vars.S[150], 1);
  s.RunFor(20);
  EXPECT_EQ(s.state().vars.S[150], 0);
}

TEST_F(Play, HistoryKeepsTheLatestTwoHundredLines) {
  std::string script;
  for (int i = 0; i < 205; ++i) script.append("L").append(std::to_string(i)).append("\n");
  Session& s = Start({{"main", script}});
  s.state().skipMode = 1;
  s.RunFor(200);
  const auto h = s.History();
  ASSERT_EQ(h.size(), 200u);
  EXPECT_EQ(h.front(), "L5");
  EXPECT_EQ(h.back(), "L204");
}

TEST_F(Play, OverlongLinesAndNamesAreCutAtTheirFields) {
  const std::string longText(3000, 'x');
  const std::string longName(60, 'n');
  Session& s = Start({{"main", "@title " + longText + "\n@string 4 " + longText + "\n>" + longName +
                                   longName + "\n" + longText + "\n@chain " + longName + "\n"}});
  s.state().skipMode = 1;
  s.RunFor(500);
  EXPECT_EQ(std::strlen(s.state().titleText), 63u);
  EXPECT_EQ(std::strlen(s.state().stringVars[4]), 63u);
  EXPECT_EQ(std::strlen(s.state().speakerName), 86u);
  EXPECT_EQ(std::strlen(s.state().scriptName), 29u);
  for (const std::string& line : s.History()) EXPECT_LE(line.size(), 69u);
}

TEST_F(Play, WaitTagHoldsTheStepForTimerTicks) {
  Session& s = Start({{"main", "[wait 10]a\n"}});
  s.RunFor(30);
  EXPECT_EQ(s.state().waitTicks, 10);
  s.RunFor(500);
  EXPECT_EQ(s.PageRow(1), "");
  s.RunFor(100);
  EXPECT_EQ(s.PageRow(1), "a");
}

TEST_F(Play, AutoModeTurnsThePageAfterItsComputedWait) {
  Session& s = Start({{"main", "abcd▼\n!V001=1\n"}});
  s.RunFor(1);
  s.state().vars.S[26] = 5;
  s.RunFor(150);
  ASSERT_EQ(s.state().waitKind, 1);
  // 4 characters on the page: 4 / 20 + 2 * 5 + 2 = 12 ticks.
  EXPECT_GE(s.state().autoWait, 10);
  s.RunFor(10 * 55);
  EXPECT_EQ(s.state().vars.V[1], 0);
  s.RunFor(3 * 55);
  EXPECT_EQ(s.state().vars.V[1], 1);
}

TEST_F(Play, SkippingRunsThroughPageWaitsInOneStep) {
  Session& s = Start({{"main", "a▼\n=\n~\nb%50\n!V001=1\n"}});
  s.state().skipMode = 1;
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[1], 1);
}

TEST_F(Play, EmptyScriptEndsAtOnceAndEndInMainDoesNothing) {
  Session& s = Start({{"main", "@call empty\n@end\n!V001=1\n"}, {"empty", ""}});
  s.RunFor(300);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(s.state().callDepth, 0);
}

TEST_F(Play, QuitQuestionFromExitgame) {
  Session& s = Start({{"main", "@exitgame\n!V001=1\n"}});
  s.Events("0 msgbox cancel\n");
  s.RunFor(300);
  EXPECT_FALSE(s.engine().Closed());
  EXPECT_EQ(s.state().vars.V[1], 1);
  ASSERT_EQ(s.engine().MessageBoxes().size(), 1u);
  EXPECT_EQ(s.engine().MessageBoxes()[0].text, "ゲームを終了しますか？");
  EXPECT_EQ(s.engine().MessageBoxes()[0].caption, "確認");
}

TEST_F(Play, NewPageStartsInTheDefaultColour) {
  // The first page opens the window; the colour tag then holds for the rest of the second page.
  Session& s = Start({{"main", "あ▼\n[col 2]あいう▼\nえ▼\n"}});
  s.Events("300 click 5 5\n");
  s.RunFor(600);
  EXPECT_EQ(s.state().textColour, 2);
  s.Events("700 click 5 5\n");
  s.RunFor(200);
  EXPECT_EQ(s.state().textColour, 0);
}

TEST_F(Play, ToolbarFollowsSavePermissionAndIgnoresOtherValues) {
  // S000 0 enables loading and saving, 1 loading only, 2 and 3 neither; 7 changes nothing.
  const std::vector<std::pair<std::string, std::vector<bool>>> cases = {
      {"!S000=0\n", {true, true, true, true}},
      {"!S000=1\n", {true, true, false, true}},
      {"!S000=0\n!S000=7\n", {true, true, true, true}},
      {"!S000=1\n!S000=-1\n", {true, true, false, true}},
      {"!S000=2\n!S000=7\n", {true, false, false, true}}};
  for (const auto& [script, expect] : cases) {
    Session& s = Start({{"main", "!S028=1\n" + script}});
    s.RunFor(300);
    std::vector<bool> enabled;
    for (const MenuItem& button : s.engine().Ui().Toolbar()) {
      if (button.visible) enabled.push_back(button.enabled);
    }
    EXPECT_EQ(enabled, expect) << script;
  }
}

TEST_F(Play, MissingGameDataShowsOneErrorAndCloses) {
  Session s(game_.Path(), config_.Path());
  s.RunFor(1000);
  EXPECT_TRUE(s.engine().Closed());
  ASSERT_EQ(s.engine().MessageBoxes().size(), 1u);
  EXPECT_EQ(s.engine().MessageBoxes()[0].text, "ゲームデータを読み込めません。");
  EXPECT_EQ(s.engine().MessageBoxes()[0].caption, "Error!");
}

}  // namespace
}  // namespace zorvel::test
