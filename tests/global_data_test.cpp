#include "save/global_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "platform/files.h"

namespace zorvel {
namespace {

using test::ReadText;
using test::TempDir;

std::vector<uint8_t> ReadAll(const std::string& path) {
  return ReadWholeFile(path).value_or(std::vector<uint8_t>{});
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A "save0.dat" with the given bits set and a right checksum.
std::vector<uint8_t> GlobalFile(int eventFlag, int readMark, int32_t counter) {
  std::vector<uint8_t> f(kGlobalFileSize, 0);
  f[GlobalLayout::kEvents + eventFlag / 8] |= static_cast<uint8_t>(1 << (eventFlag % 8));
  f[GlobalLayout::kReadMarks + readMark / 8] |= static_cast<uint8_t>(1 << (readMark % 8));
  for (int i = 0; i < 4; ++i)
    f[GlobalLayout::kCounter + i] = static_cast<uint8_t>(counter >> 8 * i);
  const uint32_t sum = GlobalChecksum(std::span(f).first(kGlobalDataBytes));
  for (int i = 0; i < 4; ++i) f[kGlobalDataBytes + i] = static_cast<uint8_t>(sum >> 8 * i);
  return f;
}

class GlobalDataTest : public ::testing::Test {
 protected:
  GlobalDataTest() : store_(config_.Path()), where_(LocateSettings("Software\\Zorvel", "test")) {
    data_.SetDirectory(dir_.Path());
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(WriteFileAtomic(dir_ / name, bytes.data(), bytes.size()));
  }

  TempDir dir_, config_;
  IniSettingsStore store_;
  SettingsLocation where_;
  Settings settings_;
  EngineState state_;
  GlobalData data_{state_, store_, where_, settings_};
};

TEST(GlobalChecksum, IsTheReflectedCrcFrom1234WithoutInversion) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(GlobalChecksum(abc), 0x2004BC8Au);
  EXPECT_EQ(GlobalChecksum({}), 1234u);
}

TEST_F(GlobalDataTest, SyncMergesBothWaysAndWritesEveryFile) {
  Write("save0.dat", GlobalFile(7, 500, 41));
  state_.vars.E.Set(3);
  state_.vars.readMarks.Set(80000);
  state_.vars.G[0] = -5;
  state_.vars.G[9] = 12;
  data_.LoadGlobalData();

  EXPECT_TRUE(state_.vars.E.Test(7));
  EXPECT_TRUE(state_.vars.readMarks.Test(500));
  EXPECT_EQ(data_.CharacterCounter(), 41);  // at start-up the stored counter wins

  const std::vector<uint8_t> f = ReadAll(dir_ / "save0.dat");
  ASSERT_EQ(f.size(), kGlobalFileSize);
  EXPECT_EQ(f[0], (1 << 3) | (1 << 7));
  EXPECT_EQ(f[GlobalLayout::kReadMarks + 10000], 1);
  EXPECT_EQ(Le32(f, kGlobalDataBytes), GlobalChecksum(std::span(f).first(kGlobalDataBytes)));
  EXPECT_EQ(ReadAll(dir_ / "kaiso.dat").size(), kKaisoFileSize);
  EXPECT_EQ(store_.Read("Software\\Zorvel", "test", "GV00"), "-5");
  EXPECT_EQ(store_.Read("Software\\Zorvel", "test", "GV09"), "12");

  // Later syncs keep the running counter, and a bit cleared in memory comes back from the file.
  data_.CountCharacterChange();
  state_.vars.E.Clear();
  data_.SyncGlobalData();
  EXPECT_TRUE(state_.vars.E.Test(3));
  EXPECT_EQ(Le32(ReadAll(dir_ / "save0.dat"), GlobalLayout::kCounter), 42u);
}

TEST_F(GlobalDataTest, DamagedFileIsKeptAsBadAndRebuiltWithoutReadMarks) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> wrongSum = GlobalFile(1, 1, 0);
  wrongSum[kGlobalDataBytes] ^= 1;
  std::vector<uint8_t> shortFile = GlobalFile(1, 1, 0);
  shortFile.resize(5000);
  for (const Case& c : {Case{"wrong checksum", wrongSum}, Case{"short", shortFile}}) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir_ / "save0.dat.bad");
    Write("save0.dat", c.bytes);
    state_.vars.readMarks.Set(9);
    state_.vars.E.Set(2);
    data_.SyncGlobalData();
    EXPECT_FALSE(state_.vars.readMarks.Test(9));
    EXPECT_FALSE(state_.vars.E.Test(1));  // nothing of the damaged file is trusted
    EXPECT_TRUE(state_.vars.E.Test(2));
    EXPECT_EQ(ReadAll(dir_ / "save0.dat.bad"), c.bytes);
    const std::vector<uint8_t> rebuilt = ReadAll(dir_ / "save0.dat");
    ASSERT_EQ(rebuilt.size(), kGlobalFileSize);
    EXPECT_EQ(rebuilt[0], 1 << 2);
  }
}

