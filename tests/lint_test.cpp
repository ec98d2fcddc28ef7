// The lint on small games: one script fault of each kind, a script that names only what the game
// holds, and the command through its binary on a game directory.
#include "../tools/lint.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"
#include "text/sjis.h"

namespace {

using zorvel::tool::FormatLintMessage;
using zorvel::tool::LintReport;
using zorvel::tool::LintScripts;
using zorvel::tool::MemoryGame;

// UTF-8 lines as the engine holds a decoded script: Shift-JIS, each line ended by a 0 byte.
std::vector<uint8_t> Decoded(const std::string& utf8) {
  std::string sjis = zorvel::Utf8ToSjis(utf8).value();
  for (char& c : sjis) {
    if (c == '\n') c = 0;
  }
  return {sjis.begin(), sjis.end()};
}

// A game with a story script "main", a called script "sub" and the data scripts the commands
// read, holding a few pictures, sounds, an animation and a movie.
MemoryGame SmallGame(const std::string& main) {
  MemoryGame game;
  game.AddScript("main", Decoded(main));
  game.AddScript("sub", Decoded(":ENTRY\n@end\n"));
  game.AddScript("map", Decoded(":TOWN\n1\n*station,0,0,100,100\n"));
  game.AddScript("view", Decoded(":VIEW_1\n{\nTYPE:1\nSET:1\n}\n{\n1:1,sub:ENTRY,scene\n}\n"));
  for (const char* p : {"A_SKY", "B_AOI", "PARTS", "PARTS2"}) game.AddPicture(p);
  for (const char* s : {"V001", "SE01", "SEH0LOOP"}) game.AddSound(s);
  game.AddAnimation("STAR");
  game.AddMovie("movie/op.mpg");
  return game;
}

std::string Messages(const LintReport& report) {
  std::string out;
  for (const auto& m : report.messages) out += FormatLintMessage(m) + "\n";
  return out;
}

TEST(Lint, ScriptNamingOnlyWhatTheGameHoldsIsClean) {
  const std::string main =
      ":START\n"
      "@gra A_SKY 3\n@grb b_aoi l\n@bg S0F0\n@spr B_AOI,-,B_AOI,5\n@ovr OFF\n@ovr PARTS,6,10,20\n"
      "@partsload PARTS,PARTS2\n@direct PARTS,500\n@scroll A_SKY,0,3,9\n"
      "@cv V001\n@se se01\n@seloop SEH0LOOP\n@anim STAR,10,20\n@animq STAR\n"
      "@movie movie/op.mpg\n@call sub:ENTRY\n@calc V001 = V001+1; F002=1\n!T0012=1\n"
      "@if (V001>=3&F002=1) @go START\n@if (V001=0) START\n@cjmp V001\n{\n一\n{\n二\n}\n"
      "[gra A_SKY]おはよう[cv V001]。[?V001*2]回目%10[col 2]だね。▼\n"
      ">あおい\n@select\n{(F001=0)行く\n@go START\n{$3\n}\n"
      "@clickmap TOWN\n{\n@go START\n{@5\n}\n"
      "@switch CASE\n{:CASE(V001>1)\n{:CASE\n}:CASE\n"
      "@viewer VIEW_1\n@roll staff\n@ptset 0,0,V001,100,10,10\n@chain main:START\n"
      "@effect flash\n@bg_anim 5,A_SKY,A_SKY,#0101\n@bg_anim RELEASE\n@manpu PARTS,2,10,10\n"
      "@obj_load 0,PARTS\n@obj_set 0,V001+10,420,120\n@obj_b_show\n";
  MemoryGame game = SmallGame(main);
  game.AddScript("staff", Decoded("*RESET\nZorvel\n"));
  game.AddScript("effect", Decoded(":FLASH\nF,100,FGGG,50\n"));
  const LintReport report = LintScripts(game);
  EXPECT_EQ(Messages(report), "");
  EXPECT_EQ(report.errors, 0);
  EXPECT_EQ(report.lines, 54 + 2);  // main and sub; map, view and the roll script are data
}

TEST(Lint, ReportsEachKindOfFaultOnItsLine) {
  const std::string longChoice(70, 'x');
  const std::string longLine(2100, 'a');
  std::string manyChoices = "@select\n";
  for (int i = 0; i < 33; ++i) manyChoices += "{c" + std::to_string(i) + "\n";
  manyChoices += "}\n";
  struct Case {
    std::string script;
    std::string message;  // the line that must be reported
    size_t count = 1;     // a list left open also leaves its "{" lines unclosed
  };
  const Case cases[] = {
      {"@frobnicate 1", "MAIN:1: error: unknown command word \"frobnicate\""},
      {"@grabg01", "MAIN:1: error: unknown command word \"grabg01\""},
      {"@go NOWHERE", "MAIN:1: error: go: no label \"NOWHERE\" in script \"MAIN\""},
      {"@if (V001=1) ELSEWHERE", "MAIN:1: error: if: no label \"ELSEWHERE\" in script \"MAIN\""},
      {"@call nosuch", "MAIN:1: error: call \"nosuch\": no script archive holds the script"},
      {"@chain sub:MISSING", "MAIN:1: error: chain: no label \"MISSING\" in script \"sub\""},
      {"x\n{\nnever closed",
       "MAIN:2: error: the block \"{\" has no \"}\" line after it; reaching it skips the rest of "
       "the script"},
      {"{:PART\n}:PARTS",
       "MAIN:1: error: the block \"{:PART\" has no \"}:PART\" line after it; reaching it skips "
       "the rest of the script"},
      {"x\n}", "MAIN:2: warning: \"}\" closes no block"},
      {"@select\n{one\n{two", "MAIN:1: error: select has no \"}\" line closing its list", 3},
      {"@select\n}",
       "MAIN:1: error: select has no choice line before its \"}\"; the game waits "
       "for ever",
       2},
      {manyChoices, "MAIN:1: error: select lists 33 entries; only the first 32 are read"},
      {"@select\n{" + longChoice + "\n}",
       "MAIN:2: error: select: the choice text is 70 bytes, more than the 64 a choice holds; it "
       "is not offered"},
      {"@select\n{(V001=x)go\n}",
       "MAIN:2: error: select: the condition in choice \"(V001=x)go\" does not parse"},
      {"@switch\n{(V001=1)\n",
       "MAIN:1: error: switch has no \"}\" line after it; when no case is "
       "taken the script ends",
       2},
      {"@clickmap NOWHERE\n{\n}",
       "MAIN:1: error: clickmap \"NOWHERE\": the map script has no \":NOWHERE\""},
      {"@clickmap TOWN\n{", "MAIN:1: error: clickmap has no \"}\" line closing its list", 2},
      {"@switch CASE\n{:CASE\n",
       "MAIN:1: error: switch \"CASE\" has no \"}:CASE\" line after it; when no case is taken "
       "the script ends",
       2},
      {"@calc V001=V001+Q", "MAIN:1: error: the assignment \"V001=V001+Q\" does not parse"},
      {"!E005=2", "MAIN:1: error: the assignment \"E005=2\" does not parse"},
      {"@if (V001=0&V002=x) @go A\n:A",
       "MAIN:1: error: the condition of if \"(V001=0&V002=x) @go A\" does not parse"},
      {"@if (V001=1) @calc V9", "MAIN:1: error: the assignment \"V9\" does not parse"},
      {"@cjmp V01\n{\n}", "MAIN:1: error: the expression of cjmp \"V01\" does not parse"},
      {"@cjmp 1\n{",
       "MAIN:1: error: cjmp has no \"}\" line after it; a value past its cases "
       "runs off the script",
       2},
      {"@ptset 0,0,10,10,5 ,5", "MAIN:1: error: ptset: the expression \"5 \" does not parse"},
      {"[?V001+(2)]回", "MAIN:1: error: the expression of [?V001+(2)] does not parse"},
      {"@gra A_NONE 2", "MAIN:1: error: gra \"A_NONE\": no picture archive holds it"},
      {"@spr B_AOI,B_GONE", "MAIN:1: error: spr \"B_GONE\": no picture archive holds it"},
      {"@partsload PARTS,NOPE", "MAIN:1: error: partsload \"NOPE\": no picture archive holds it"},
      {"[gra B_GONE]や", "MAIN:1: error: [gra] \"B_GONE\": no picture archive holds it"},
      {"@gra X01",
       "MAIN:1: warning: gra \"X01\": a name that begins with neither A "
       "(background), B (character) nor S (colour) shows nothing"},
      {"@se SE99", "MAIN:1: error: se \"SE99\": no sound archive holds it"},
      {"@cv V002", "MAIN:1: error: cv \"V002\": no sound archive holds it"},
      {"ね[cv V009]", "MAIN:1: error: [cv] \"V009\": no sound archive holds it"},
      {"@anim MOON,1,2", "MAIN:1: error: anim \"MOON\": no animation archive holds it"},
      {"@bg_anim 5,A_SKY,A_RAIN,>01",
       "MAIN:1: error: bg_anim \"A_RAIN\": no picture archive holds it"},
      {"@manpu SWEAT,1", "MAIN:1: error: manpu \"SWEAT\": no picture archive holds it"},
      {"@effect FLASH",
       "MAIN:1: error: effect \"FLASH\": the \"effect\" script has no \":FLASH\" block; nothing "
       "is played"},
      {"@obj_load 1,O_BALL", "MAIN:1: error: obj_load \"O_BALL\": no picture archive holds it"},
      {"@obj_set 0,1 0,5", "MAIN:1: error: obj_: the expression \"1 0\" does not parse"},
      {"@obj_spin 1", "MAIN:1: error: unknown object command \"obj_spin\""},
      {"@movie movie/ed.mpg", "MAIN:1: error: movie \"movie/ed.mpg\" is missing beside the game"},
      {"@viewer VIEW_9",
       "MAIN:1: error: viewer \"VIEW_9\": the \"view\" script has no \":VIEW_9\""},
      {"@roll credits", "MAIN:1: error: roll \"credits\": no script archive holds the roll script"},
      {longLine,
       "MAIN:1: error: the line is 2100 bytes, longer than the 2047 the line buffer "
       "holds; the rest is cut"},
      {"ね[col 2",
       "MAIN:1: warning: the inline tag \"[col 2\" has no \"]\"; the rest of the line "
       "is dropped"},
      {"@title " + std::string(70, 't'),
       "MAIN:1: warning: title: the text is 70 bytes; only 63 are kept"},
      {"x\n:UNUSED", "MAIN:2: warning: label \"UNUSED\" is never jumped to"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script.substr(0, 80));
    const LintReport report = LintScripts(SmallGame(c.script + "\n"));
    EXPECT_EQ(report.messages.size(), c.count) << Messages(report);
    EXPECT_NE(Messages(report).find(c.message + "\n"), std::string::npos) << Messages(report);
    EXPECT_EQ(report.errors + report.warnings, static_cast<int>(c.count));
  }
}

// A label reached from a data script (the viewer's scene list) or kept for the right click's
// jump (string variable 8) draws no warning; one that only another script's label of the same
// name matches is not reached.
TEST(Lint, LabelsNamedByDataScriptsCountAsReached) {
  MemoryGame game = SmallGame("@end\n");
  game.AddScript("sys_seltree", Decoded(":TREE_0\n0,0,title,main:BACK\n"));
  game.AddScript("other", Decoded(":BACK\n:MENU\n@string 8 menu\n"));
  const LintReport report = LintScripts(game);
  EXPECT_EQ(Messages(report), "OTHER:1: warning: label \"BACK\" is never jumped to\n");
}

class LintToolTest : public ::testing::Test {
 protected:
  int Lint(const std::string& dir) {
    const std::string cmd = std::string("'") + ZORVEL_TOOL + "' lint '" + dir + "' >'" +
                            tmp_ / "out" + "' 2>'" + tmp_ / "err" + "'";
    const int status = std::system(cmd.c_str());
    out_ = zorvel::test::ReadText(tmp_ / "out");
    err_ = zorvel::test::ReadText(tmp_ / "err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  zorvel::test::TempDir tmp_;
  std::string out_, err_;
};

// On a game directory the lookups are the engine's: the picture archive, the movie file beside
// the game (any case), and exit 1 only for errors.
TEST_F(LintToolTest, LintsAGameDirectory) {
  const std::string game = tmp_ / "game";
  std::filesystem::create_directories(game + "/movie");
  zorvel::test::WriteGame(game, {{"main", "@gra A_SKY 1\n@movie MOVIE/OP.MPG\n@call sub\n"},
                                 {"sub", ":UNUSED\n@end\n"}});
  zorvel::test::WritePictures(game + "/vx_gra.kpz",
                              {{"A_SKY", zorvel::test::Solid(8, 8, 1, 2, 3)}});
  zorvel::test::WriteText(game + "/movie/op.mpg", "not really a movie");
  EXPECT_EQ(Lint(game), 0) << out_ << err_;
  EXPECT_EQ(out_, "SUB:1: warning: label \"UNUSED\" is never jumped to\n");
  EXPECT_NE(err_.find("0 errors, 1 warning in 5 script lines"), std::string::npos) << err_;

  zorvel::test::WriteGame(game, {{"main", "@gra A_SKY 1\n@gra A_NIGHT 1\n"}});
  EXPECT_EQ(Lint(game), 1);
  EXPECT_EQ(out_, "MAIN:2: error: gra \"A_NIGHT\": no picture archive holds it\n");

  EXPECT_EQ(Lint(tmp_ / "nothing"), 1);
  EXPECT_NE(err_.find("cannot lint"), std::string::npos) << err_;
}

}  // namespace
