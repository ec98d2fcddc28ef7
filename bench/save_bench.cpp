// Saving and loading a full slot (banks, history, page ring, thumbnail) without the banner's
// fades: the pause a player sees beyond the banner. Compare with BM_Memcpy, a whole-frame copy.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_game.h"

namespace zorvel::bench {
namespace {

constexpr char kConfig[] = "MAKER_REG:Software\\Zorvel\\Bench\nGAME_ID:bench\nEND\n";
constexpr char kMain[] = "!S000=0\n!V001=5\nいち▼\nに▼\n@sleep -1\n";

// A game waiting on its first page, with every saved field full.
struct SavedGame {
  SavedGame() : game((WriteGame(dir.Path(), {{"main", kMain}, {"_config", kConfig}}), dir.Path())) {
    game.engine().Start();
    for (int i = 0; i < 50; ++i) game.Pass();
    EngineState& s = game.state();
    for (int i = 0; i < kHistoryCommitted; ++i) {
      std::memset(s.history + i * kHistorySlotSize, 'a' + i % 26, kHistorySlotSize - 1);
    }
    s.historyLines = kHistoryCommitted;
    s.vars.readMarks.bytes.fill(0x55);
  }
  TempDir dir;
  HeadlessGame game;
};

void BM_SaveGame(benchmark::State& st) {
  SavedGame g;
  SaveGames& saves = g.game.engine().Saves().Games();
  for (auto _ : st) saves.SaveGame(1, true);
  st.SetBytesProcessed(st.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_SaveGame);

void BM_LoadGame(benchmark::State& st) {
  SavedGame g;
  SaveGames& saves = g.game.engine().Saves().Games();
  saves.SaveGame(1, true);
  for (auto _ : st) saves.LoadGame(1, true);
  st.SetBytesProcessed(st.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_LoadGame);

}  // namespace
}  // namespace zorvel::bench