// A kept copy holds what a damaged file still had; a later damage, even a file cut to nothing,
// never takes its place.
TEST_F(GlobalDataTest, KeptCopiesOfDamagedFilesAreNeverReplaced) {
  std::vector<uint8_t> first = GlobalFile(1, 1, 0);
  first.resize(9000);
  std::vector<uint8_t> second = GlobalFile(2, 2, 0);
  second.resize(100);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::vector<std::vector<uint8_t>> kept;  // save0.dat.bad, .bad1, ...
  };
  const Case cases[] = {
      {"a damaged file", first, {first}},
      {"one cut to nothing", {}, {first}},
      {"a smaller damage", second, {first, second}},
      {"the first damage again", first, {first, second}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("save0.dat", c.bytes);
    data_.SyncGlobalData();
    EXPECT_EQ(ReadAll(dir_ / "save0.dat").size(), kGlobalFileSize);
    for (size_t n = 0; n < c.kept.size(); ++n) {
      const std::string name = "save0.dat.bad" + (n == 0 ? "" : std::to_string(n));
      EXPECT_EQ(ReadAll(dir_ / name), c.kept[n]) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / ("save0.dat.bad" + std::to_string(c.kept.size()))));
  }
}

TEST_F(GlobalDataTest, LongerFileIsReadForItsFirstBytes) {
  std::vector<uint8_t> f = GlobalFile(4, 4, 0);
  f.resize(kGlobalFileSize + 100, 0xEE);
  Write("save0.dat", f);
  data_.SyncGlobalData();
  EXPECT_TRUE(state_.vars.E.Test(4));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "save0.dat.bad"));
  EXPECT_EQ(ReadAll(dir_ / "save0.dat").size(), kGlobalFileSize);
}

TEST_F(GlobalDataTest, WithoutADirectoryNothingReachesTheDisk) {
  data_.SetDirectory("");
  data_.LoadGlobalData();
  state_.vars.readMarks.Set(77);
  data_.SyncGlobalData();
  state_.vars.readMarks.Clear();
  data_.SyncGlobalData();
  EXPECT_TRUE(state_.vars.readMarks.Test(77));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
}

TEST(SaveDirectory, GivenWinsThenTheGameDirectoryThenThePerUserFolder) {
  TempDir game, data, given;
  // Each is made with its folder of slots when it is not there yet.
  EXPECT_EQ(ResolveSaveDirectory(given / "new/dir", game.Path(), "ID"), given / "new/dir");
  EXPECT_TRUE(std::filesystem::is_directory(given / "new/dir/save"));
  EXPECT_EQ(ResolveSaveDirectory("", game.Path(), "ID"), game.Path());
  EXPECT_TRUE(std::filesystem::is_directory(game / "save"));
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  // A game directory that cannot be written to (here: one that is not there at all).
  EXPECT_EQ(ResolveSaveDirectory("", game / "missing", "../My/Game"), data / "zorvel/.._My_Game");
  EXPECT_TRUE(std::filesystem::is_directory(data / "zorvel/.._My_Game/save"));
  if (old) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace zorvel

namespace zorvel::test {
namespace {

// What a player reads in one run is known as read in the next: the close writes it out and the
// next start reads it back, so skipping runs through it. A save directory named on the command
// line that is not there yet is made.
TEST(GlobalDataRuns, ReadMarksLastAcrossRuns) {
  for (const bool given : {false, true}) {
    SCOPED_TRACE(given ? "--save-dir not there yet" : "beside the game");
    TempDir game, config, out;
    WriteGame(game.Path(), {{"main", "@mark 3\nひとつめ▼\n@mark 4\nふたつめ▼\n@sleep -1\n"},
                            {"_config", "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"}});
    WriteText(out / "ev.txt",
              "500 click 400 300\n1000 click 400 300\n1500 close\n1600 msgbox ok\n");
    const std::string saves = given ? out / "saves/of/test" : game.Path();
    std::vector<std::string> where;
    if (given) where = {"--save-dir", saves};
    auto run = [&](std::vector<std::string> args) {
      args.insert(args.begin(), where.begin(), where.end());
      args.push_back(game.Path());
      return RunZorvel(args);
    };
    ASSERT_EQ(run({"--headless", "--config-dir", config.Path(), "--events", out / "ev.txt",
                   "--run-ms", "3000"}),
              0);
    ASSERT_TRUE(std::filesystem::exists(saves + "/save0.dat"));
    EXPECT_EQ(std::filesystem::file_size(saves + "/save0.dat"), kGlobalFileSize);
    EXPECT_EQ(std::filesystem::file_size(saves + "/kaiso.dat"), kKaisoFileSize);
    EXPECT_TRUE(std::filesystem::is_directory(saves + "/save"));
    ASSERT_EQ(run({"--headless", "--config-dir", config.Path(), "--run-ms", "10", "--dump-state",
                   out / "state.json"}),
              0);
    const std::string dump = ReadText(out / "state.json");
    EXPECT_EQ(dump.find("\"readMarks\":[]"), std::string::npos) << dump.substr(0, 400);
  }
}

}  // namespace
}  // namespace zorvel::test
