// Translations: the PO reader on what translators' files hold (and what they should not), the
// texts a translation shows through the whole engine, saves made with and without one, and
// zorvel-tool's text-export and text-import on the demo.
#include "translation/translation.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fixture.h"
#include "resources/archive.h"
#include "resources/game_config.h"
#include "text/sjis.h"
#include "translation/po_file.h"

namespace zorvel::test {
namespace {

namespace fs = std::filesystem;

PoFile Read(const std::string& text) {
  PoFile file;
  ReadPo({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, file);
  return file;
}

std::string Sjis(const std::string& utf8) {
  return Utf8ToSjis(utf8).value();
}

constexpr char kHeader[] =
    "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

TEST(PoReader, ReadsWhatTranslatorsToolsWrite) {
  const PoFile file =
      Read("\xEF\xBB\xBF# a comment\r\n" + std::string(kHeader) +
           "#. speaker: x\n#: MAIN:3\nmsgctxt \"MAIN:3\"\nmsgid \"\"\n\"split \"\n\"line\"\n"
           "msgstr \"tab\\there \\\"q\\\" \\\\ \\101\\x42\"\n\n"
           "#, fuzzy, c-format\nmsgctxt \"MAIN:4\"\nmsgid \"a\"\nmsgstr \"b\"\n\n"
           "msgid \"one\"\nmsgid_plural \"many\"\nmsgstr[0] \"x\"\nmsgstr[1] \"y\"\n\n"
           "#~ msgid \"old\"\n#~ msgstr \"gone\"\n");
  EXPECT_TRUE(file.problems.empty()) << file.problems[0].what;
  ASSERT_EQ(file.entries.size(), 3u);
  EXPECT_EQ(file.entries[0].context, "MAIN:3");
  EXPECT_EQ(file.entries[0].id, "split line");
  EXPECT_EQ(file.entries[0].str, "tab\there \"q\" \\ AB");
  EXPECT_EQ(file.entries[0].line, 8);
  EXPECT_FALSE(file.entries[0].fuzzy);
  EXPECT_TRUE(file.entries[1].fuzzy);
  EXPECT_EQ(file.entries[2].str, "x");
}

// Every problem names its line, the bad entry is left out and the entries around it are kept.
TEST(PoReader, ProblemsNameTheirLineAndSpareTheOtherEntries) {
  struct Case {
    const char* entry;  // placed between two good entries; its first line is line 4
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"msgid \"a\\q\"\nmsgstr \"b\"\n", 4, "unknown escape sequence \\q"},
      {"msgid \"open\nmsgstr \"b\"\n", 4, "no closing quote"},
      {"msgid \"a\" x\nmsgstr \"b\"\n", 4, "text follows the closing quote"},
      {"msgstr \"b\"\n", 4, "msgstr without a msgid"},
      {"msgid \"a\"\n", 4, "has no msgstr"},
      {"msgid \"a\"\nmsgstr \"b\"\nmsgstr \"c\"\n", 6, "a second msgstr"},
      {"msgid \"x\"\nmsgstr \"b\"\n", 4, "duplicate message definition (first defined at line 1)"},
      {"msgid \"a\"\nmsgstr \"b\"\n\"\" \"\"\n", 6, "text follows"},
      {"msgid \"a\"\nmsgtxt \"a\"\nmsgstr \"b\"\n", 5, "unknown keyword msgtxt"},
      {"msgid \"a\\n\"\nmsgstr \"b\"\n", 5, "do not both end with a line break"},
      {"msgid \"\\na\"\nmsgstr \"b\"\n", 5, "do not both begin with a line break"},
      {"msgid \"\\xff\"\nmsgstr \"b\"\n", 4, "not valid UTF-8"},
      {"msgid \"a\"\nmsgstr \"\xC3\x28\"\n", 4, "not valid UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const PoFile file = Read(std::string("msgid \"x\"\nmsgstr \"y\"\n\n") + c.entry +
                             "\nmsgid \"z\"\nmsgstr \"w\"\n");
    ASSERT_EQ(file.problems.size(), 1u);
    EXPECT_EQ(file.problems[0].line, c.line);
    EXPECT_NE(file.problems[0].what.find(c.says), std::string::npos) << file.problems[0].what;
    ASSERT_EQ(file.entries.size(), 2u);
    EXPECT_EQ(file.entries[0].id, "x");
    EXPECT_EQ(file.entries[1].id, "z");
  }
}

TEST(PoReader, RefusesOtherCharacterSetsAndFilesPastItsBounds) {
  PoFile file;
  const std::string latin =
      "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n\n"
      "msgid \"a\"\nmsgstr \"b\"\n";
  EXPECT_FALSE(ReadPo({reinterpret_cast<const uint8_t*>(latin.data()), latin.size()}, file));
  ASSERT_EQ(file.problems.size(), 1u);
  EXPECT_NE(file.problems[0].what.find("ISO-8859-1"), std::string::npos);

  const std::vector<uint8_t> huge(kMaxPoBytes + 1, ' ');
  EXPECT_FALSE(ReadPo(huge, file));

  // A flood of bad lines is counted, not listed line by line.
  std::string bad;
  for (int i = 0; i < 500; ++i) bad += "junk\n\n";
  file = Read(bad);
  EXPECT_EQ(file.problems.size(), kMaxPoProblems);
  EXPECT_EQ(file.moreProblems, 400u);
}

TEST(PoQuote, EscapesWhatAStringCannotHoldAndReadsBack) {
  const std::string text = "a\\b\"c\nd\te\x01\x7F\xE3\x81\x82";
  EXPECT_EQ(PoQuote(text), "\"a\\\\b\\\"c\\nd\\te\\001\\177\xE3\x81\x82\"");
  const PoFile file = Read("msgid " + PoQuote(text) + "\nmsgstr \"\"\n");
  ASSERT_EQ(file.entries.size(), 1u);
  EXPECT_EQ(file.entries[0].id, text);
}

// What a translation refuses at load: each message names the PO line, and says the original
// shows.
TEST(TranslationLoad, RefusedEntriesAreNamedByLine) {
  const std::string longText(3000, 'a');
  struct Case {
    std::string entry;  // starts at line 5
    std::string says;
    int line;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"msgctxt \"MAIN:3\"\nmsgid \"あ\"\nmsgstr \"Smile 😀\"\n",
       "cannot be written in Shift-JIS (code page 932): '😀' (U+1F600) has no form there; the "
       "original \"あ\" is shown",
       7, false},
      {"msgctxt \"MAIN:3\"\nmsgid \"あ\"\nmsgstr \"a\\nb\"\n", "line break", 7, false},
      {"msgctxt \"MAIN\"\nmsgid \"あ\"\nmsgstr \"a\"\n", "SCRIPT:LINE", 5, false},
      {"msgid \"あ\"\nmsgstr \"a\"\n", "SCRIPT:LINE", 5, false},
      {"msgctxt \"MAIN:0\"\nmsgid \"あ\"\nmsgstr \"a\"\n", "SCRIPT:LINE", 5, false},
      {"msgctxt \"MAIN:3\"\nmsgid \"あ\"\nmsgstr \"" + longText + "\"\n",
       "3000 bytes in Shift-JIS, more than the 2046 a script line holds; cut after 2046", 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry.substr(0, 60));
    const std::string po = kHeader + c.entry;
    Translation t;
    std::vector<std::string> messages;
    t.Load({reinterpret_cast<const uint8_t*>(po.data()), po.size()}, "en.po", messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("en.po:" + std::to_string(c.line) + ": "), std::string::npos)
        << messages[0];
    EXPECT_NE(messages[0].find(c.says), std::string::npos) << messages[0];
    EXPECT_EQ(t.InUse(), c.kept);
  }

