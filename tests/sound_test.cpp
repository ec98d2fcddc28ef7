// Sounds by name: the archive a sound is found in decides its slot, cv's variant names and
// history lines, the effect categories and levels, sounds dropped in the background,
// wait_v_end with and without a sound device, the state dump, and --audio-out.
#include "audio/sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio/wady.h"
#include "fixture.h"
#include "resources/archive.h"
#include "text/sjis.h"

namespace zorvel {
namespace {

using test::Session;
using test::TempDir;

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\nVXD_SE:3\nVXD_OGG:3\nVXD_WAV:1\n";

std::vector<uint8_t> Effect(double seconds) {
  Pcm p;
  p.format.samplesPerSec = 8000;
  p.format.avgBytesPerSec = 16000;
  for (int i = 0; i < static_cast<int>(seconds * 8000); ++i) {
    p.samples.push_back(static_cast<int16_t>(std::lround(8000 * std::sin(i * 0.2))));
  }
  return EncodeWady(p, WadyCoding::kRun);
}

std::vector<uint8_t> OggBytes() {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/tone_silence.ogg",
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteB(const std::string& path, const std::map<std::string, std::vector<uint8_t>>& entries) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> named(entries.begin(), entries.end());
  const auto file = BuildArchive(IndexLayout::kB, 32, named);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// A game whose sound archives hold a name in more than one place, so the lookup order shows.
class SoundTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, const std::string& settings = "", uint32_t ms = 300,
                bool audio = true) {
    test::WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    const auto ogg = OggBytes();
    EXPECT_FALSE(ogg.empty());
    const auto shortFx = Effect(0.2);
    WriteB(game_ / "vx_ogg1.kpz", {{"A001X", ogg}, {"SAMPLECV", ogg}, {"SSE05", ogg}});
    WriteB(game_ / "vx_ogg2.kpz", {{"BELL", ogg}});
    WriteB(game_ / "vx_ogg3.kpz", {{"A001", ogg}});
    WriteB(game_ / "vx_wav1.kpz", {{"B002X", shortFx}});
    WriteB(game_ / "vx_se0.kpz", {{"SEH2DOOR", shortFx},
                                  {"SEH7DOOR", shortFx},
                                  {"BELL", shortFx},
                                  {"LONG", Effect(1.0)},
                                  {"NOTWADY", {1, 2, 3, 4}}});
    WriteB(game_ / "vx_se1.kpz", {{"CHIME", shortFx}});
    WriteB(game_ / "vx_se2.kpz", {{"RAIN", shortFx}, {"SEH4ABCD2Z2", shortFx}, {"BELL", shortFx}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    test::WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->platform().SetAudioOutput(audio);
    session_->RunFor(ms);
    return *session_;
  }
  Sound& Audio() { return session_->engine().Audio(); }
  std::string Label(int slot) { return Audio().Device().Label(slot); }

  TempDir game_;
  TempDir config_;
  std::unique_ptr<Session> session_;
};

TEST_F(SoundTest, TheArchiveDecidesTheSlot) {
  struct Case {
    const char* script;
    const char* settings;
    int slot;  // -1: nothing on slots 0 to 2
    const char* label;
    const char* loop;
  } cases[] = {
      {"@se BELL", "", 0, "BELL", ""},             // Ogg archives come first while voices are on
      {"@se BELL", "CV1=0\n", 1, "BELL", ""},      // then effect archive 0 beats archive 2
      {"@seloop bell", "CV1=0\n", 1, "BELL", ""},  // the archive, not the command, decides
      {"@se SSE05", "", 0, "SSE05", ""},
      {"@se CHIME", "", 1, "CHIME", ""},
      {"@se CHIME", "SE_ENA=0\n", -1, "", ""},
      {"@seloop RAIN", "", 2, "RAIN", "RAIN"},
      {"@seloop RAIN\n@seoff", "", -1, "", ""},
      {"@se SEH2DOOR", "SE2=0\n", -1, "", ""},
      {"@se SEH2DOOR", "SE2=1\n", 1, "SEH2DOOR", ""},
      {"@se SEH7DOOR", "SE2=0\nSE3=0\nSE4=0\n", 1, "SEH7DOOR", ""},  // 7 is no category
      {"@seloop SEH4ABCD2Z0", "SE_LVL1=2\n", 2, "SEH4ABCD2Z2", "SEH4ABCD2Z2"},
      {"@seloop SEH4ABCD2Z0", "", -1, "", ""},  // level 0: the unadjusted name is not there
      {"@seloop SEH4ABCD2Z0", "SE_LVL1=2\nSE4=0\n", -1, "", ""},
      {"@se NOTWADY", "", -1, "", ""},  // read and dropped
      {"@se NOSUCH\n@sefo\n@sefi 3", "", -1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.script) + " / " + c.settings);
    Play(std::string(c.script) + "\n@sleep -1\n", c.settings, 100);
    for (int slot = 0; slot < 3; ++slot) {
      EXPECT_EQ(Label(slot), slot == c.slot ? c.label : "") << "slot " << slot;
    }
    if (c.slot >= 0) {
      EXPECT_TRUE(Audio().Device().Playing(c.slot));
    }
    EXPECT_EQ(Audio().LoopEffect(), c.loop);
  }
}

TEST_F(SoundTest, PlaySoundSaysWhetherTheNameWasFound) {
  Play("@sleep -1\n");
  EXPECT_EQ(Audio().PlaySound("CHIME"), 0);
  EXPECT_EQ(Audio().PlaySound("chime"), 0);  // names are upper-cased
  EXPECT_EQ(Audio().PlaySound("NOSUCH"), 1);
  EXPECT_EQ(Audio().PlaySound("NOTWADY"), 0);
  // A new voice cuts the playing one; a looping effect keeps going beside it.
  EXPECT_EQ(Audio().PlaySound("RAIN"), 0);
  EXPECT_EQ(Audio().PlaySound("A001"), 0);
  EXPECT_EQ(Audio().PlaySound("SSE05"), 0);
  EXPECT_EQ(Label(0), "SSE05");
  EXPECT_TRUE(Audio().Device().Playing(2));
  Audio().StopAllSounds();
  for (int slot = 0; slot < Mixer::kSlots; ++slot) EXPECT_FALSE(Audio().Device().Has(slot));
}

TEST_F(SoundTest, CvUsesTheVariantWhenTheNameChangedAndRecordsTheNameUsed) {
  struct Case {
    int nameChanged;
    const char* name;
    const char* used;
    const char* slot0;
  } cases[] = {
      {1, "A001", "A001X", "A001X"},
      {0, "A001", "A001", "A001"},
      {1, "B002", "B002X", ""},  // the variant is looked for in the voice archives too
      {1, "C003", "C003", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + std::to_string(c.nameChanged));
    Session& s =
        Play("!S006=" + std::to_string(c.nameChanged) + "\n@cv " + c.name + "\nあ▼\n@sleep -1\n");
    EXPECT_EQ(Label(0), c.slot0);
    EXPECT_STREQ(s.state().lastVoice, c.used);
    const auto history = s.History();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history[0], std::string("@") + c.used);
    const PageRing& ring = s.engine().BacklogScreen().Ring();
    ASSERT_GE(ring.pageCounter, 1);
    EXPECT_STREQ(ring.records[0].voices, (std::string(c.used) + " ").c_str());
  }
}

TEST_F(SoundTest, SoundsAreDroppedWhileTheWindowIsInTheBackground) {
  Session& s = Play("@sleep -1\n");
  s.Events(std::to_string(s.platform().Ticks()) + " focus off\n");
  s.RunFor(50);
  EXPECT_FALSE(Audio().WindowActive());
  EXPECT_EQ(Audio().PlaySound("CHIME"), 0);
  EXPECT_FALSE(Audio().Device().Has(1));
  // The settings dialog's test voice plays regardless.
  EXPECT_EQ(Audio().PlaySound("SAMPLECV"), 0);
  EXPECT_EQ(Label(0), "SAMPLECV");
  s.Events(std::to_string(s.platform().Ticks()) + " focus on\n");
  s.RunFor(50);
  Audio().PlaySound("CHIME");
  EXPECT_EQ(Label(1), "CHIME");
}

// Without DirectSoundGlobal what plays goes silent while the window is in the background
// (and goes on from where it got to); with it the sound plays on.
TEST_F(SoundTest, DirectSoundGlobalDecidesWhetherTheBackgroundHearsTheMix) {
  for (const int global : {0, 1}) {
    SCOPED_TRACE(global);
    Session& s = Play("@seloop RAIN\n@sleep -1\n",
                      "DirectSoundGlobal=" + std::to_string(global) + "\n", 100);
    s.platform().KeepAudio(true);
    const auto loudest = [&s](uint32_t ms) {
      const auto& kept = s.platform().KeptAudio();
      // The first 50 ms (stereo samples) let a change of volume settle.
      const size_t from = kept.size() + HeadlessPlatform::kAudioRate / 10;
      s.RunFor(ms);
      int peak = 0;
      for (size_t i = from; i < kept.size(); ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(kept[i])));
      }
      return peak;
    };
    EXPECT_GT(loudest(300), 4000);
    s.Events(std::to_string(s.platform().Ticks()) + " focus off\n");
    const int background = loudest(500);
    if (global == 0) {
      EXPECT_EQ(background, 0);
    } else {
      EXPECT_GT(background, 4000);
    }
    EXPECT_TRUE(Audio().Device().Playing(Sound::kLoopSlot));
    s.Events(std::to_string(s.platform().Ticks()) + " focus on\n");
    EXPECT_GT(loudest(300), 4000);
  }
}

