// Recollection mode played through fixture games: the scene list and its unlock bits, the menu
// and its hover codes, drags into a playlist and the drop arithmetic, double clicks, the scene
// preview, playlists played through and back to the menu, and "kaiso.dat" across runs.
#include "extras/recollection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../tests/inert_hooks.h"
#include "core/variable_banks.h"
#include "fixture.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\n";

// Lines 0 to 11: 0 :DAY1, 1 *MORNING, 2 S01, 3 S02, 4 *, 5 S03, 6 :DAY2, 7 *EVENING, 8 S04,
// 9 :EXTRA, 10 S05, 11 :END.
constexpr char kFlashback[] =
    ":SETTING\n"
    "Day1, Day2\n"
    "Extra\n"
    ":DAY1\n"
    "*Morning\n"
    "Scene one,S01\n"
    "Scene two,S02\n"
    "*\n"
    "Scene three,S03\n"
    ":DAY2\n"
    "*Evening\n"
    "Scene four,S04\n"
    ":EXTRA\n"
    "Scene five,S05\n"
    ":END\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kMenu = {20, 20, 60};
constexpr Rgb kMenuLit = {90, 90, 160};
constexpr Rgb kThumb = {255, 255, 0};

// Grid cells of the first sub-page: the heading in cell 0, scenes 2 and 3 in cells 3 and 4,
// scene 5 in cell 6 (after the bare "*" that only starts a row).
constexpr int kCell3X = 60, kCell3Y = 177;
constexpr int kCell4X = 230, kCell4Y = 177;
constexpr int kCell6X = 60, kCell6Y = 192;
std::map<std::string, Surface> Pictures() {
  Surface strip(40, 92);
  strip.FillRect(0, 0, 20, 92, 200, 0, 0);
  strip.FillRect(20, 0, 20, 92, 0, 200, 0);
  return {{"ss_kaiso", Solid(800, 600, kMenu[0], kMenu[1], kMenu[2])},
          {"ss_kaiso2", Solid(800, 600, kMenuLit[0], kMenuLit[1], kMenuLit[2])},
          {"ss_kaiso_p", strip},
          {"A01", Solid(800, 600, 200, 40, 40)},
          {"A02", Solid(800, 600, 40, 40, 200)},
          {"T01", Solid(160, 120, kThumb[0], kThumb[1], kThumb[2])}};
}

// Scene scripts that the story calls (unlocking them) and their replays, which each wait for
// one click on a line and end.
std::map<std::string, std::string> Scripts(const std::string& main) {
  std::map<std::string, std::string> scripts = {
      {"_config", kConfig}, {"sys_flashbak", kFlashback}, {"main", main}};
  for (int n = 1; n <= 5; ++n) {
    const std::string name = "S0" + std::to_string(n);
    scripts[name] = "@gra A0" + std::to_string(n % 2 + 1) + "\n@gra A01\n@end\n";
    scripts["k_" + name] = "@music 2\n@gra A02\nReplay " + std::to_string(n) + "▼\n@end\n";
  }
  return scripts;
}

constexpr char kStory[] = "@call S01\n@call S02\n@call S03\n@kaisou\nAfter the menu▼\n@sleep -1\n";

class RecollectionTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, uint32_t ms = 500) {
    WriteGame(game_.Path(), Scripts(main));
    WritePictures(game_ / "vx_gra.kpz", Pictures());
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  // Events without times, each after the one before.
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  Recollection& Menu() { return session_->engine().RecollectionScreen(); }
  std::vector<int32_t> Playlist(int n) {
    std::vector<int32_t> out;
    for (int32_t e : Menu().Playlists().entries[static_cast<size_t>(n)]) {
      if (e == 0) break;
      out.push_back(e);
    }
    return out;
  }
  Rgb Shown(int x, int y) {
    session_->platform().Flush();
    return PixelAt(session_->platform().LastFrame(), x, y);
  }
  // Drags what lies under (x, y), a grid cell or a panel row, so that the label's corner +
  // (50, 10) lands on panel row `row` (-1: beside the panel).
  void DragToRow(int x, int y, int row) {
    const bool inGrid = x < 560;
    const int cx = inGrid ? 25 + 166 * ((x - 25) / 166) : 576;
    const int cy = inGrid ? 155 + 15 * ((y - 155) / 15) : 160 + 14 * ((y - 160) / 14);
    const int dropX = row < 0 ? 300 : 600;
    const int dropY = row < 0 ? 300 : 162 + 14 * row;
    const std::string at = std::to_string(x) + " " + std::to_string(y);
    Do({"move " + at, "press " + at + " left", "move 400 300",
        "release " + std::to_string(dropX - 50 + x - cx) + " " +
            std::to_string(dropY - 10 + y - cy) + " left"},
       // Apart by more than the double-click window.
       150);
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

// Script text as the loader hands it over: Shift-JIS lines ended by 0 bytes.
std::vector<uint8_t> EncodeScriptPlain(const std::string& utf8) {
  std::vector<uint8_t> bytes = EncodeScript(utf8);
  DecodeScriptBytes(bytes.data(), bytes.size());
  return bytes;
}

TEST(FlashbackListTest, CategoriesAndParallelLists) {
  std::vector<std::string> problems;
  const FlashbackList list = ParseFlashbackList(
      EncodeScriptPlain(
          ":SETTING\nOld\n:SETTING\nA,B\n\nC\n4\n5\n6\n7\n8\n"
          "a1,a2,a3,a4,a5,a6,a7,a8,a9\n:A\n*Head\nx,s01\n:B\nno comma\n:END\nafter\n"),
      &problems);
  // ":SETTING" starts the count again; the seventh category and the ninth sub-page are left out.
  ASSERT_EQ(list.categories.size(), 6u);
  EXPECT_EQ(list.categories[0], (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(list.categories[1], (std::vector<std::string>{"C"}));
  EXPECT_EQ(list.display, (std::vector<std::string>{":A", "*HEAD", "X", ":B", "NO COMMA", ":END"}));
  EXPECT_EQ(list.scripts, (std::vector<std::string>{"", "", "S01", "", "", ""}));
  EXPECT_EQ(problems.size(), 1u);  // the seventh category; the eighth line is one too

  // Past the unlock bits, lines are left out and said once.
  std::string many = ":SETTING\nP\n:P\n";
  for (int i = 0; i < kFlashbackLines + 10; ++i) many += "s,X" + std::to_string(i) + "\n";
  problems.clear();
  const FlashbackList big = ParseFlashbackList(EncodeScriptPlain(many), &problems);
  EXPECT_EQ(big.display.size(), static_cast<size_t>(kFlashbackLines));
  EXPECT_EQ(problems.size(), 1u);
}

TEST(DropOnPlaylistTest, DropArithmetic) {
  struct Case {
    const char* what;
    std::vector<int32_t> before;
    int fromRow;
    int32_t scene;
    int targetRow;
    std::vector<int32_t> after;
  };
  const std::vector<int32_t> five = {10, 11, 12, 13, 14};
  const Case cases[] = {
      {"a scene on row 3 of five", five, -1, 20, 3, {10, 11, 12, 20, 13, 14}},
      {"a scene below the last", five, -1, 20, 9, {10, 11, 12, 13, 14, 20}},
      {"a scene on the first row", five, -1, 20, 0, {20, 10, 11, 12, 13, 14}},
      {"a scene beside the panel", five, -1, 20, -1, five},
      {"an entry moved down", five, 1, 11, 3, {10, 12, 11, 13, 14}},
      {"an entry moved up", five, 3, 13, 0, {13, 10, 11, 12, 14}},
      {"an entry moved below the last", five, 1, 11, 8, {10, 12, 13, 14, 11}},
      {"an entry dropped on itself", five, 2, 12, 2, five},
      {"an entry dropped outside", five, 2, 12, -1, {10, 11, 13, 14}},
      {"a scene into an empty list", {}, -1, 7, 4, {7}},
  };
  for (const Case& c : cases) {
    Playlist list{};
    std::copy(c.before.begin(), c.before.end(), list.begin());
    DropOnPlaylist(list, c.fromRow, c.scene, c.targetRow);
    const auto end = std::find(list.begin(), list.end(), 0);
    EXPECT_EQ(std::vector<int32_t>(list.begin(), end), c.after) << c.what;
    EXPECT_TRUE(std::all_of(end, list.end(), [](int32_t e) { return e == 0; })) << c.what;
  }
  // A full panel: the last of its 25 rows drops off; nothing reaches past them.
  Playlist full{};
  for (int i = 0; i < kPlaylistRows; ++i) full[static_cast<size_t>(i)] = 100 + i;
  DropOnPlaylist(full, -1, 7, 0);
  EXPECT_EQ(full[0], 7);
  EXPECT_EQ(full[24], 123);
  EXPECT_EQ(full[25], 0);
}

TEST_F(RecollectionTest, UnlockBitsForScenesAndHeadings) {
  struct Case {
    const char* load;
    std::vector<int> bits;
  };
  const Case cases[] = {
      {"S01", {1, 2}},  // the heading above it
      {"S03", {1, 5}},  // a bare "*" is passed over, never unlocked
      {"S04", {7, 8}},  //
      {"S05", {10}},    // no heading on its sub-page: none from the page before
      {"S99", {}},      // not in the list
      {"k_S01", {}},    // a replay script is not the scene's own
  };
  for (const Case& c : cases) {
    Session& s = Play(std::string("@call ") + c.load + "\n@sleep -1\n", 300);
    std::vector<int> bits;
    for (int i = 0; i < 20; ++i) {
      if (s.state().vars.unlocked.Test(i)) bits.push_back(i);
    }
    EXPECT_EQ(bits, c.bits) << c.load;
  }
}

TEST_F(RecollectionTest, MenuHoverCodesAndLeaving) {
  Session& s = Play(kStory);
  ASSERT_EQ(s.state().screenMode, 8);
  // The first tab lit from the second picture, the rest of the menu from the first.
  EXPECT_EQ(Shown(100, 30), kMenuLit);
  EXPECT_EQ(Shown(100, 60), kMenu);
  // Two sub-pages: the strip with the first selected.
  EXPECT_EQ(Shown(530, 420), (Rgb{0, 200, 0}));
  EXPECT_EQ(Shown(530, 470), (Rgb{200, 0, 0}));
  EXPECT_EQ(Menu().CellScene(3), 2);
  EXPECT_EQ(Menu().CellScene(4), 3);
  EXPECT_EQ(Menu().CellScene(6), 5);
  EXPECT_EQ(Menu().CellScene(0), 0);  // the heading

  DragToRow(kCell3X, kCell3Y, 0);
  ASSERT_EQ(Playlist(0), (std::vector<int32_t>{2}));
  struct Case {
    int x, y, hover;
  };
  const Case cases[] = {
      {kCell3X, kCell3Y, Recollection::kHoverCell + 3},
      {30, 160, 0},  // the heading's cell
      {600, 165, Recollection::kHoverEntry},
      {600, 180, 0},  // a row without an entry
      {760, 10, Recollection::kHoverButton + 1},
      {745, 557, Recollection::kHoverButton + 2},
      {620, 567, Recollection::kHoverButton + 3},
      {670, 60, Recollection::kHoverButton + 7},
      {440, 40, 0},  // the selected playlist
      {440 + 36 * 3, 80, Recollection::kHoverSelector + 8},
  };
  for (const Case& c : cases) {
    Do({"move " + std::to_string(c.x) + " " + std::to_string(c.y)}, 30);
    EXPECT_EQ(Menu().Hover(), c.hover) << c.x << "," << c.y;
  }
  // A lit selector cell goes back once the pointer leaves it.
  EXPECT_EQ(Shown(440 + 36 * 3, 80), kMenuLit);
  Do({"move 300 300"}, 30);
  EXPECT_EQ(Shown(440 + 36 * 3, 80), kMenu);

  // The second category has one sub-page: its scene sits in the first cell, and no strip.
  Do({"click 100 60"});
  EXPECT_EQ(Menu().Category(), 1);
  EXPECT_EQ(Shown(530, 420), kMenu);
  EXPECT_EQ(Menu().CellScene(0), 0);  // S05 was never reached

  // Leaving: the script goes on after `kaisou`.
  Do({"click 760 10"}, 300);
  EXPECT_EQ(s.state().screenMode, 0);
  EXPECT_EQ(s.History().back(), "After the menu");
}

TEST_F(RecollectionTest, DoubleClickWithinFiveTicksPlaysTheSceneEvenInTheFirstCell) {
  Session& s = Play("@call S05\n@kaisou\n@sleep -1\n");
  Do({"click 100 60"});  // the second category: scene 10 in cell 0
  ASSERT_EQ(Menu().CellScene(0), 10);
  // Two clicks 330 ms apart (six ticks): two drags that drop nothing, no replay.
  Do({"click 30 160"}, 330);
  Do({"click 30 160"}, 330);
  EXPECT_EQ(s.state().screenMode, 8);
  EXPECT_TRUE(Playlist(0).empty());
  // 100 ms apart: the replay of that scene.
  Do({"click 30 160"});
  Do({"click 30 160"});
  EXPECT_EQ(s.state().screenMode, 0);
  EXPECT_EQ(s.state().replayOrigin, 2);
  EXPECT_STREQ(s.state().scriptName, "k_S05");
  EXPECT_EQ(Menu().Queue()[0], 10);
}

TEST_F(RecollectionTest, PlaylistsPlayThroughAndComeBackWithMusicOne) {
  Session& s = Play(kStory);
  const auto& input = s.engine().Input();
  // A playlist of one: no シーンスキップ.
  DragToRow(kCell4X, kCell4Y, 0);
  ASSERT_EQ(Playlist(0), (std::vector<int32_t>{3}));
  Do({"click 745 557"}, 300);
  EXPECT_EQ(s.state().replayOrigin, 2);
  EXPECT_STREQ(s.state().scriptName, "k_S02");
  EXPECT_FALSE(input.SceneSkipShown());
  EXPECT_TRUE(input.EndRecollectionShown());
  EXPECT_FALSE(input.PopupEnabled()[kPopupSave]);
  EXPECT_EQ(s.state().vars.S[5], 2);
  Do({"click 400 300"}, 300);
  EXPECT_EQ(s.state().screenMode, 8);
  EXPECT_EQ(s.state().replayOrigin, 0);
  EXPECT_EQ(s.state().vars.S[5], 1);
  EXPECT_STREQ(s.state().scriptName, "main");
  EXPECT_FALSE(input.EndRecollectionShown());
  EXPECT_EQ(Shown(100, 60), kMenu);

  // Three scenes in the second playlist: each in turn, シーンスキップ until the last.
  Do({"click 475 40"});
  ASSERT_EQ(Menu().SelectedPlaylist(), 1);
  DragToRow(kCell3X, kCell3Y, 0);
  DragToRow(kCell6X, kCell6Y, 5);  // below the last: appended
  DragToRow(kCell4X, kCell4Y, 1);  // between them
  ASSERT_EQ(Playlist(1), (std::vector<int32_t>{2, 3, 5}));
  Do({"click 745 557"}, 300);
  const char* scripts[] = {"k_S01", "k_S02", "k_S03"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(s.state().scriptName, scripts[i]);
    EXPECT_EQ(Menu().QueuePosition(), i);
    EXPECT_EQ(input.SceneSkipShown(), i < 2) << i;
    EXPECT_EQ(s.History().back(), "Replay " + std::to_string(i + 1));
    Do({"click 400 300"}, 300);
  }
  EXPECT_EQ(s.state().screenMode, 8);
  EXPECT_EQ(s.state().vars.S[5], 1);
  EXPECT_TRUE(input.PopupEnabled()[kPopupLoad] || s.state().vars.S[0] >= 2);

  // The menu came back as it was left; a clear empties the selected playlist only.
  EXPECT_EQ(Menu().SelectedPlaylist(), 1);
  Do({"click 620 567"});
  EXPECT_TRUE(Playlist(1).empty());
  EXPECT_EQ(Playlist(0), (std::vector<int32_t>{3}));
}

TEST_F(RecollectionTest, PreviewShowsThumbnailsAndScenesOnTheTimer) {
  Session& s = Play(kStory);
  // S01 shows A02 (no thumbnail), then A01, whose thumbnail T01 exists.
  Do({"move " + std::to_string(kCell3X) + " " + std::to_string(kCell3Y),
      "press " + std::to_string(kCell3X) + " " + std::to_string(kCell3Y) + " right"},
     80);
  EXPECT_TRUE(Menu().Previewing());
  EXPECT_EQ(Shown(290, 80), (Rgb{40, 40, 200}));
  Do({}, 0);
  s.RunFor(9 * 55);
  EXPECT_EQ(Shown(290, 80), kThumb);
  s.RunFor(9 * 55);
  EXPECT_FALSE(Menu().Previewing());
  EXPECT_EQ(Shown(290, 80), kMenu);

  // A press stops a running preview at once.
  Do({"release 60 177 right", "press 60 177 right"}, 80);
  EXPECT_TRUE(Menu().Previewing());
  Do({"release 60 177 right", "click 300 400"}, 30);
  EXPECT_FALSE(Menu().Previewing());
  EXPECT_EQ(Shown(290, 80), kMenu);
}

TEST_F(RecollectionTest, DumpAndScreenshot) {
  Session& s = Play(kStory);
  DragToRow(kCell3X, kCell3Y, 0);
  DragToRow(kCell6X, kCell6Y, 0);
  const std::string dump = s.engine().DumpState(0);
  EXPECT_NE(dump.find("\"recollection\":{\"category\":0,\"subPage\":0,\"selectedPlaylist\":0,"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("{\"name\":\"Record Slot 1\",\"scenes\":[5,2]}"), std::string::npos);
  EXPECT_NE(dump.find("\"queue\":[],\"queuePosition\":0"), std::string::npos);
}

// Playlists made in one run are there in the next; a damaged file is kept aside and the
// playlists start empty, and the next close writes a whole file again.
TEST_F(RecollectionTest, KaisoFileAcrossTwoRuns) {
  WriteGame(game_.Path(), Scripts(kStory));
  WritePictures(game_ / "vx_gra.kpz", Pictures());
  TempDir out;
  // Scene 2 (cell 3) to row 0 of playlist 0, then close.
  WriteText(out / "ev.txt",
            "600 move 60 177\n700 press 60 177 left\n800 move 400 300\n"
            "900 release 600 164 left\n1500 close\n1600 msgbox ok\n");
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--headless", "--config-dir", config_.Path()});
    args.push_back(game_.Path());
    return RunZorvel(args);
  };
  ASSERT_EQ(run({"--events", out / "ev.txt", "--run-ms", "3000"}), 0);
  const std::string kaiso = game_ / "kaiso.dat";
  ASSERT_EQ(std::filesystem::file_size(kaiso), kKaisoFileSize);
  const std::vector<uint8_t> written = *ReadWholeFile(kaiso);
  RecollectionPlaylists read;
  ASSERT_TRUE(ReadPlaylists(written, read));
  EXPECT_EQ(read.entries[0][0], 2);
  EXPECT_STREQ(read.names[0].data(), "Record Slot 1");

  ASSERT_EQ(run({"--run-ms", "600", "--dump-state", out / "state.json"}), 0);
  EXPECT_NE(ReadText(out / "state.json").find("{\"name\":\"Record Slot 1\",\"scenes\":[2]}"),
            std::string::npos);
  EXPECT_EQ(*ReadWholeFile(kaiso), written);

  for (const size_t size : {size_t{100}, kKaisoFileSize}) {
    std::vector<uint8_t> damaged = written;
    damaged.resize(size);
    // A scene number that names no line of the list.
    if (size == kKaisoFileSize) std::fill_n(damaged.begin() + 4, 4, 0xFF);
    ASSERT_TRUE(WriteFileAtomic(kaiso, damaged.data(), damaged.size()));
    std::filesystem::remove(kaiso + ".bad");
    ASSERT_EQ(run({"--run-ms", "600", "--dump-state", out / "state.json"}), 0);
    EXPECT_EQ(*ReadWholeFile(kaiso + ".bad"), damaged) << size;
    EXPECT_EQ(ReadText(out / "state.json").find("\"scenes\":[2]"), std::string::npos) << size;
    EXPECT_EQ(std::filesystem::file_size(kaiso), kKaisoFileSize);
  }
}

// The naming dialog answers through the hook: a name, or nothing when cancelled.
TEST(RecollectionRenameTest, NameFromTheDialogOrKeptOnCancel) {
  TempDir dir;
  ArchiveSet archives(dir.Path());
  PictureLoader pictures(archives);
  EngineState state;
  ScriptLoader loader(archives, state);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  Screen screen(platform);
  screen.CreateSurfaces();
  Layers layers(screen, state, pictures, platform, InertLayerHooks());
  SystemText text([](const std::string&) {});
  RecollectionPlaylists playlists;
  std::optional<std::string> answer = "Sunset";
  std::string asked;
  RecollectionHooks hooks = InertRecollectionHooks();
  hooks.askPlaylistName = [&](const std::string& name) {
    asked = name;
    return answer;
  };
  Recollection r(state, screen, pictures, loader, layers, text, platform, playlists, hooks);
  r.OpenRecollection();
  r.ScreenClick(MouseButton::kLeft, 670, 60);
  EXPECT_EQ(asked, "Record Slot 1");
  EXPECT_STREQ(playlists.names[0].data(), "Sunset");
  answer.reset();
  r.ScreenClick(MouseButton::kLeft, 671, 60);
  EXPECT_EQ(asked, "Sunset");
  EXPECT_STREQ(playlists.names[0].data(), "Sunset");
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

// The tool bar's 終了 menu during a playlist: シーンスキップ goes on to the next scene,
// 回想モード終了 drops the rest and comes back to the menu. Its rows are 20 pixels apart from the
// strip's lower edge; the two replay items follow タイトルへ戻る and ゲーム終了.
TEST_F(RecollectionTest, ToolbarQuitMenuSkipsAndEndsAPlaylist) {
  Session& s = Play(kStory);
  DragToRow(kCell3X, kCell3Y, 0);
  DragToRow(kCell4X, kCell4Y, 1);
  DragToRow(kCell6X, kCell6Y, 2);
  ASSERT_EQ(Playlist(0), (std::vector<int32_t>{2, 3, 5}));
  Do({"click 745 557"}, 300);
  ASSERT_STREQ(s.state().scriptName, "k_S01");
  // The menu is modal: its answer must be queued with the click that opens it.
  Do({"click 30 -12\n" + std::to_string(s.platform().Ticks() + 200) + " click 60 52"}, 400);
  EXPECT_STREQ(s.state().scriptName, "k_S02");
  EXPECT_EQ(Menu().QueuePosition(), 1);
  EXPECT_EQ(s.state().replayOrigin, 2);
  Do({"click 30 -12\n" + std::to_string(s.platform().Ticks() + 200) + " click 60 72"}, 400);
  EXPECT_EQ(s.state().screenMode, 8);
  EXPECT_EQ(s.state().replayOrigin, 0);
  EXPECT_EQ(s.state().vars.S[5], 1);
  EXPECT_EQ(Shown(100, 60), kMenu);
}

}  // namespace
}  // namespace zorvel::test