  // A cut never splits a two-byte character: 1023 full-width letters and one more.
  std::string wide;
  for (int i = 0; i < 1024; ++i) wide += "あ";
  const std::string po = std::string(kHeader) + "msgctxt \"x:1\"\nmsgid \"a\"\nmsgstr \"z" + wide +
                         "\"\n\n#, fuzzy\nmsgctxt \"x:2\"\nmsgid \"a\"\nmsgstr \"b\"\n\n"
                         "msgctxt \"x:3\"\nmsgid \"a\"\nmsgstr \"\"\n";
  Translation t;
  std::vector<std::string> messages;
  t.Load({reinterpret_cast<const uint8_t*>(po.data()), po.size()}, "en.po", messages);
  ASSERT_NE(t.Find("X", 1), nullptr);
  EXPECT_EQ(t.Find("X", 1)->str.size(), 2045u);
  EXPECT_EQ(t.Find("x", 2), nullptr);  // fuzzy
  EXPECT_EQ(t.Find("x", 3), nullptr);  // untranslated
}

// Lines rewritten by text-import: the kind of line stays what it was.
TEST(TranslationRewrite, KeepsEachLineItsKind) {
  struct Case {
    const char* line;
    TextKind kind;
    const char* id;
    const char* str;
    const char* expected;  // nullptr: refused
  };
  const Case cases[] = {
      {"あ▼", TextKind::kStory, "あ▼", "Hi.▼", "Hi.▼"},
      {"あ▼", TextKind::kStory, "あ▼", "*sigh*▼", nullptr},
      {"あ▼", TextKind::kStory, "い▼", "Hi.▼", nullptr},
      {">あおい", TextKind::kSpeaker, "あおい", "Aoi", ">Aoi"},
      {"{(V1>0)北へ", TextKind::kChoice, "北へ", "North", "{(V1>0)North"},
      {"{北(V1>0)へ", TextKind::kChoice, "北へ", "北へ", "{北(V1>0)へ"},
      {"{北へ", TextKind::kChoice, "北へ", "North (far)", nullptr},
      {"{(V803>=2)*駅", TextKind::kCaption, "駅", "Station", "{(V803>=2)*Station"},
      {"{駅", TextKind::kCaption, "駅", "@5", nullptr},
      {"{駅", TextKind::kCaption, "駅", "*Station", nullptr},
      {"#学校,320,60,520,220", TextKind::kMapCaption, "学校", "School", "#School,320,60,520,220"},
      {"公園,560,90", TextKind::kMapCaption, "公園", "Park, east", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string why;
    const auto out = RewriteLine(Sjis(c.line), c.kind, Sjis(c.id), Sjis(c.str), why);
    if (c.expected == nullptr) {
      EXPECT_FALSE(out.has_value());
      EXPECT_FALSE(why.empty());
    } else {
      ASSERT_TRUE(out.has_value()) << why;
      EXPECT_EQ(*out, Sjis(c.expected));
    }
  }
}

constexpr char kConfig[] =
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "NAME:1,あおい,F80\n";
constexpr char kMain[] =
    "!S000=0\n!S028=1\n>あおい\nおはよう。[col 2]いい天気[col 0]だね。▼\n@select\n{北へ行く\n"
    "!V010=1\n{(V001=0)南へ行く\n!V010=2\n}\n>ゆうき\n着いたね。▼\nつづく▼\n@sleep -1\n";
constexpr char kPo[] =
    "msgctxt \"MAIN:3\"\nmsgid \"あおい\"\nmsgstr \"Aoi\"\n\n"
    "msgctxt \"MAIN:4\"\nmsgid \"おはよう。[col 2]いい天気[col 0]だね。▼\"\n"
    "msgstr \"Morning. [col 2]Nice day[col 0], huh.▼\"\n\n"
    "msgctxt \"MAIN:6\"\nmsgid \"北へ行く\"\nmsgstr \"Go north\"\n\n"
    "msgctxt \"MAIN:8\"\nmsgid \"南へ行く\"\nmsgstr \"Go south\"\n\n"
    "msgctxt \"MAIN:11\"\nmsgid \"ゆうき\"\nmsgstr \"Yuki\"\n\n"
    "msgctxt \"MAIN:12\"\nmsgid \"着いたね。▼\"\nmsgstr \"We made it.▼\"\n\n"
    "msgctxt \"MAIN:13\"\nmsgid \"つづく▼\"\nmsgstr \"To be continued▼\"\n";

class PlayedTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteGame(game_.Path(), {{"main", kMain}, {"_config", kConfig}});
    WriteText(game_ / "en.po", std::string(kHeader) + kPo);
  }
  void Click(Session& s, int x, int y) {
    InputEvent e;
    e.kind = InputEvent::Kind::kMouseMove;
    e.x = x;
    e.y = y;
    s.engine().HandleEvent(e);
    e.kind = InputEvent::Kind::kMouseDown;
    s.engine().HandleEvent(e);
    e.kind = InputEvent::Kind::kMouseUp;
    s.engine().HandleEvent(e);
  }
  // Plays to the second page ("We made it" or its original), taking the first choice.
  void PlayToSecondPage(Session& s) {
    s.RunFor(2000);
    Click(s, 400, 300);
    s.RunFor(500);
    ASSERT_EQ(s.engine().ChoiceList().Count(), 2);
    Click(s, 400, s.engine().ChoiceList().BoxTop() + 25);
    s.RunFor(2000);
    ASSERT_EQ(s.state().vars.V[10], 1);
  }
  TempDir game_, config_;
};

