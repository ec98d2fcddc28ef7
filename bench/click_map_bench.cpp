// A pointer move over a click map of 32 rectangles that moves the highlight from one entry to
// the next: the walk over every entry, the old entry's rectangle put back from the screen and
// the new one's copied from the parts picture. Compare with BM_Memcpy, one whole-frame copy.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_game.h"

namespace zorvel::bench {
namespace {

void BM_HoverMap(benchmark::State& st) {
  TempDir dir;
  // 32 rectangles of 100 x 150 in four rows; the last two are the ones hovered, so every move
  // walks the whole list first.
  std::string map = ":GRID\n32\n";
  for (int i = 0; i < 32; ++i) {
    const int x = (i % 8) * 100;
    const int y = (i / 8) * 150;
    map += "*P" + std::to_string(i) + "," + std::to_string(x) + "," + std::to_string(y) + "," +
           std::to_string(x + 100) + "," + std::to_string(y + 150) + "\n";
  }
  std::string main = "@gra A001\n@partsload PARTS\n@clickmap GRID\n";
  for (int i = 0; i < 32; ++i) main += "{\n";
  main += "}\n";
  WriteGame(dir.Path(), {{"main", main}, {"map", map}, {"_config", "GAME_ID:bench\n"}});
  Surface scene(800, 600);
  scene.Fill(30, 60, 90);
  Surface parts(800, 600);
  parts.Fill(240, 200, 40);
  WritePictureArchive(dir.Path() + "/vx_gra.kpz", {{"A001", scene}, {"PARTS", parts}});
  HeadlessGame game(dir.Path());
  game.engine().Start();
  for (int i = 0; i < 500 && game.state().interactionMode != 4; ++i) game.Pass();
  if (game.state().interactionMode != 4) {
    st.SkipWithError("the map did not open");
    return;
  }
  bool second = false;
  for (auto _ : st) {
    second = !second;
    game.Move(second ? 750 : 650, 525);
    benchmark::DoNotOptimize(game.engine().Map().Highlighted());
  }
  if (game.engine().Map().Highlighted() == 0) st.SkipWithError("nothing was highlighted");
}
BENCHMARK(BM_HoverMap);

}  // namespace
}  // namespace zorvel::bench
