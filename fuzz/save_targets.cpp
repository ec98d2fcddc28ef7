// Fuzz target bodies of the save files: a slot file loaded into a fresh state and then into a
// running game, and a global data file synchronised with memory.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_game.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "save/global_data.h"
#include "save/save_screens.h"
#include "save/slot_file.h"
#include "scratch_dir.h"
#include "targets.h"

namespace zorvel::fuzz {

namespace {

// The game a slot is loaded into: a page, a choice, a wait inside a line, a call and a chain,
// so that a slot's positions land among lines of every kind.
constexpr char kSlotMain[] =
    "!V001=1\n"
    "first page\x81\xA5\n"
    "@select\n"
    "{One\n"
    "!V001=2\n"
    "{Two\n"
    "!V001=3\n"
    "}\n"
    "half a line%3 and the rest\x81\xA5\n"
    "@call sub:START\n"
    "@chain sub:WAIT\n";

// A few seconds of play after a load: enough for the interpreter to read where the slot put it.
constexpr int kPassesAfterLoad = 12;

// The slot, as save01.dat of the fuzz game, loaded over the game once its MAIN has started.
void PlaySlot(const uint8_t* data, size_t size) {
  static FuzzGame game;
  static const std::vector<uint8_t> main = [] {
    std::vector<uint8_t> text(kSlotMain, kSlotMain + sizeof kSlotMain - 1);
    std::replace(text.begin(), text.end(), uint8_t{'\n'}, uint8_t{0});
    return text;
  }();
  if (!game.Write(main.data(), main.size())) return;
  const std::string slots = JoinPath(game.Dir(), "save");
  FUZZ_CHECK(MakeDirectories(slots));
  FUZZ_CHECK(WriteFileAtomic(JoinPath(slots, "save01.dat"), data, size));

  static EngineStock stock;
  MemoryStore store;
  store.Write("Software\\Zorvel\\Fuzz", "fuzz", "GMode", "1");
  store.Write("Software\\Zorvel\\Fuzz", "fuzz", "Delay", "1");
  FramelessPlatform platform(store);
  platform.SetAudioRate(kFuzzAudioRate);
  EngineOptions options;
  options.gameDir = game.Dir();
  options.stock = &stock;
  options.randomSeed = 7;
  options.seedGiven = true;
  Engine engine(platform, options);
  engine.Interp().SetStepLimits(kLinesPerStep, kBytesPerStep);
  platform.AddEvents(TimedClicks(kPassesAfterLoad * kClockGrainMs + 1000));
  engine.Start();
  WarmGlyphs(engine);
  engine.AppIdle();  // MAIN starts

  const EngineState& s = engine.State();
  if (engine.Saves().Games().LoadGame(1, true)) {
    FUZZ_CHECK(s.scriptPos >= 0 && s.scriptPos <= s.scriptSize);
  }
  uint32_t nextTick = platform.Ticks() + Engine::kTimerInterval;
  for (int pass = 0; pass < kPassesAfterLoad; ++pass) {
    if (!PlayPass(engine, platform, pass, size, nextTick)) break;
  }
}

}  // namespace

void FuzzSlotFile(const uint8_t* data, size_t size) {
  SlotFile file;
  std::string why;
  if (!file.Parse(std::span(data, size), why)) {
    FUZZ_CHECK(size < kSlotFileSize && !why.empty());
    return;
  }
  static auto state = std::make_unique<EngineState>();
  *state = EngineState{};
  file.RestoreBanks(*state);
  file.RestoreRecord(*state);
  file.RestoreTexts(*state);
  PageRing ring;
  file.RestoreRing(ring);
  // Whatever the bytes, what indexes the state's arrays stays inside them.
  FUZZ_CHECK(state->callDepth >= 0 && state->callDepth <= kMaxCallDepth);
  FUZZ_CHECK(state->textRow >= 0 && state->textRow <= kPageRows);
  FUZZ_CHECK(state->textColumn >= 0 && state->textColumn <= kPageColumns);
  FUZZ_CHECK(state->historyLines >= 0 && state->historyLines <= kHistoryCommitted);
  FUZZ_CHECK(state->linePos >= 0 && state->linePos < kLineBufferSize);
  FUZZ_CHECK(state->lineBuffer[kLineBufferSize - 1] == 0);
  FUZZ_CHECK(ring.pageCounter >= 0);
  const Surface thumb = file.Thumbnail();
  FUZZ_CHECK(thumb.Width() == kThumbWidth && thumb.Height() == kThumbHeight);
  // A slot written from the loaded state is a slot again.
  const Surface scene(800, 600);
  const std::vector<uint8_t> again =
      BuildSlotFile(SlotSource{*state, ring, scene, state->loopEffect, std::tm{}});
  FUZZ_CHECK(again.size() == kSlotFileSize);

  PlaySlot(data, size);
}

void FuzzGlobalFile(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  static ForgetfulSettingsStore store;
  static const SettingsLocation where;
  static Settings settings;
  const std::string path = JoinPath(scratch.Path(), "save0.dat");
  // Damaged copies are kept beside the file and never replaced; each input starts without them.
  RemoveFile(path + ".bad");
  FUZZ_CHECK(WriteFileAtomic(path, data, size));
  static auto state = std::make_unique<EngineState>();
  *state = EngineState{};
  GlobalData global(*state, store, where, settings);
  global.SetDirectory(scratch.Path());
  global.SyncGlobalData(size % 2 == 0);
  // Whatever was there, a whole file with a right checksum is there now.
  const auto written = ReadWholeFile(path);
  FUZZ_CHECK(written && written->size() == kGlobalFileSize);
  FUZZ_CHECK(DescribeGlobalFile(*written).checksumGood);
  // A damaged file with anything in it is kept as it was.
  const GlobalFileInfo input = DescribeGlobalFile(std::span(data, size));
  if (size > 0 && !input.checksumGood) {
    FUZZ_CHECK(ReadWholeFile(path + ".bad") == std::vector<uint8_t>(data, data + size));
  }
}

}  // namespace zorvel::fuzz