TEST_F(PlayedTranslation, ShowsTranslatedPageHistoryChoicesAndDump) {
  Session plain(game_.Path(), config_.Path());
  plain.RunFor(2000);
  const int32_t originalColour = plain.state().vars.S[37];

  Session s(game_.Path(), config_.Path(), game_ / "en.po");
  s.RunFor(2000);
  EXPECT_TRUE(s.engine().TranslationInUse());
  EXPECT_FALSE(plain.engine().TranslationInUse());
  EXPECT_EQ(s.PageRow(0), "Aoi");
  EXPECT_EQ(s.PageRow(1), "Morning. Nice day, huh.");
  // The plate keeps the colour the game gives the speaker under the original name.
  EXPECT_EQ(s.state().vars.S[37], originalColour);
  const std::vector<std::string> history = s.History();
  EXPECT_NE(std::find(history.begin(), history.end(), "Aoi"), history.end());
  EXPECT_NE(std::find(history.begin(), history.end(), "Morning. Nice day, huh."), history.end());
  // The backlog's page record holds the page as shown.
  const PageRing& ring = s.engine().BacklogScreen().Ring();
  ASSERT_EQ(ring.pageCounter, 1);
  std::string recorded;
  for (const char c : ring.records[0].text[1]) {
    if (c != 0) recorded.push_back(c);
  }
  EXPECT_EQ(recorded, "Morning. Nice day, huh.");
  // Positions are the script's own.
  EXPECT_EQ(s.state().scriptPos, plain.state().scriptPos);
  EXPECT_EQ(s.state().lineStart, plain.state().lineStart);
  const std::string dump = s.engine().DumpState(0);
  EXPECT_NE(dump.find("\"Morning. Nice day, huh.\""), std::string::npos);
  EXPECT_NE(dump.find("\"speaker\":\"Aoi\""), std::string::npos);

  Click(s, 400, 300);
  s.RunFor(500);
  ASSERT_EQ(s.engine().ChoiceList().Count(), 2);
  EXPECT_STREQ(s.engine().ChoiceList().Text(0), "Go north");
  EXPECT_STREQ(s.engine().ChoiceList().Text(1), "Go south");
}

