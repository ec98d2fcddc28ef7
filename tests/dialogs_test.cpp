// The settings dialog and the small dialogs, played through fixture games as a player uses
// them: every route that opens the settings, what opening writes, each control with the setting
// it writes and what the running game shows or plays at once, the name entry's rules and S006,
// the playlist naming dialog and the choice presets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "core/variable_banks.h"
#include "dialogs/dialog_frame.h"
#include "fixture.h"
#include "platform/png_reader.h"
#include "resources/archive.h"
#include "text/font.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

// The window covers the bottom of the screen on an evening scene.
constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:0\nTXW_OFS_Y:420\n"
    "TX_OFS_X:30\nTX_OFS_Y:20\nTXW_SIZE_X:800\nTXW_SIZE_Y:180\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_R:10\nTXW_COLOR_G:20\nTXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\n"
    "NP_SZ_X:200\nNP_SZ_Y:32\nVOLUME1:-500\nVOLUME2:-600\nVOLUME3:-700\n"
    "DEFAULT_NAME:ゆうき\nDEFAULT_NAME2:たろう\n"
    "CHOICE_PRESET2:寄り道,行く,行かない\n";

constexpr int kMusicStarted = 5;  // S005

Surface ReadPngFile(const std::string& path) {
  const std::string bytes = ReadText(path);
  Surface out;
  EXPECT_TRUE(
      ReadPng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, out, nullptr));
  return out;
}

// The settings dialog's test voice.
void WriteSampleVoice(const std::string& path) {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/tone_silence.ogg",
                   std::ios::binary);
  std::vector<uint8_t> ogg{std::istreambuf_iterator<char>(in), {}};
  const auto file = BuildArchive(IndexLayout::kB, 32, {{"SAMPLECV", ogg}});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

constexpr char kPage[] = "!S000=0\n!S028=1\n@gra A001\nあいう▼\n@sleep -1\n";

// Places on the game area (event coordinates). The settings dialog's client area is centred:
// its top-left lies at (196.5, 132).
constexpr int kSettingsX = 196, kSettingsY = 132;
std::string At(int clientX, int clientY) {
  return std::to_string(kSettingsX + clientX) + " " + std::to_string(kSettingsY + clientY);
}
std::string Tab(int page) {
  return At(8 + 97 * page + 48, 17);
}
const std::string kClose = At(357, 316);

class DialogsTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, const std::string& settings = "",
                const std::string& events = "", uint32_t ms = 0) {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    WritePictures(game_ / "vx_gra.kpz",
                  {{"sys_qbtn", QuickButtonPicture()}, {"A001", EveningScene()}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(Ini(), "[test]\n" + settings);
    WriteSampleVoice(game_ / "vx_ogg1.kpz");
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->platform().SetAudioOutput(true);
    if (!events.empty()) session_->Events(events);
    if (ms != 0) session_->RunFor(ms);
    return *session_;
  }
  std::string Ini() const { return config_ / "Software/Zorvel/Test.ini"; }
  // The value a setting has in the store, or "" when it is not there.
  std::string Stored(const std::string& name) const {
    const std::string ini = ReadText(Ini());
    const size_t at = ini.find("\n" + name + "=");
    if (at == std::string::npos) return "";
    const size_t from = at + name.size() + 2;
    return ini.substr(from, ini.find('\n', from) - from);
  }
  // Runs `events` (times from now) and calls `look` at each dump event ("dump -").
  void Do(Session& s, const std::string& events, uint32_t ms,
          std::function<void()> look = nullptr) {
    s.platform().SetDumpHandler([&](const std::string&) {
      if (look) look();
    });
    std::string timed;
    const uint32_t now = s.platform().Ticks();
    std::istringstream lines(events);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty()) continue;
      const size_t space = line.find(' ');
      timed += std::to_string(now + std::stoul(line.substr(0, space))) + line.substr(space) + "\n";
    }
    s.Events(timed);
    s.RunFor(ms);
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(DialogsTest, SettingsOpenFromEveryRouteAndNameTheirPage) {
  struct Case {
    const char* route;
    const char* open;
  } cases[] = {
      {"tool bar", "100 click 218 -12"},
      {"menu", "100 click 300 300 right\n200 click 360 492"},
      {"key C", "100 key c"},
      {"quick button 8 (F1)", "100 key F1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    Session& s = Play(kPage, "Seen=0\n", "", 800);
    std::string page, later;
    bool busy = false;
    int look = 0;
    Do(s,
       std::string(c.open) + "\n400 dump -\n500 click " + Tab(1) + "\n600 dump -\n700 click " +
           kClose + "\n",
       1000, [&] {
         (look++ == 0 ? page : later) = s.engine().Ui().DialogName();
         busy = s.state().busy;
       });
    EXPECT_EQ(page, "settings/system");
    EXPECT_EQ(later, "settings/sound");
    EXPECT_TRUE(busy || std::string(c.route) != "tool bar");
    EXPECT_FALSE(s.engine().Ui().DialogOpen());
    EXPECT_FALSE(s.state().busy);
    EXPECT_TRUE(s.state().interpreterOn);
  }
}

// Opening and closing untouched writes back only the three radio groups, with what they read
// (a missing one with its default); values stored out of range stay as they are in the store.
TEST_F(DialogsTest, OpeningAndClosingWritesOnlyTheRadioGroups) {
  const std::string settings = "Seen=0\nGMode=1\nFONTSIZE=30\nVol1=-5000\nTXBG_R=300\nTXBG_A2=-4\n";
  Session& s = Play(kPage, settings, "", 800);
  const Settings before = s.engine().CurrentSettings();
  const int builds = s.engine().MessageFont().Choice().pixelEm;
  const std::string stored = ReadText(Ini());
  Do(s, "100 key c\n400 click " + kClose + "\n", 800);
  EXPECT_EQ(ReadText(Ini()), stored + "SMode=0\nDelay=0\n");
  EXPECT_EQ(s.engine().CurrentSettings().FONTSIZE, before.FONTSIZE);
  EXPECT_EQ(s.engine().CurrentSettings().Vol1, -5000);
  EXPECT_EQ(s.engine().MessageFont().Choice().pixelEm, builds);
}

// Each control, clicked where it sits: the setting it stores and what the engine then has.
TEST_F(DialogsTest, EveryControlWritesItsSettingAtOnce) {
  struct Case {
    int page;
    std::string click;
    const char* setting;
    const char* stored;
    std::function<int32_t(const Settings&)> inForce;
  } cases[] = {
      {0, At(36, 80), "SMode", "1", [](const Settings& v) { return v.SMode; }},
      {0, At(162, 80), "GMode", "1", [](const Settings& v) { return v.GMode; }},
      {0, At(288, 80), "Delay", "1", [](const Settings& v) { return v.Delay; }},
      {0, At(28, 222), "MemorySaveMode", "0", [](const Settings& v) { return v.MemorySaveMode; }},
      {0, At(28, 244), "Seen", "1", [](const Settings& v) { return v.Seen; }},
      {0, At(214, 244), "BreakonSelect", "0", [](const Settings& v) { return v.BreakonSelect; }},
      {0, At(28, 266), "EFX_CUT", "0", [](const Settings& v) { return v.EFX_CUT; }},
      {0, At(36, 192), "WHEEL_MODE", "1", [](const Settings& v) { return v.WHEEL_MODE; }},
      {0, At(180, 192), "CS_SWAP", "1", [](const Settings& v) { return v.CS_SWAP; }},
      {1, At(116, 63), "Vol1", "", nullptr},  // the master volume is not stored
      {1, At(116, 95), "Vol3", "-3000", [](const Settings& v) { return v.Vol3; }},
      {1, At(348, 95), "Vol3", "0", [](const Settings& v) { return v.Vol3; }},
      {1, At(116, 127), "Vol1", "-3000", [](const Settings& v) { return v.Vol1; }},
      {1, At(116, 159), "Vol2", "-3000", [](const Settings& v) { return v.Vol2; }},
      {1, At(36, 220), "BGM_ENA", "0", [](const Settings& v) { return v.BGM_ENA; }},
      {1, At(136, 220), "CV1", "0", [](const Settings& v) { return v.CV1; }},
      {1, At(236, 220), "SE_ENA", "0", [](const Settings& v) { return v.SE_ENA; }},
      {1, At(28, 260), "CV_THROUGH", "1", [](const Settings& v) { return v.CV_THROUGH; }},
      {2, At(258, 76), "FONTBold", "1", [](const Settings& v) { return v.FONTBold; }},
      {2, At(193, 76), "FONTSIZE", "20", [](const Settings& v) { return v.FONTSIZE; }},
      {2, At(173, 76), "FONTSIZE", "18", [](const Settings& v) { return v.FONTSIZE; }},
      {2, At(64, 170), "TXBG_R", "255", [](const Settings& v) { return v.TXBG_R; }},
      {2, At(250, 189), "TXBG_G", "0", [](const Settings& v) { return v.TXBG_G; }},
      {2, At(64, 227), "TXBG_A", "255", [](const Settings& v) { return v.TXBG_A; }},
      {2, At(72, 275), "TXBG_A2", "255", [](const Settings& v) { return v.TXBG_A2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + " by a click at " + c.click);
    Session& s = Play(kPage, "Seen=0\n", "", 800);
    Do(s,
       "100 key c\n300 click " + Tab(c.page) + "\n400 click " + c.click + "\n600 click " + kClose +
           "\n",
       900);
    EXPECT_EQ(Stored(c.setting), c.stored);
    if (c.inForce) {
      EXPECT_EQ(c.inForce(s.engine().CurrentSettings()), std::stoi(c.stored));
    }
  }
}

// The size box takes what is typed when it is left, brought into 18..24, and the glyphs are
// made at the new size at once.
TEST_F(DialogsTest, TypingThirtyIntoTheSizeBoxStoresTwentyFour) {
  Session& s = Play(kPage, "Seen=0\n", "", 800);
  int em = 0;
  Do(s,
     "100 key c\n300 click " + Tab(2) + "\n400 click " + At(140, 76) +
         "\n450 text 30\n500 key Enter\n600 dump -\n700 click " + kClose + "\n",
     900, [&] { em = s.engine().MessageFont().Choice().pixelEm; });
  EXPECT_EQ(Stored("FONTSIZE"), "24");
  EXPECT_EQ(em, PointsToPixels(24));
}

// The window-background sliders and "Default": the store, and the window's colour on screen
// after the dialog closes (the window is rebuilt because its look changed).
TEST_F(DialogsTest, BackgroundSlidersAndDefaultShowOnTheWindow) {
  Session& s = Play(kPage, "Seen=0\n", "", 800);
  const auto before = PixelAt(s.platform().LastFrame(), 780, 500);
  // Red fully up and the window opaque.
  Do(s,
     "100 key c\n300 click " + Tab(2) + "\n400 click " + At(64, 170) + "\n450 click " +
         At(64, 227) + "\n600 click " + kClose + "\n",
     900);
  s.platform().Flush();
  const auto red = PixelAt(s.platform().LastFrame(), 780, 500);
  EXPECT_EQ(Stored("TXBG_R"), "255");
  EXPECT_EQ(Stored("TXBG_A"), "255");
  EXPECT_GT(red[0], before[0] + 100);
  // "Default" puts the game's colour back.
  Do(s,
     "100 key c\n300 click " + Tab(2) + "\n400 click " + At(323, 225) + "\n600 click " + kClose +
         "\n",
     900);
  s.platform().Flush();
  EXPECT_EQ(Stored("TXBG_R"), "10");
  EXPECT_EQ(Stored("TXBG_G"), "20");
  EXPECT_EQ(Stored("TXBG_B"), "96");
  EXPECT_EQ(Stored("TXBG_A"), "170");
  const auto back = PixelAt(s.platform().LastFrame(), 780, 500);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], before[i], 2) << i;
}

// The sound page acts on what plays: the test voice at the voice volume, the voice slider
// applied to it at once, and the master volume, which is not stored.
TEST_F(DialogsTest, SoundPageActsOnWhatPlays) {
  Session& s = Play(kPage, "Seen=0\n", "", 800);
  Mixer& mixer = s.engine().Audio().Device();
  std::vector<std::pair<std::string, int>> seen;
  int master = 0;
  Do(s,
     "100 key c\n300 click " + Tab(1) + "\n400 click " + At(50, 127) + "\n450 dump -\n500 click " +
         At(116, 127) + "\n550 dump -\n600 click " + At(116, 63) + "\n650 dump -\n700 click " +
         kClose + "\n",
     900, [&] {
       seen.emplace_back(mixer.Label(0), mixer.Volume(0));
       master = mixer.MasterVolume();
     });
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<std::string, int>{"SAMPLECV", -500}));
  EXPECT_EQ(seen[1], (std::pair<std::string, int>{"SAMPLECV", -3000}));
  EXPECT_EQ(master, -3000);
  EXPECT_EQ(s.engine().Audio().MasterVolume(), -3000);
  EXPECT_EQ(Stored("Vol1"), "-3000");
  // Reopened, the master slider stands at the engine's master volume, and it was never stored.
  int shown = 1;
  Do(s, "100 key c\n300 dump -\n400 click " + kClose + "\n", 600,
     [&] { shown = s.engine().SettingsScreen().ControlMasterVolume(); });
  EXPECT_EQ(shown, s.engine().Audio().MasterVolume());
  EXPECT_EQ(ReadText(Ini()).find("Master"), std::string::npos);
}

