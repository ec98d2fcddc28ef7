// Music: the streamed WADY ring with its refills and loop seam, Ogg music, fades, the `music`
// numbers with the music switch, the deferral in the background, and the animation sounds.
#include "audio/music.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>

#include "audio/wady.h"
#include "fixture.h"

namespace zorvel {
namespace {

constexpr uint32_t kRate = 8000;
constexpr size_t kTickFrames = kRate * 55 / 1000;

// A tone whose pitch and level drift, so that a sample taken from the wrong place shows.
Pcm Tone(uint16_t channels, double seconds) {
  Pcm p;
  p.format.channels = channels;
  p.format.samplesPerSec = kRate;
  p.format.blockAlign = static_cast<uint16_t>(channels * 2);
  p.format.avgBytesPerSec = kRate * p.format.blockAlign;
  const size_t frames = static_cast<size_t>(seconds * kRate);
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    for (uint16_t c = 0; c < channels; ++c) {
      const double level = 6000 + 5000 * std::sin(2 * M_PI * 0.3 * t + c);
      p.samples.push_back(static_cast<int16_t>(
          std::lround(level * std::sin(2 * M_PI * (220 + 40 * c + 30 * t) * t))));
    }
  }
  return p;
}

std::vector<uint8_t> Stream(uint16_t channels, double seconds, double loopSeconds) {
  return EncodeWady(Tone(channels, seconds), WadyCoding::kByte,
                    static_cast<uint32_t>(loopSeconds * kRate));
}

// What a looped stream must sound like: the whole data once, then the loop part again and
// again, each time from the predictors the header gives for the loop start.
std::vector<int16_t> Expected(const std::vector<uint8_t>& wady, size_t frames) {
  WadyHeader h;
  std::string why;
  EXPECT_TRUE(ParseWadyHeader(wady, WadyUse::kStream, h, why)) << why;
  const auto coded = std::span(wady).subspan(kWadyHeaderSize, h.codedLength);
  const auto loop = coded.subspan(h.loopStart);
  std::vector<int16_t> out(frames * h.channels);
  int16_t p1 = 0, p2 = 0;
  size_t at = h.channels * DecodeByteCoded(coded, out, h.multiplier, h.channels, frames, p1, p2);
  while (at < out.size() && !loop.empty()) {
    p1 = h.loopPredictor1;
    p2 = h.loopPredictor2;
    at += h.channels * DecodeByteCoded(loop, std::span(out).subspan(at), h.multiplier, h.channels,
                                       frames, p1, p2);
  }
  return out;  // an empty loop part leaves silence after the end
}

// A stream inside a bigger file, recording how far anything was read.
class WatchedSource : public StreamSource {
 public:
  WatchedSource(std::vector<uint8_t> bytes, uint64_t* furthest)
      : bytes_(std::move(bytes)), furthest_(furthest) {}
  uint64_t Size() const override { return bytes_.Size(); }
  bool ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    *furthest_ = std::max(*furthest_, offset + out.size());
    return bytes_.ReadAt(offset, out);
  }

 private:
  MemorySource bytes_;
  uint64_t* furthest_;
};