TEST_F(PlayedTranslation, SavesLoadWithAndWithoutTheTranslation) {
  struct Case {
    bool savedTranslated;
    const char* nextPage;  // shown after the load and a click
  };
  const Case cases[] = {{true, "つづく"}, {false, "To be continued"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.savedTranslated ? "saved with it" : "saved without it");
    fs::remove_all(game_ / "save");
    int32_t pos = 0, lineStart = 0;
    {
      Session s(game_.Path(), config_.Path(), c.savedTranslated ? game_ / "en.po" : "");
      PlayToSecondPage(s);
      EXPECT_EQ(s.PageRow(0), c.savedTranslated ? "Yuki" : "ゆうき");
      ASSERT_TRUE(s.engine().Saves().Games().SaveGame(1, true));
      pos = s.state().scriptPos;
      lineStart = s.state().lineStart;
    }
    Session s(game_.Path(), config_.Path(), c.savedTranslated ? "" : game_ / "en.po");
    s.RunFor(1000);
    ASSERT_TRUE(s.engine().Saves().Games().LoadGame(1, true));
    s.RunFor(500);
    EXPECT_EQ(s.state().scriptPos, pos);
    EXPECT_EQ(s.state().lineStart, lineStart);
    EXPECT_EQ(s.state().vars.V[10], 1);
    Click(s, 400, 300);
    s.RunFor(2000);
    EXPECT_EQ(s.PageRow(1), c.nextPage);
  }
}

