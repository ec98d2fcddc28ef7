// Saving and loading at the edges: the remembered last slot, what a load resumes (a waiting
// choice, plain text, a slot made by hand), the player's names, read marks that outlive an older
// slot, a save that cannot be written, and a "save0.dat" that vanishes while the game runs.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "fixture.h"
#include "platform/files.h"
#include "resources/archive.h"
#include "save/global_data.h"
#include "save/save_screens.h"
#include "save/slot_file.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

// Runs `body` with a file-size limit below a slot's size, so every slot write fails (even for
// root) while the small global data and settings still fit. False when the limit cannot be set.
template <class Body>
bool UnderSmallFileLimit(Body body) {
  rlimit old{};
  if (getrlimit(RLIMIT_FSIZE, &old) != 0) return false;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100000;
  const bool limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
  if (limited) body();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  return limited;
}

constexpr char kConfig[] = "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n";
constexpr char kThreePages[] = "!V001=1\nいち▼\n!V001=2\nに▼\n!V001=3\nさん▼\n@sleep -1\n";

class SaveEdgeTest : public ::testing::Test {
 protected:
  // Starts `main` with the given settings lines and runs until its first wait.
  Session& Start(const std::string& main, const std::string& settings = "") {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    return Restart(settings);
  }
  // A new run of the same game (the settings are read at start).
  Session& Restart(const std::string& settings = "") {
    session_.reset();
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(1000);
    return *session_;
  }
  void Click() {
    session_->Events(std::to_string(session_->platform().Ticks()) + " click 400 300\n");
    session_->RunFor(500);
  }
  SaveGames& Games() { return session_->engine().Saves().Games(); }
  EngineState& State() { return session_->state(); }
  std::string Slot(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "save/save%02d.dat", n);
    return game_ / name;
  }
  SlotFile Parsed(int n) {
    SlotFile file;
    std::string why;
    EXPECT_TRUE(file.Parse(ReadWholeFile(Slot(n)).value_or(std::vector<uint8_t>{}), why)) << why;
    return file;
  }
  // The value of a setting in the INI file, "" when it is not there.
  std::string Setting(const std::string& key) {
    std::istringstream ini(ReadText(config_ / "Software/Zorvel/Test.ini"));
    for (std::string line; std::getline(ini, line);) {
      if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return "";
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(SaveEdgeTest, OnlySlotsUpToSixtyAreRememberedAsTheLastSaved) {
  Start(kThreePages);
  struct Case {
    int slot;
    const char* remembered;
  };
  for (const Case& c : {Case{5, "5"}, Case{60, "60"}, Case{61, "60"}, Case{99, "60"}}) {
    SCOPED_TRACE(c.slot);
    ASSERT_TRUE(Games().SaveGame(c.slot, true));
    EXPECT_TRUE(std::filesystem::exists(Slot(c.slot)));
    EXPECT_EQ(Setting("LastSaveSlot"), c.remembered);
    EXPECT_EQ(std::to_string(session_->engine().CurrentSettings().LastSaveSlot), c.remembered);
  }
}

// A save while a choice waits resumes at the command that offers it, so the choice is offered
// again; a save at a click wait resumes right there.
TEST_F(SaveEdgeTest, LoadShowsAWaitingChoiceAgainAndPlainTextWhereItWas) {
  Session& s = Start("!V001=1\nまえ▼\n@select\n{One\n!V001=2\n{Two\n!V001=3\n}\n@sleep -1\n");
  ASSERT_EQ(State().interactionMode, 0);
  ASSERT_TRUE(Games().SaveGame(1, true));
  EXPECT_EQ(Parsed(1).Record(kRecResume), State().scriptPos);

  Click();
  ASSERT_EQ(State().interactionMode, 1);
  ASSERT_EQ(s.engine().ChoiceList().Count(), 2);
  ASSERT_NE(State().lineStart, State().scriptPos);
  ASSERT_TRUE(Games().SaveGame(2, true));
  EXPECT_EQ(Parsed(2).Record(kRecResume), State().lineStart);

  ASSERT_TRUE(Games().LoadGame(1, true));
  s.RunFor(500);
  EXPECT_EQ(State().interactionMode, 0);
  EXPECT_EQ(State().vars.V[1], 1);

  ASSERT_TRUE(Games().LoadGame(2, true));
  s.RunFor(500);
  EXPECT_EQ(State().interactionMode, 1);
  ASSERT_EQ(s.engine().ChoiceList().Count(), 2);
  EXPECT_EQ(SjisToUtf8(s.engine().ChoiceList().Text(0)), "One");
  EXPECT_EQ(SjisToUtf8(s.engine().ChoiceList().Text(1)), "Two");
}

// $0 and $1 follow the names the player has now; a saved speaker name follows them when S080
// says the speaker is the player.
TEST_F(SaveEdgeTest, LoadTakesThePlayersCurrentNames) {
  struct Case {
    int s080;
    const char* speaker;
  };
  for (const Case& c : {Case{0, "Someone"}, Case{1, "Ken"}, Case{2, "Mio"}}) {
    SCOPED_TRACE(c.s080);
    Start("@string 0 Old\n@string 1 Older\n!S080=" + std::to_string(c.s080) +
              "\n>Someone\nこんにちは▼\n@sleep -1\n",
          "PlayerName=Aki\nPlayerName2=Sora\n");
    ASSERT_STREQ(State().speakerName, "Someone");
    ASSERT_TRUE(Games().SaveGame(3, true));
    EXPECT_EQ(Parsed(3).Text(SlotLayout::kStrings, 64), "Old");

    Restart("PlayerName=Ken\nPlayerName2=Mio\n");
    State().vars.S[80] = 0;
    std::strcpy(State().speakerName, "Other");
    ASSERT_TRUE(Games().LoadGame(3, true));
    EXPECT_EQ(session_->StringVar(0), "Ken");
    EXPECT_EQ(session_->StringVar(1), "Mio");
    EXPECT_STREQ(State().speakerName, c.speaker);
    EXPECT_EQ(State().vars.S[6], 1);  // the names differ from the game's defaults
  }
}

TEST_F(SaveEdgeTest, ReadMarksSetAfterASaveSurviveLoadingIt) {
  Start("@mark 3\nいち▼\n@mark 4\nに▼\n@sleep -1\n");
  ASSERT_TRUE(Games().SaveGame(1, true));
  Click();
  ASSERT_TRUE(State().vars.readMarks.Test(4));
  const SlotFile older = Parsed(1);
  ASSERT_EQ(older.At(SlotLayout::kReadMarks, 1)[0], 1 << 3);  // the slot knows only mark 3

  ASSERT_TRUE(Games().LoadGame(1, true));
  EXPECT_TRUE(State().vars.readMarks.Test(3));
  EXPECT_TRUE(State().vars.readMarks.Test(4));
}

// A save that cannot be written leaves the slot as it was, does not become the last saved
// slot, and the game goes on.
TEST_F(SaveEdgeTest, FailedWriteKeepsTheOldSlotAndTheGameGoesOn) {
  Session& s = Start(kThreePages);
  ASSERT_TRUE(Games().SaveGame(1, true));
  const std::vector<uint8_t> before = ReadWholeFile(Slot(1)).value();
  Click();
  ASSERT_EQ(State().vars.V[1], 2);

  // A file-size limit below the slot size makes every slot write fail, even for root; the
  // global data and the settings are small enough to be written.
  bool overOld = true;
  bool intoNew = true;
  ASSERT_TRUE(UnderSmallFileLimit([&] {
    overOld = Games().SaveGame(1, true);
    intoNew = Games().SaveGame(2, true);
  }));

  EXPECT_FALSE(overOld);
  EXPECT_FALSE(intoNew);
  EXPECT_EQ(ReadWholeFile(Slot(1)).value(), before);
  EXPECT_FALSE(std::filesystem::exists(Slot(2)));
  for (const auto& entry : std::filesystem::directory_iterator(game_ / "save")) {
    EXPECT_TRUE(entry.path().filename() == "save01.dat") << entry.path();
  }
  EXPECT_EQ(Setting("LastSaveSlot"), "1");
  EXPECT_FALSE(State().busy);
  EXPECT_TRUE(State().interpreterOn);
  Click();
  EXPECT_EQ(State().vars.V[1], 3);
  ASSERT_TRUE(Games().LoadGame(1, true));
  s.RunFor(300);
  EXPECT_EQ(State().vars.V[1], 1);
}

TEST_F(SaveEdgeTest, DeletedGlobalFileIsRebuiltWithReadMarksStartingOver) {
  Start("@mark 3\n!E005=1\nいち▼\n@sleep -1\n");
  const std::string global = game_ / "save0.dat";
  ASSERT_TRUE(std::filesystem::exists(global));
  ASSERT_TRUE(State().vars.readMarks.Test(3));
  std::filesystem::remove(global);

  ASSERT_TRUE(Games().SaveGame(1, true));  // a save synchronises the global data
  const std::vector<uint8_t> rebuilt = ReadWholeFile(global).value_or(std::vector<uint8_t>{});
  ASSERT_EQ(rebuilt.size(), kGlobalFileSize);
  EXPECT_EQ(rebuilt[GlobalLayout::kEvents], 1 << 5);
  EXPECT_EQ(rebuilt[GlobalLayout::kReadMarks], 0);
  EXPECT_FALSE(State().vars.readMarks.Test(3));
  EXPECT_TRUE(State().vars.E.Test(5));
}

// Where the plain script (Shift-JIS, 0-ended lines) has line `index` of `utf8`.
int32_t LineOffset(const std::string& utf8, int index) {
  std::istringstream lines(utf8);
  int32_t at = 0;
  std::string line;
  for (int i = 0; i < index && std::getline(lines, line); ++i) {
    at += static_cast<int32_t>(Utf8ToSjis(line).value().size() + 1);
  }
  return at;
}

// A slot made by hand from `made`, written as slot `n` of the game.
void WriteSlot(const std::string& path, const EngineState& made) {
  PageRing ring;
  Surface scene(800, 600);
  const std::vector<uint8_t> bytes = BuildSlotFile(SlotSource{made, ring, scene, "", std::tm{}});
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(WriteFileAtomic(path, bytes.data(), bytes.size()));
}

// A slot from another source than this engine's own save: only the layout counts.
TEST_F(SaveEdgeTest, HandMadeSlotResumesAtItsPosition) {
  Session& s = Start(kThreePages);
  ASSERT_EQ(State().vars.V[1], 1);

  auto made = std::make_unique<EngineState>();
  std::strcpy(made->scriptName, "main");
  std::strcpy(made->loadedScriptName, "main");
  made->scriptPos = LineOffset(kThreePages, 2);  // "!V001=2"
  made->scriptSize = State().scriptSize;
  made->interpreterOn = true;
  made->needLine = true;
  made->vars.V[5] = 42;
  WriteSlot(Slot(7), *made);

  ASSERT_TRUE(Games().LoadGame(7, true));
  s.RunFor(1000);
  EXPECT_EQ(State().vars.V[5], 42);
  EXPECT_EQ(State().vars.V[1], 2);
  std::string page;
  for (int row = 0; row < 20; ++row) page += s.PageRow(row);
  EXPECT_EQ(page, "に");
  Click();
  EXPECT_EQ(State().vars.V[1], 3);
}

// A slot that names a script the game lacks, or goes on past the end of its script, is refused
// before anything of the running game changes; the game goes on where it was.
TEST_F(SaveEdgeTest, SlotThatCannotGoOnIsRefusedAndTheGameGoesOn) {
  struct Case {
    const char* what;
    const char* script;
    int32_t resume, lineStart, size;
  };
  const int32_t mainSize = static_cast<int32_t>(EncodeScript(kThreePages).size());
  const Case cases[] = {
      {"a script the game lacks", "nosuch", 50000000, 0, 50000000},
      {"a script the game lacks, at its start", "nosuch", 0, 0, 0},
      {"past the end of its script", "main", 50000000, 0, 50000000},
      {"one byte past the end", "main", mainSize + 1, 0, mainSize + 1},
      {"before the start", "main", -4, 0, mainSize},
      {"its line past the end", "main", 0, 1 << 20, mainSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session& s = Start(kThreePages);
    ASSERT_EQ(State().vars.V[1], 1);
    auto made = std::make_unique<EngineState>();
    std::strcpy(made->scriptName, c.script);
    std::strcpy(made->loadedScriptName, c.script);
    made->scriptPos = c.resume;
    made->lineStart = c.lineStart;
    made->scriptSize = c.size;
    made->interpreterOn = true;
    made->needLine = true;
    made->vars.V[1] = 9;
    made->vars.V[5] = 42;
    WriteSlot(Slot(8), *made);

    EXPECT_FALSE(Games().LoadGame(8, false));
    EXPECT_FALSE(State().busy);
    EXPECT_TRUE(State().interpreterOn);
    EXPECT_TRUE(State().textWindowOn);
    EXPECT_EQ(State().vars.V[5], 0);
    EXPECT_STREQ(State().loadedScriptName, "main");
    s.RunFor(300);
    std::string page;
    for (int row = 0; row < 20; ++row) page += s.PageRow(row);
    EXPECT_EQ(page, "いち");
    Click();
    EXPECT_EQ(State().vars.V[1], 2);
  }
  // At the end of its script exactly, a slot loads (and the script has ended).
  auto made = std::make_unique<EngineState>();
  std::strcpy(made->loadedScriptName, "main");
  made->scriptPos = made->lineStart = mainSize;
  made->needLine = made->interpreterOn = true;
  made->vars.V[5] = 42;
  WriteSlot(Slot(9), *made);
  EXPECT_TRUE(Games().LoadGame(9, true));
  EXPECT_EQ(State().vars.V[5], 42);
  EXPECT_EQ(State().scriptSize, mainSize);
}

// A save made in the middle of a line: the rest of the line goes on after the text typed before
// the save, not over it.
TEST_F(SaveEdgeTest, LoadInTheMiddleOfALineKeepsItsHistory) {
  // A window wide enough that the line does not wrap (a wrap would end the history line).
  WriteGame(game_.Path(), {{"main", "いち▼\nあい%100うえ▼\n@sleep -1\n"},
                           {"_config", std::string(kConfig) + "MOJI_MAX_X:40\nMOJI_MAX_Y:4\n"}});
  Restart();
  Click();
  ASSERT_EQ(session_->History(), std::vector<std::string>{"いち"});
  ASSERT_GT(State().waitTicks, 0);  // "あい" typed, the wait before "うえ" running
  ASSERT_TRUE(Games().SaveGame(1, true));
  EXPECT_EQ(Parsed(1).Record(22), kHistorySlotSize + 4);

  // The same run, and a new one whose history is empty.
  for (bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "after a restart" : "in the same run");
    if (restart) Restart();
    ASSERT_TRUE(Games().LoadGame(1, true));
    EXPECT_EQ(State().historyLen, kHistorySlotSize + 4);
    session_->RunFor(7000);
    EXPECT_EQ(session_->History(), (std::vector<std::string>{"いち", "あいうえ"}));
  }
}

// The effect that announces a save, from an Ogg archive as games ship it.
std::vector<uint8_t> SaveSoundArchive() {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/tone_silence.ogg",
                   std::ios::binary);
  std::vector<uint8_t> ogg{std::istreambuf_iterator<char>(in), {}};
  return BuildArchive(IndexLayout::kB, 32, {{"SSE05", ogg}});
}

// A save whose slot cannot be written is not announced and does not touch the global data.
TEST_F(SaveEdgeTest, FailedWriteIsNotAnnouncedAndSyncsNothing) {
  const std::vector<uint8_t> archive = SaveSoundArchive();
  ASSERT_GT(archive.size(), 100u);
  WriteGame(game_.Path(),
            {{"main", kThreePages}, {"_config", std::string(kConfig) + "VXD_OGG:1\n"}});
  ASSERT_TRUE(WriteFileAtomic(game_ / "vx_ogg1.kpz", archive.data(), archive.size()));
  Session& s = Restart();
  const std::string global = game_ / "save0.dat";
  const std::vector<uint8_t> globalBefore = ReadWholeFile(global).value();
  State().vars.E.Set(6);

  bool saved = true;
  ASSERT_TRUE(UnderSmallFileLimit([&] { saved = Games().SaveGame(3, false); }));

  EXPECT_FALSE(saved);
  EXPECT_EQ(s.engine().Audio().Device().Label(0), "");
  EXPECT_EQ(ReadWholeFile(global).value(), globalBefore);
  EXPECT_FALSE(State().busy);
  EXPECT_FALSE(State().toolbarLocked);

  // The same save that can be written is announced and synchronised.
  ASSERT_TRUE(Games().SaveGame(3, false));
  EXPECT_EQ(s.engine().Audio().Device().Label(0), "SSE05");
  EXPECT_EQ(ReadWholeFile(global).value()[GlobalLayout::kEvents], 1 << 6);
}

}  // namespace
}  // namespace zorvel::test
