// Archive indexes, the game configuration, the settings with their defaults and the store.
#include <gtest/gtest.h>

#include "fixture.h"
#include "resources/archive.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "text/sjis.h"

namespace zorvel {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> out;
  for (uint32_t w : words) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
  }
  return out;
}

TEST(ArchiveIndex, BothLayoutsRoundTripAndUpperCaseNames) {
  for (const IndexLayout layout : {IndexLayout::kA, IndexLayout::kB}) {
    std::vector<ArchiveEntry> entries = {{"MAIN", 100, 5}, {"BG01", 105, 0}, {"MAIN", 105, 1}};
    auto bytes = BuildIndex(layout, entries, 24);
    entries[0].name = "main";
    std::vector<std::string> problems;
    const auto parsed = ParseIndex(layout, bytes, 200, &problems);
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_EQ(parsed[1].name, "BG01");
    EXPECT_EQ(parsed[2].offset, 105u);
    EXPECT_TRUE(problems.empty());
  }
}

TEST(ArchiveIndex, DamagedIndexesAreRefusedEntryByEntry) {
  std::vector<std::string> problems;
  // Declares a billion entries but holds one: only the one is read, nothing huge allocated.
  auto a = Bytes({1000000000});
  a.resize(4 + 24, 0);
  a[4] = 'X';
  EXPECT_EQ(ParseIndex(IndexLayout::kA, a, 1000, &problems).size(), 1u);
  EXPECT_FALSE(problems.empty());

  // An entry that reaches past the end of the file is dropped, the others kept.
  std::vector<ArchiveEntry> entries = {
      {"OK", 40, 10}, {"PAST", 50, 100}, {"WRAP", 0xFFFFFFF0u, 0x20}};
  problems.clear();
  const auto kept =
      ParseIndex(IndexLayout::kB, BuildIndex(IndexLayout::kB, entries, 8), 60, &problems);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].name, "OK");
  EXPECT_EQ(problems.size(), 2u);

  // Absurd or zero name widths, and headers cut short.
  for (const auto& bad :
       {Bytes({1, 0}), Bytes({1, 0xFFFFFFFF}), Bytes({}), std::vector<uint8_t>{1, 0}}) {
    EXPECT_TRUE(ParseIndex(IndexLayout::kB, bad, 1 << 20, nullptr).empty());
  }
  EXPECT_EQ(IndexTableBytes(IndexLayout::kB, Bytes({0xFFFFFFFF, 1000}), 4096, nullptr),
            4032u);  // the four records that fit
  EXPECT_TRUE(ParseIndex(IndexLayout::kA, Bytes({0}), 4, nullptr).empty());
}

TEST(ArchiveFile, FindIsCaseBlindAndFirstWins) {
  test::TempDir dir;
  test::WriteArchiveA(dir / "a.kpz", {{"Sub", {4}}, {"main", {1, 2, 3}}});  // index: SUB, MAIN
  ResourceArchive archive;
  ASSERT_TRUE(archive.Open(dir / "a.kpz", IndexLayout::kA));
  EXPECT_EQ(archive.Find("MAIN"), 1);
  EXPECT_EQ(archive.Find("sub"), 0);
  EXPECT_EQ(archive.Find("none"), -1);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(archive.Read(0, bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{4});
  ResourceArchive missing;
  EXPECT_FALSE(missing.Open(dir / "none.kpz", IndexLayout::kB));
  EXPECT_EQ(missing.Find("MAIN"), -1);
}

std::vector<uint8_t> ConfigText(const std::string& utf8) {
  std::vector<uint8_t> out;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    const auto line = Utf8ToSjis(utf8.substr(start, end - start));
    out.insert(out.end(), line->begin(), line->end());
    out.push_back(0);
    start = end + 1;
  }
  return out;
}

TEST(GameConfigParse, KeysValuesSpeakersAndEnd) {
  std::vector<std::string> problems;
  const GameConfig c = ParseConfig(
      ConfigText(
          "; comment\n*also\ntitle:abc\nTITLE: abc:def\nTXW_OFS_X:  42\nVOLUME2:80\nUNKNOWN:1\n"
          "no colon\nNAME:3,Alice,\nNAME:4,ボブ,F80\nNAME:5,C,gg0\nNAME:70,X,000\nend\nEND\n"
          "GAME_ID:late\n"),
      &problems);
  EXPECT_EQ(c.TITLE, " abc:def");
  EXPECT_EQ(c.TXW_OFS_X, 42);
  EXPECT_EQ(c.VOLUME2, 80);
  EXPECT_EQ(c.GAME_ID, "");
  EXPECT_TRUE(c.speakers[3].defined);
  EXPECT_EQ(c.speakers[3].r + c.speakers[3].g + c.speakers[3].b, 255 * 3);
  EXPECT_EQ(SjisToUtf8(c.speakers[4].name), "ボブ");
  EXPECT_EQ(c.speakers[4].r, 240);
  EXPECT_EQ(c.speakers[4].g, 128);
  EXPECT_EQ(c.speakers[4].b, 0);
  EXPECT_EQ(c.speakers[5].r, 255);
  EXPECT_EQ(c.speakers[5].g, 255);
  EXPECT_EQ(c.speakers[5].b, 0);
  EXPECT_EQ(problems.size(), 1u);  // entry 70
  EXPECT_EQ(c.FindSpeaker(*Utf8ToSjis("ボブ")), &c.speakers[4]);
}