// The command line names the file (a missing one is a bad argument); the setting names one
// relative to the game directory.
TEST_F(PlayedTranslation, CommandLineAndSettingTurnItOn) {
  const ProcessResult run = RunZorvelProcess({"--headless", "--translation", game_ / "en.po",
                                              "--run-ms", "2000", "--dump-state", game_ / "d.json",
                                              "--config-dir", config_.Path(), game_.Path()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadText(game_ / "d.json").find("\"Morning. Nice day, huh.\""), std::string::npos);

  const ProcessResult missing = RunZorvelProcess({"--headless", "--translation", game_ / "none.po",
                                                  "--config-dir", config_.Path(), game_.Path()});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("--translation"), std::string::npos) << missing.err;

  WriteGame(game_.Path(), {{"main", kMain},
                           {"_config", std::string(kConfig) +
                                           "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"}});
  fs::create_directories(config_ / "Software/Zorvel");
  WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\nTranslation=en.po\n");
  Session s(game_.Path(), config_.Path());
  s.RunFor(2000);
  EXPECT_TRUE(s.engine().TranslationInUse());
  EXPECT_EQ(s.PageRow(1), "Morning. Nice day, huh.");
}

// text-import writes the translation into the archives: the patched game plays it without the
// PO file, choices included.
TEST_F(PlayedTranslation, ImportedArchivesPlayTranslatedWithoutThePo) {
  const std::string command = std::string(ZORVEL_TOOL) + " text-import " + game_.Path() + " " +
                              (game_ / "en.po") + " " + (game_ / "patched") + " >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  Session s(game_ / "patched", config_.Path());
  s.RunFor(2000);
  EXPECT_FALSE(s.engine().TranslationInUse());
  EXPECT_EQ(s.PageRow(0), "Aoi");
  EXPECT_EQ(s.PageRow(1), "Morning. Nice day, huh.");
  Click(s, 400, 300);
  s.RunFor(500);
  ASSERT_EQ(s.engine().ChoiceList().Count(), 2);
  EXPECT_STREQ(s.engine().ChoiceList().Text(1), "Go south");
}

// The scripts change after the PO was made: a line that no longer says what the msgid says
// shows as the script has it.
TEST_F(PlayedTranslation, StaleEntriesShowTheScript) {
  std::string main = kMain;
  main.replace(main.find("おはよう"), std::string("おはよう").size(), "こんにちは");
  WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
  Session s(game_.Path(), config_.Path(), game_ / "en.po");
  s.RunFor(2000);
  EXPECT_EQ(s.PageRow(0), "Aoi");
  EXPECT_EQ(s.PageRow(1), "こんにちは。いい天気だね。");
}

// A translated line longer than the line buffer is cut on a character boundary.
TEST_F(PlayedTranslation, OverlongLineIsCutInsideTheBuffer) {
  std::string wide;
  for (int i = 0; i < 1500; ++i) wide += "あ";
  WriteText(game_ / "long.po", std::string(kHeader) +
                                   "msgctxt \"MAIN:4\"\nmsgid "
                                   "\"おはよう。[col 2]いい天気[col 0]だね。▼\"\nmsgstr \"x" +
                                   wide + "\"\n");
  Session s(game_.Path(), config_.Path(), game_ / "long.po");
  s.RunFor(200);
  const std::string line(s.state().lineBuffer);
  EXPECT_EQ(line.size(), 2045u);
  EXPECT_EQ(line.substr(1, 2), Sjis("あ"));
}