// The music switch stops the music and starts it again at once.
TEST_F(DialogsTest, MusicSwitchStopsAndRestarts) {
  Session& s = Play("!S000=0\n@music 3\nあ▼\n@sleep -1\n", "Seen=0\nBGM_ENA=0\n", "", 800);
  EXPECT_EQ(s.state().vars.S[kMusicStarted], 0);
  int32_t started = -1;
  Do(s,
     "100 key c\n300 click " + Tab(1) + "\n400 click " + At(36, 220) + "\n500 dump -\n600 click " +
         kClose + "\n",
     900, [&] { started = s.state().vars.S[kMusicStarted]; });
  EXPECT_EQ(started, 3);
  EXPECT_EQ(Stored("BGM_ENA"), "1");
}

// The face chosen in the combo box is stored and the glyphs come from it at once.
TEST_F(DialogsTest, FontComboStoresTheFaceAndRebuildsTheGlyphs) {
  Session& s = Play(kPage, "Seen=0\n", "", 800);
  std::vector<std::string> faces;
  std::string requested;
  Do(s,
     "100 key c\n300 click " + Tab(2) + "\n400 click " + At(250, 46) + "\n500 click " +
         At(250, 86) + "\n600 dump -\n700 click " + kClose + "\n",
     900, [&] {
       faces = s.engine().SettingsScreen().FontFaces();
       requested = s.engine().MessageFont().Choice().requested;
     });
  if (faces.size() < 2) GTEST_SKIP() << "fewer than two Japanese faces installed";
  EXPECT_EQ(Stored("FontName"), faces[1]);
  EXPECT_EQ(requested, faces[1]);
}