TEST_F(SoundTest, WaitVoiceEndWaitsOnlyWithASoundDevice) {
  const char* script = "@se LONG\n@wait_v_end\n!V001=1\n@sleep -1\n";
  Session& s = Play(script, "", 500);
  EXPECT_TRUE(s.state().waitVoiceEnd);
  EXPECT_EQ(s.state().vars.V[1], 0);
  EXPECT_TRUE(Audio().VoiceOrEffectPlaying());
  s.RunFor(800);  // the one-second effect has ended by now
  EXPECT_FALSE(Audio().VoiceOrEffectPlaying());
  EXPECT_FALSE(s.state().waitVoiceEnd);
  EXPECT_EQ(s.state().vars.V[1], 1);

  Session& silent = Play(script, "", 200, false);
  EXPECT_FALSE(Audio().SoundReady());
  EXPECT_FALSE(silent.state().waitVoiceEnd);
  EXPECT_EQ(silent.state().vars.V[1], 1);
}

TEST_F(SoundTest, MuteSilencesTheMasterAndTheDumpShowsTheSlots) {
  Session& s = Play("@cv A001\n@seloop RAIN\n@sleep -1\n");
  Audio().Mute();
  EXPECT_EQ(Audio().Device().MasterVolume(), Sound::kMutedVolume);
  Audio().Unmute();
  EXPECT_EQ(Audio().Device().MasterVolume(), 0);

  const std::string dump = s.engine().DumpState(0);
  const size_t at = dump.find("\"sound\"");
  ASSERT_NE(at, std::string::npos);
  // The sound object ends with its slot list; later objects may have "playing" fields of their own.
  const std::string sound = dump.substr(at, dump.find("]}", at) - at);
  EXPECT_NE(sound.find("\"lastVoice\":\"A001\""), std::string::npos) << sound;
  EXPECT_NE(sound.find("\"loop\":\"RAIN\""), std::string::npos) << sound;
  EXPECT_NE(sound.find("\"name\":\"RAIN\""), std::string::npos) << sound;
  size_t slots = 0;
  for (size_t p = sound.find("\"playing\""); p != std::string::npos;
       p = sound.find("\"playing\"", p + 1)) {
    ++slots;
  }
  EXPECT_EQ(slots, 8u);
}