// The demo through the tools: an identity translation (every msgstr its msgid) imports to
// archives equal to the originals byte for byte.
TEST(TextTools, DemoExportsAndImportsUnchangedUnderAnIdentityTranslation) {
  TempDir tmp;
  auto run = [&tmp](const std::string& args) {
    const int status = std::system(
        (std::string(ZORVEL_TOOL) + " " + args + " >" + (tmp / "out") + " 2>" + (tmp / "err"))
            .c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(run("build-game " + std::string(ZORVEL_SOURCE_DIR) + "/demo " + (tmp / "game")), 0);
  ASSERT_EQ(run("text-export " + (tmp / "game") + " " + (tmp / "demo.pot")), 0)
      << ReadText(tmp / "err");
  const PoFile pot = Read(ReadText(tmp / "demo.pot"));
  EXPECT_TRUE(pot.problems.empty());
  EXPECT_GT(pot.entries.size(), 100u);
  // Each kind of text is there, named by its place.
  const auto has = [&pot](const std::string& context, const std::string& id) {
    return std::any_of(pot.entries.begin(), pot.entries.end(),
                       [&](const PoEntry& e) { return e.context == context && e.id == id; });
  };
  EXPECT_TRUE(has("MAIN:24", "あおい"));
  EXPECT_TRUE(has("MAIN:25", "[cv AOI_001]ここまでの話は、ホイールか Backspace で読み返せるよ。▼"));
  EXPECT_TRUE(has("MAIN:44", "もう一周する"));
  EXPECT_TRUE(has("MAP:7", "駅"));
  EXPECT_FALSE(has("MAIN:46", "$3"));

  std::string identity = kHeader;
  for (const PoEntry& e : pot.entries) {
    identity += "msgctxt " + PoQuote(e.context) + "\nmsgid " + PoQuote(e.id) + "\nmsgstr " +
                PoQuote(e.id) + "\n\n";
  }
  WriteText(tmp / "identity.po", identity);
  ASSERT_EQ(
      run("text-import " + (tmp / "game") + " " + (tmp / "identity.po") + " " + (tmp / "out_game")),
      0)
      << ReadText(tmp / "err");
  EXPECT_EQ(ReadText(tmp / "err"), "");
  ResourceArchive before, after;
  ASSERT_TRUE(before.Open(tmp / "game/vx_data.kpz", IndexLayout::kA));
  ASSERT_TRUE(after.Open(tmp / "out_game/vx_data.kpz", IndexLayout::kA));
  ASSERT_EQ(before.Entries().size(), after.Entries().size());
  for (size_t i = 0; i < before.Entries().size(); ++i) {
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(before.Read(static_cast<int>(i), a));
    ASSERT_TRUE(after.Read(static_cast<int>(i), b));
    EXPECT_EQ(before.Entries()[i].name, after.Entries()[i].name);
    EXPECT_EQ(a, b) << before.Entries()[i].name;
  }
  EXPECT_EQ(ReadText(tmp / "game/vx_data.kpz"), ReadText(tmp / "out_game/vx_data.kpz"));
  // The game directory itself is never the target.
  EXPECT_EQ(
      run("text-import " + (tmp / "game") + " " + (tmp / "identity.po") + " " + (tmp / "game")), 1);
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

// The demo's English translation, played to its end as a player clicks through it: every page
// fits the rows its window shows, and the story reads in English.
TEST(DemoTranslation, EnglishDemoPlaysToTheEndInsideItsWindow) {
  TempDir tmp;
  const std::string demo = std::string(ZORVEL_SOURCE_DIR) + "/demo";
  ASSERT_EQ(std::system((std::string(ZORVEL_TOOL) + " build-game " + demo + " " + (tmp / "game") +
                         " >/dev/null")
                            .c_str()),
            0);
  fs::create_directories(tmp / "config");
  Session s(tmp / "game", tmp / "config", demo + "/translations/en.po");
  std::vector<std::string> choices;
  const int pages = ClickThrough(s, "STITLE", [&] {
    for (int i = 0; i < s.engine().ChoiceList().Count(); ++i) {
      choices.push_back(SjisToUtf8(s.engine().ChoiceList().Text(i)));
    }
  });
  EXPECT_STREQ(s.state().scriptName, "STITLE");
  EXPECT_GT(pages, 20);
  EXPECT_TRUE(s.engine().MessageBoxes().empty());
  const std::vector<std::string> history = s.History();
  for (const char* line : {"Aoi", "Up the hill road. Still a long way to go.", "――The end",
                           "Click to return to the title."}) {
    EXPECT_NE(std::find(history.begin(), history.end(), line), history.end()) << line;
  }
  EXPECT_NE(std::find(choices.begin(), choices.end(), "To the north woods"), choices.end());
  EXPECT_EQ(std::find(choices.begin(), choices.end(), "北の森へ行く"), choices.end());
}

}  // namespace
}  // namespace zorvel::test