class MemoryStore : public SettingsStore {
 public:
  std::map<std::string, std::string> values;
  std::optional<std::string> Read(const std::string& key, const std::string& section,
                                  const std::string& name) override {
    const auto it = values.find(key + "|" + section + "|" + name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool Write(const std::string& key, const std::string& section, const std::string& name,
             const std::string& value) override {
    values[key + "|" + section + "|" + name] = value;
    return true;
  }
};

TEST(SettingsRead, FreshMachineDefaultsAndConfiguredDefaults) {
  GameConfig config;
  config.VOLUME2 = 80;
  config.FONT_NAME = "Face";
  config.DEFAULT_NAME = "A";
  MemoryStore store;
  const auto where = LocateSettings("Software\\Maker", "game");
  ASSERT_TRUE(where.valid);
  const Settings s = ReadSettings(store, where, config, 1920, 1080);
  EXPECT_EQ(s.BGM_ENA, 1);
  EXPECT_EQ(s.SE_ENA, 1);
  EXPECT_EQ(s.CV1, 1);
  EXPECT_EQ(s.Delay, 0);
  EXPECT_EQ(s.SMode, 0);
  EXPECT_EQ(s.FONTSIZE, 19);
  EXPECT_EQ(s.Left, (1920 - kWindowOuterWidth) / 2);
  EXPECT_EQ(s.Vol2, 80);
  EXPECT_EQ(s.FontName, "Face");
  EXPECT_EQ(s.PlayerName, "A");
  EXPECT_EQ(s.CDDir, "NULL");
}

TEST(SettingsRead, StoredValuesAndNarrowDesktops) {
  MemoryStore store;
  const auto where = LocateSettings("Software\\Maker", "game");
  store.Write(where.keyPath, "game", "FONTSIZE", "24");
  store.Write(where.keyPath, "game", "SE_ENA", "abc");
  store.Write(where.keyPath, "game", "Delay", " 1 ");
  store.Write(where.keyPath, "game", "PlayerName", "ゆうき");
  const Settings s = ReadSettings(store, where, GameConfig{}, 600, 480);
  EXPECT_EQ(s.FONTSIZE, 24);
  EXPECT_EQ(s.SE_ENA, 1);
  EXPECT_EQ(s.Delay, 1);
  EXPECT_EQ(SjisToUtf8(s.PlayerName), "ゆうき");
  EXPECT_EQ(s.SMode, 2);
}

TEST(SettingsLocation, PathsThatLeaveTheDirectoryAreRefused) {
  for (const char* bad : {"..\\x", "Software\\..\\..\\etc", "/etc", "\\abs", "C:\\x", "a/./b"}) {
    EXPECT_FALSE(LocateSettings(bad, "g").valid) << bad;
  }
  for (const char* badSection : {"..", "a/b", "x]y"}) {
    EXPECT_FALSE(LocateSettings("Software\\M", badSection).valid) << badSection;
  }
  EXPECT_TRUE(LocateSettings("Software\\M..ker", "g").valid);
}

TEST(IniStore, WritesSectionsAtomicallyAndReadsBack) {
  test::TempDir dir;
  IniSettingsStore store(dir.Path());
  EXPECT_FALSE(store.Read("Software\\M", "g", "X"));
  ASSERT_TRUE(store.Write("Software\\M", "g", "X", "1"));
  ASSERT_TRUE(store.Write("Software\\M", "h", "X", "2"));
  ASSERT_TRUE(store.Write("Software\\M", "g", "Y", "名前"));
  ASSERT_TRUE(store.Write("Software\\M", "g", "X", "3"));
  EXPECT_EQ(*store.Read("Software\\M", "g", "X"), "3");
  EXPECT_EQ(*store.Read("Software\\M", "h", "X"), "2");
  EXPECT_EQ(*store.Read("Software\\M", "g", "Y"), "名前");
  EXPECT_EQ(test::ReadText(dir / "Software/M.ini"), "[g]\nX=3\nY=名前\n\n[h]\nX=2\n");
  EXPECT_FALSE(store.Write("..\\evil", "g", "X", "1"));
  EXPECT_FALSE(store.Write("Software\\M", "g", "X", "two\nlines"));
}

}  // namespace
}  // namespace zorvel