TEST_F(SoundTest, AudioOutWritesEverythingMixedAsAWav) {
  test::WriteGame(game_.Path(), {{"main", "@se CHIME\n@sleep -1\n"}, {"_config", kConfig}});
  WriteB(game_ / "vx_se1.kpz", {{"CHIME", Effect(0.2)}});
  const std::string wav = game_ / "out.wav";
  ASSERT_EQ(test::RunZorvel({"--headless", "--run-ms", "1000", "--config-dir", config_.Path(),
                             "--audio-out", wav, game_.Path()}),
            0);
  std::ifstream in(wav, std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(b.size(), 44u);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
  };
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(b[at] | b[at + 1] << 8); };
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(u16(20), 1u);  // PCM
  EXPECT_EQ(u16(22), 2u);  // stereo
  EXPECT_EQ(u32(24), static_cast<uint32_t>(HeadlessPlatform::kAudioRate));
  EXPECT_EQ(u16(34), 16u);
  const uint32_t data = u32(40);
  EXPECT_EQ(u32(4), 36 + data);
  EXPECT_EQ(b.size(), 44u + data);
  // As long as the run's game time, give or take an idle pass.
  const uint32_t perSecond = 4 * HeadlessPlatform::kAudioRate;
  EXPECT_GE(data, perSecond);
  EXPECT_LE(data, perSecond + perSecond / 20);
  int loudest = 0;
  for (size_t i = 44; i + 1 < b.size(); i += 2) {
    loudest = std::max(loudest, std::abs(static_cast<int16_t>(u16(i))));
  }
  EXPECT_GT(loudest, 4000);  // the effect is in there
}

}  // namespace
}  // namespace zorvel