std::vector<uint8_t> ReadData(const char* name) {
  std::ifstream in(std::string(ZORVEL_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The music with a mixer at the streams' own rate, the archives of `dir` and the state.
struct Rig {
  explicit Rig(const std::string& dir = "/nonexistent") : archives(dir) {
    archives.OpenArchives(GameConfig{}, "NULL");
  }
  // One timer tick: 55 ms of output, then the refill.
  std::vector<int16_t> Tick() {
    std::vector<int16_t> out(kTickFrames * 2);
    mixer.Mix(out.data(), kTickFrames);
    music.RefillStream();
    return out;
  }
  int32_t& S(int n) { return state->vars.S[static_cast<size_t>(n)]; }

  Mixer mixer{kRate};
  ArchiveSet archives;
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  Settings settings;
  bool active = true;
  Music music{mixer, archives, *state, settings,
              MusicHooks{.soundReady = [] { return true; },
                         .windowActive = [this] { return active; },
                         .refreshMasterVolume = [] {}}};
};

struct StreamCase {
  const char* name;
  uint16_t channels;
  double seconds;
  double loopSeconds;
};

TEST(MusicStream, RefillsYieldTheDataThenTheLoopPartWithoutReadingPastIt) {
  const StreamCase cases[] = {
      {"loop in the middle", 1, 6.5, 2.5},
      {"stereo, loop start 0", 2, 5.3, 0},
      {"loop part shorter than a second", 1, 4.6, 4.3},
      {"data shorter than the first read", 2, 1.7, 0.4},
      {"nothing to loop", 1, 2.2, 2.2},
  };
  constexpr uint64_t kOffset = 100;
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto wady = Stream(c.channels, c.seconds, c.loopSeconds);
    // Junk before and after the stream: none of it may be read.
    std::vector<uint8_t> file(kOffset, 0x55);
    file.insert(file.end(), wady.begin(), wady.end());
    file.insert(file.end(), 5000, 0x7F);
    uint64_t furthest = 0;
    Rig rig;
    rig.music.StartAnimationStream(std::make_unique<WatchedSource>(file, &furthest), kOffset);
    ASSERT_EQ(rig.state->streamKind, 2);

    const size_t ticks = 13 * 1000 / 55;
    std::vector<int16_t> mixed;
    for (size_t t = 0; t < ticks; ++t) {
      const auto out = rig.Tick();
      mixed.insert(mixed.end(), out.begin(), out.end());
    }
    EXPECT_LE(furthest, kOffset + wady.size());

    const auto expected = Expected(wady, ticks * kTickFrames);
    size_t wrong = 0, first = 0;
    // The start is faded in over a few milliseconds so as not to click.
    for (size_t f = static_cast<size_t>(rig.mixer.RampFrames()); f < ticks * kTickFrames; ++f) {
      for (int side = 0; side < 2; ++side) {
        const int16_t want = expected[f * c.channels + (c.channels == 2 ? side : 0)];
        if (std::abs(mixed[f * 2 + side] - want) > 1 && wrong++ == 0) first = f;
      }
    }
    EXPECT_EQ(wrong, 0u) << "first difference at frame " << first;
  }
}

TEST(MusicStream, RefusesStreamsItCannotPlayWithoutTouchingTheSlot) {
  auto good = Stream(1, 2, 0);
  auto lyingLength = good;
  lyingLength[12] += 1;  // one coded byte more than the entry holds
  auto loopPastEnd = good;
  loopPastEnd[26] = 0x7F;
  auto tooFast = EncodeWady(
      [] {
        Pcm p = Tone(2, 0.1);
        p.format.samplesPerSec = 48000;
        p.format.avgBytesPerSec = 48000 * 4;
        return p;
      }(),
      WadyCoding::kByte);
  auto notWady = good;
  notWady[0] = 'X';
  for (const auto* bytes : {&lyingLength, &loopPastEnd, &tooFast, &notWady}) {
    Rig rig;
    rig.music.StartAnimationStream(std::make_unique<MemorySource>(*bytes), 0);
    EXPECT_EQ(rig.state->streamKind, 0);
    EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
  }
  Rig rig;
  rig.music.StartAnimationStream(std::make_unique<MemorySource>(good), 0);
  EXPECT_TRUE(rig.mixer.Playing(Music::kStreamSlot));
}

// A game directory whose music archive holds M03 and whose Ogg music archive holds M03, M04.
struct MusicGame {
  MusicGame() {
    const auto ogg = ReadData("tone_silence.ogg");
    EXPECT_FALSE(ogg.empty());
    Write("vx_bgm.kpz", {{"M03", Stream(1, 3, 1)}, {"M07", {'R', 'I', 'F', 'F', 0, 0, 0, 0}}});
    Write("vx_ogm.kpz", {{"M03", ogg}, {"M04", ogg}});
  }
  void Write(const std::string& name,
             const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
    const auto bytes = BuildArchive(IndexLayout::kB, 16, entries);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  test::TempDir dir;
};

TEST(MusicCommand, NumbersPickTheArchiveAndTheSameNumberChangesNothing) {
  MusicGame game;
  Rig rig(game.dir.Path());
  rig.settings.Vol3 = -700;

  rig.music.MusicCommand(3);  // in both archives: the stream wins
  EXPECT_EQ(rig.state->streamKind, 1);
  EXPECT_TRUE(rig.mixer.Playing(Music::kStreamSlot));
  EXPECT_FALSE(rig.mixer.Has(Music::kOggSlot));
  EXPECT_EQ(rig.mixer.Volume(Music::kStreamSlot), -700);
  for (int t = 0; t < 10; ++t) rig.Tick();
  const size_t position = rig.mixer.Position(Music::kStreamSlot);
  EXPECT_GT(position, 0u);
  rig.music.MusicCommand(3);
  EXPECT_EQ(rig.mixer.Position(Music::kStreamSlot), position);

  rig.music.MusicCommand(4);  // Ogg only: looped on slot 5, and the stream gives way
  EXPECT_EQ(rig.state->streamKind, 0);
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
  EXPECT_TRUE(rig.mixer.Playing(Music::kOggSlot));
  EXPECT_EQ(rig.mixer.Volume(Music::kOggSlot), -700);
  EXPECT_EQ(rig.S(3), 4);
  EXPECT_EQ(rig.S(5), 4);

  rig.music.MusicCommand(9);  // in neither: nothing plays, the number is still recorded
  EXPECT_EQ(rig.S(5), 9);
  rig.music.MusicCommand(7);  // not WADY: nothing plays
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
  rig.music.MusicCommand(0);
  EXPECT_FALSE(rig.mixer.Has(Music::kOggSlot));
  EXPECT_EQ(rig.S(5), 0);
}

TEST(MusicCommand, FadeFallsEachTickFromTheVolumeAndStopsPastTheFloor) {
  MusicGame game;
  for (const int number : {3, 4}) {
    SCOPED_TRACE(number);
    Rig rig(game.dir.Path());
    rig.settings.Vol3 = -200;
    const int slot = number == 3 ? Music::kStreamSlot : Music::kOggSlot;
    rig.music.MusicCommand(number);
    rig.Tick();
    rig.music.MusicCommand(-50);
    EXPECT_EQ(rig.S(5), 0);
    EXPECT_EQ(rig.S(3), 0);
    rig.music.MusicCommand(0);  // already 0: the fade goes on
    int expected = -200 - 1;
    while (expected - 50 >= Music::kFadeFloor) {
      expected -= 50;
      rig.Tick();
      ASSERT_TRUE(rig.mixer.Has(slot));
      EXPECT_EQ(rig.mixer.Volume(slot), expected);
    }
    rig.Tick();
    EXPECT_FALSE(rig.mixer.Has(slot));
    EXPECT_EQ(rig.state->streamKind, 0);
    EXPECT_EQ(rig.state->fadeLevel, 0);
  }
}

TEST(MusicCommand, SwitchOffRecordsTheNumberAndSwitchingOnStartsIt) {
  MusicGame game;
  Rig rig(game.dir.Path());
  rig.settings.BGM_ENA = 0;
  rig.music.MusicCommand(3);
  EXPECT_EQ(rig.S(3), 3);
  EXPECT_EQ(rig.S(5), 0);
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));

  rig.settings.BGM_ENA = 1;
  rig.music.ApplyMusicSwitch();
  EXPECT_TRUE(rig.mixer.Playing(Music::kStreamSlot));
  EXPECT_EQ(rig.S(3), 3);
  EXPECT_EQ(rig.S(5), 3);

  rig.settings.BGM_ENA = 0;
  rig.music.ApplyMusicSwitch();
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
  EXPECT_EQ(rig.S(3), 3);
  EXPECT_EQ(rig.S(5), 0);
}

TEST(MusicCommand, StartsWaitWhileTheGameIsInTheBackground) {
  MusicGame game;
  Rig rig(game.dir.Path());
  rig.active = false;
  rig.music.MusicCommand(3);
  EXPECT_EQ(rig.S(5), 3);
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
  EXPECT_EQ(rig.state->pendingMusic, 3);
  EXPECT_EQ(rig.state->pendingCountdown, 3);
  // The timer's retry defers again while still in the background, and plays once back.
  rig.state->pendingCountdown = 0;
  EXPECT_TRUE(rig.music.StartMusic(rig.state->pendingMusic));
  EXPECT_EQ(rig.state->pendingCountdown, 3);
  rig.active = true;
  EXPECT_FALSE(rig.music.StartMusic(rig.state->pendingMusic));
  EXPECT_EQ(rig.state->pendingCountdown, 0);
  EXPECT_TRUE(rig.mixer.Playing(Music::kStreamSlot));
}

// Whatever replaces or stops the music also drops a start still waiting for the window.
TEST(MusicCommand, ALaterCommandOrStopDropsAStartPutOff) {
  MusicGame game;
  struct Case {
    const char* what;
    std::function<void(Rig&)> then;
    const char* stream;  // what plays once the window is back: on slot 3, on slot 5
    const char* ogg;
  } cases[] = {
      {"nothing", [](Rig&) {}, "M03", ""},
      {"music 0", [](Rig& r) { r.music.MusicCommand(0); }, "", ""},
      {"a fade", [](Rig& r) { r.music.MusicCommand(-50); }, "", ""},
      {"another number", [](Rig& r) { r.music.MusicCommand(4); }, "", "M04"},
      {"the same number", [](Rig& r) { r.music.MusicCommand(3); }, "M03", ""},
      {"StopMusic", [](Rig& r) { r.music.StopMusic(); }, "", ""},
      {"a load without music",
       [](Rig& r) {
         r.S(5) = 0;
         r.music.RestartAfterLoad(3);
       },
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig(game.dir.Path());
    rig.active = false;
    rig.music.MusicCommand(3);
    c.then(rig);
    rig.active = true;
    for (int t = 0; t < 10; ++t) rig.music.TickPendingStart();
    EXPECT_EQ(rig.mixer.Label(Music::kStreamSlot), c.stream);
    EXPECT_EQ(rig.mixer.Label(Music::kOggSlot), c.ogg);
  }
}

TEST(MusicCommand, LoadingRestartsTheSavedNumberOnlyWhenItDiffers) {
  MusicGame game;
  Rig rig(game.dir.Path());
  rig.S(5) = 3;  // as read from the slot file, over a game that played nothing
  rig.music.RestartAfterLoad(0);
  EXPECT_TRUE(rig.mixer.Playing(Music::kStreamSlot));
  EXPECT_EQ(rig.S(5), 3);
  rig.music.StopMusic();
  rig.music.RestartAfterLoad(3);
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
}

TEST(AnimationSounds, OneShotsAndStreamsKeepToTheirOwnSlots) {
  MusicGame game;
  Rig rig(game.dir.Path());
  rig.settings.Vol2 = -300;
  const auto sound = Stream(2, 0.5, 0);
  std::vector<uint8_t> file(20, 0);
  file.insert(file.end(), sound.begin(), sound.end());
  MemorySource animation(file);

  rig.music.PlayAnimationSound(animation, 20, static_cast<uint32_t>(sound.size()));
  EXPECT_TRUE(rig.mixer.Playing(Music::kOggSlot));
  EXPECT_EQ(rig.mixer.Volume(Music::kOggSlot), -300);
  rig.music.StopMusic();  // not music: it stays
  EXPECT_TRUE(rig.mixer.Has(Music::kOggSlot));
  rig.music.StopAnimationSound();
  EXPECT_FALSE(rig.mixer.Has(Music::kOggSlot));
  // A size past the file's end plays nothing.
  rig.music.PlayAnimationSound(animation, 20, static_cast<uint32_t>(sound.size() + 1));
  EXPECT_FALSE(rig.mixer.Has(Music::kOggSlot));

  rig.music.MusicCommand(4);  // Ogg music is not the animation's to stop
  rig.music.StopAnimationSound();
  EXPECT_TRUE(rig.mixer.Playing(Music::kOggSlot));

  rig.music.MusicCommand(3);
  rig.music.StartAnimationStream(std::make_unique<MemorySource>(file), 20);
  EXPECT_EQ(rig.state->streamKind, 2);
  EXPECT_EQ(rig.mixer.Label(Music::kStreamSlot), "animation stream");
  rig.music.StopStream();
  EXPECT_EQ(rig.state->streamKind, 0);
  EXPECT_FALSE(rig.mixer.Has(Music::kStreamSlot));
}

TEST(MusicGame, ScriptMusicWaitsForTheWindowAndFadesOut) {
  MusicGame game;
  test::TempDir config;
  test::WriteGame(game.dir.Path(), {{"main", "@music 3\n@sleep -1\n@music -300\n@sleep -1\n"}});
  test::Session s(game.dir.Path(), config.Path());
  const auto streamPlaying = [&s] {
    return s.engine().DumpState(0).find(R"({"name":"M03","playing":true})") != std::string::npos;
  };
  s.Events("0 focus off\n");
  s.RunFor(1000);
  EXPECT_EQ(s.state().vars.S[5], 3);
  EXPECT_EQ(s.state().pendingMusic, 3);
  EXPECT_FALSE(streamPlaying());
  // Back in front: the next retry, at most three ticks later, starts it.
  s.Events(std::to_string(s.platform().Ticks()) + " focus on\n");
  s.RunFor(3 * 55 + 20);
  EXPECT_TRUE(streamPlaying());
  EXPECT_EQ(s.state().streamKind, 1);

  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(9 * 55);
  EXPECT_TRUE(streamPlaying());
  s.RunFor(3 * 55);
  EXPECT_FALSE(streamPlaying());
  EXPECT_EQ(s.state().streamKind, 0);
}

TEST(MusicGame, MusicStoppedInTheBackgroundStaysStoppedWhenTheWindowComesBack) {
  MusicGame game;
  test::TempDir config;
  test::WriteGame(game.dir.Path(),
                  {{"main", "@music 3\n@sleep 300\n@music 0\n@sleep -1\n@music 0\n@sleep -1\n"}});
  test::Session s(game.dir.Path(), config.Path());
  s.Events("0 focus off\n1500 focus on\n");
  s.RunFor(3000);
  EXPECT_EQ(s.state().vars.S[5], 0);
  EXPECT_EQ(s.engine().Audio().Device().Label(Music::kStreamSlot), "");
  // And a later stop has nothing left to stop.
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(500);
  EXPECT_EQ(s.engine().Audio().Device().Label(Music::kStreamSlot), "");
}

}  // namespace
}  // namespace zorvel