// The font combo offers the installed faces with a two-byte character in their name.
TEST(SettingsDialogFaces, OnlyNamesWithATwoByteCharacterOnce) {
  const std::vector<std::string> faces = SettingsDialog::QualifyingFaces(
      {"IPAGothic", "IPAゴシック", "@IPAゴシック", "DejaVu Sans", "IPAゴシック", "IPA明朝", ""});
  EXPECT_EQ(faces, (std::vector<std::string>{"IPAゴシック", "IPA明朝"}));
}

// The name entry: "ＯＫ" takes 1 to 4 full-width characters and puts the old name back
// otherwise, staying open; S006 follows the defaults afterwards.
constexpr int kNameX = 262, kNameY = 252;
std::string NameAt(int x, int y) {
  return std::to_string(kNameX + x) + " " + std::to_string(kNameY + y);
}
const std::string kNameField = NameAt(70, 74);
const std::string kNameOk = NameAt(229, 68);
const std::string kNameDefault = NameAt(229, 28);
constexpr char kSetName[] = "@setname\n!V001=1\n@sleep -1\n";

TEST_F(DialogsTest, NameEntryTakesOneToFourFullWidthCharacters) {
  struct Case {
    const char* typed;
    bool accepted;
  } cases[] = {
      {"はな", true}, {"はなこさん", false}, {"はaな", false},
      {"a", false},   {"", false},           {"ｈａｎａ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Session& s = Play(kSetName, "PlayerName=あき\n");
    bool open = false;
    std::string field;
    std::string events = "100 click " + kNameField + "\n";
    for (int i = 0; i < 6; ++i) events += std::to_string(150 + i * 10) + " key Backspace\n";
    if (*c.typed != 0) events += std::string("250 text ") + c.typed + "\n";
    events += "300 click " + kNameOk + "\n400 dump -\n500 move 10 10\n";
    Do(s, events, 600, [&] {
      open = s.engine().NameEntry().IsOpen();
      field = s.engine().NameEntry().FirstField();
    });
    EXPECT_EQ(open, !c.accepted);
    if (c.accepted) {
      EXPECT_EQ(s.StringVar(0), c.typed);
      EXPECT_EQ(Stored("PlayerName"), c.typed);
      EXPECT_EQ(Stored("PlayerName2"), "たろう");
      EXPECT_EQ(s.state().vars.S[kNameChanged], 1);
      EXPECT_EQ(s.state().vars.V[1], 1);
      EXPECT_FALSE(s.state().busy);
    } else {
      EXPECT_EQ(field, "あき");
      EXPECT_EQ(s.StringVar(0), "あき");
    }
  }
}

TEST_F(DialogsTest, NameEntryDefaultsClearTheChangedFlag) {
  Session& s = Play(kSetName, "PlayerName=あき\nPlayerName2=はる\n");
  int32_t changed = -1;
  Do(s, "50 dump -\n100 click " + kNameDefault + "\n200 click " + kNameOk + "\n", 400,
     [&] { changed = s.state().vars.S[kNameChanged]; });
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(s.StringVar(0), "ゆうき");
  EXPECT_EQ(s.StringVar(1), "たろう");
  EXPECT_EQ(s.state().vars.S[kNameChanged], 0);
  EXPECT_EQ(Stored("PlayerName2"), "たろう");
}

// The second field cannot be typed in: a second name that was never valid does not keep the
// dialog open for ever.
TEST_F(DialogsTest, NameEntryAcceptsAnUnchangedInvalidSecondName) {
  Session& s = Play(kSetName, "PlayerName2=Bob\n");
  Do(s, "100 click " + kNameOk + "\n200 move 10 10\n", 300);
  EXPECT_FALSE(s.engine().NameEntry().IsOpen());
  EXPECT_EQ(s.StringVar(1), "Bob");
  EXPECT_EQ(s.state().vars.V[1], 1);
}

// An Enter that went down before the dialog opened is let go inside it: it is not "ＯＫ".
TEST_F(DialogsTest, NameEntryIgnoresAKeyHeldBeforeItOpened) {
  Session& s = Play("あ▼\n@setname\n@sleep -1\n", "PlayerName=あき\n");
  bool open = false;
  Do(s, "300 keydown Enter\n600 keyup Enter\n700 dump -\n800 move 10 10\n", 900,
     [&] { open = s.engine().NameEntry().IsOpen(); });
  EXPECT_TRUE(open);
}

// An input method's composition shows in the field, and its candidate window is placed there.
TEST_F(DialogsTest, CompositionShowsInTheFieldWhereTheCandidatesOpen) {
  Session& s = Play(kSetName, "PlayerName=あき\n");
  Do(s,
     "100 click " + kNameField + "\n200 compose かな\n300 screenshot " + (game_ / "ime.png") +
         "\n400 text 子\n500 click " + kNameOk + "\n",
     700);
  const ScreenRect r = s.platform().TextInputRect();
  // The field lies at (270, 316) to (351, 337) of the game area, 24 rows lower in the frame.
  EXPECT_GE(r.x, kNameX + 8);
  EXPECT_LE(r.x, kNameX + 89);
  EXPECT_EQ(r.y, kNameY + 64 + 24);
  EXPECT_EQ(s.StringVar(0), "あき子");
  // The composition is drawn, on white, where the caret was.
  const Surface shot = ReadPngFile(game_ / "ime.png");
  int dark = 0;
  for (int x = r.x; x < r.x + 28; ++x) {
    for (int y = kNameY + 66; y < kNameY + 82; ++y) {
      if (PixelAt(shot, x, y)[0] < 100) ++dark;
    }
  }
  EXPECT_GT(dark, 20);
}

// The playlist naming dialog: Cancel keeps the old name; OK cuts the new one to 30 bytes on a
// character boundary; the field takes 36 characters at most.
TEST_F(DialogsTest, PlaylistNameCancelAndCut) {
  struct Case {
    const char* name;
    std::string events;
    std::optional<std::string> result;  // UTF-8
  } cases[] = {
      {"cancel", "100 click 316 300\n150 text あいう\n200 click 533 323\n", std::nullopt},
      {"a split character",
       "100 click 540 300\n150 key Backspace\n160 text aかきくけこさしすせそたちつてとな\n"
       "200 click 449 323\n",
       "aかきくけこさしすせそたちつて"},
      {"forty letters",
       "100 click 540 300\n150 key Backspace\n200 text abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN\n"
       "300 dump -\n400 click 449 323\n",
       "abcdefghijklmnopqrstuvwxyzABCD"},
      {"escape", "100 key Escape\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play("@sleep -1\n", "", "", 200);
    std::string field;
    s.platform().SetDumpHandler(
        [&](const std::string&) { field = s.engine().PlaylistNaming().Field(); });
    std::string timed;
    std::istringstream lines(c.events);
    for (std::string line; std::getline(lines, line);) {
      const size_t space = line.find(' ');
      timed += std::to_string(200 + std::stoul(line.substr(0, space))) + line.substr(space) + "\n";
    }
    s.Events(timed + "900 move 10 10\n");
    const std::optional<std::string> name = s.engine().AskPlaylistName(Utf8ToSjis("あ").value());
    if (!field.empty()) {
      EXPECT_EQ(Utf8Length(field.c_str()), 36);
    }
    if (!c.result) {
      EXPECT_FALSE(name.has_value());
    } else {
      ASSERT_TRUE(name.has_value());
      EXPECT_LE(name->size(), 30u);
      EXPECT_EQ(SjisToUtf8(*name), *c.result);
    }
  }
}

// The choice presets: the menu's last item opens them over V200 to V202; a value outside 0 to
// 2 shows no item chosen; a click stores the item at once.
TEST_F(DialogsTest, ChoicePresetsShowAndStoreTheThreeVariables) {
  Session& s = Play("!V200=1\n!V201=7\n!V202=2\nあ▼\n@sleep -1\n", "", "", 300);
  const auto chosen = [](const Surface& frame, int group, int item) {
    // The radio's middle is filled when it is chosen.
    const auto p = PixelAt(frame, 244, 196 + 76 * group + 18 * item);
    return p[0] < 200 || p[1] < 200;
  };
  std::vector<std::array<bool, 3>> groups;
  Do(s,
     "100 click 300 300 right\n200 click 360 552\n400 screenshot " + (game_ / "p.png") +
         "\n500 click 244 308\n600 click 534 415\n",
     800);
  const Surface shot = ReadPngFile(game_ / "p.png");
  for (int g = 0; g < 3; ++g) {
    groups.push_back({chosen(shot, g, 0), chosen(shot, g, 1), chosen(shot, g, 2)});
  }
  EXPECT_EQ(groups[0], (std::array<bool, 3>{false, true, false}));
  EXPECT_EQ(groups[1], (std::array<bool, 3>{false, false, false}));
  EXPECT_EQ(groups[2], (std::array<bool, 3>{false, false, true}));
  EXPECT_EQ(s.state().vars.V[200], 1);
  EXPECT_EQ(s.state().vars.V[201], 2);
  EXPECT_EQ(s.state().vars.V[202], 2);
  EXPECT_FALSE(s.engine().ChoicePresets().IsOpen());
}

}  // namespace
}  // namespace zorvel::test
