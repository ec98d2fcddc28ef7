// Composition of a full scene: a background, four characters and an overlay, through the screen
// update without a transition (the result is shown at once).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "bench_game.h"
#include "graphics/layers.h"
#include "graphics/picture.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive.h"
#include "resources/archive_set.h"

namespace zorvel::bench {
namespace {

Surface Gradient(int width, int height, int seed) {
  Surface s(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < width * 3; ++x)
      row[x] = static_cast<uint8_t>(x / 3 + y * seed + x % 3 * 40);
  }
  return s;
}

// A character file: colour on the left, a soft-edged mask on the right.
Surface Character(int seed) {
  Surface s = Gradient(600, 600, seed);
  for (int y = 0; y < 600; ++y) {
    uint8_t* mask = s.Row(y) + 300 * 3;
    for (int x = 0; x < 300; ++x) {
      const int edge = std::min(x, 299 - x);
      const uint8_t m = static_cast<uint8_t>(edge > 60 ? 255 : edge * 4);
      mask[x * 3] = mask[x * 3 + 1] = mask[x * 3 + 2] = m;
    }
  }
  return s;
}

void WritePictures(const std::string& path) {
  std::vector<std::pair<std::string, Surface>> pictures = {
      {"A1", Gradient(800, 600, 1)}, {"B1", Character(2)}, {"B2", Character(3)},
      {"B3", Character(4)},          {"B4", Character(5)}, {"O1", Character(6)}};
  WritePictureArchive(path, pictures);
}

void BM_UpdateScreen(benchmark::State& st) {
  TempDir dir;
  WritePictures(dir.Path() + "/vx_gra.kpz");
  ArchiveSet archives(dir.Path());
  archives.OpenArchives(GameConfig{}, "NULL");
  PictureLoader pictures(archives);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  auto state = std::make_unique<EngineState>();
  Screen screen(platform);
  screen.CreateSurfaces();
  LayerHooks hooks = test::InertLayerHooks();
  hooks.runTransition = [&](int) { platform.Present(screen.screenSurface); };
  Layers layers(screen, *state, pictures, platform, hooks);
  layers.Reset();
  state->vars.S[20] = 1;  // the overlay in front of the characters
  layers.Gra("A1");
  layers.Spr("B1,B2,B3,B4");
  layers.Ovr("O1,0,250,0");
  for (auto _ : st) {
    layers.UpdateScreen(0);
    benchmark::DoNotOptimize(platform.LastFrame().Row(0));
  }
  st.SetBytesProcessed(st.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_UpdateScreen);

}  // namespace
}  // namespace zorvel::bench
