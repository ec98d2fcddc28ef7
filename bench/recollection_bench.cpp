// The recollection menu drawn whole, as a step between sub-pages, a return from a replay and
// the opening redraw it: the tabs and the grid of 84 unlocked scenes (kept from the page's first
// drawing while its unlock bits stay the same), the playlist cells, name and 25 entries, and
// the picture shown. It must stay a small multiple of one full-screen copy (BM_Memcpy). A page's
// first drawing, its texts in two passes, costs about six copies more.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "bench_game.h"
#include "extras/recollection.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive_set.h"
#include "text/sjis.h"
#include "text/system_text.h"

namespace zorvel::bench {
namespace {

Surface Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Surface s(width, height);
  s.Fill(r, g, b);
  return s;
}

void BM_RecollectionRedraw(benchmark::State& st) {
  TempDir dir;
  WritePictureArchive(dir.Path() + "/vx_gra.kpz", {{"ss_kaiso", Solid(800, 600, 20, 20, 60)},
                                                   {"ss_kaiso2", Solid(800, 600, 90, 90, 160)},
                                                   {"ss_kaiso_p", Solid(40, 92, 200, 0, 0)}});
  ArchiveSet archives(dir.Path());
  archives.OpenArchives(GameConfig{}, "NULL");
  PictureLoader pictures(archives);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  auto state = std::make_unique<EngineState>();
  ScriptLoader loader(archives, *state);
  Screen screen(platform);
  screen.CreateSurfaces();
  Layers layers(screen, *state, pictures, platform, test::InertLayerHooks());
  SystemText text([](const std::string&) {});
  RecollectionPlaylists playlists;
  Recollection menu(*state, screen, pictures, loader, layers, text, platform, playlists,
                    test::InertRecollectionHooks());

  // Two sub-pages of 84 scenes each, every one unlocked, with a heading of its own every 12.
  FlashbackList list;
  list.categories = {{"A", "B"}};
  const std::string scene = Utf8ToSjis("第三話　夕暮れの坂道で").value();
  for (const char* page : {":A", ":B"}) {
    list.display.push_back(page);
    list.scripts.emplace_back();
    for (int i = 0; i < 77; ++i) {
      const bool heading = i % 11 == 0;
      std::string line = heading ? std::string("*") : std::string();
      line.append(scene);
      if (!heading) line.append(std::to_string(i));
      list.display.push_back(line);
      std::string script = heading ? std::string() : std::to_string(list.display.size());
      if (!heading) script.insert(script.begin(), 'S');
      list.scripts.push_back(script);
    }
  }
  for (size_t i = 0; i < list.display.size(); ++i) state->vars.unlocked.Set(static_cast<int>(i));
  menu.SetList(std::move(list));
  for (int i = 0; i < kPlaylistRows; ++i) playlists.entries[0][static_cast<size_t>(i)] = 2 + i;
  menu.OpenRecollection();
  bool second = false;
  for (auto _ : st) {
    // The strip's buttons, alternately: every pass draws a whole sub-page anew.
    second = !second;
    menu.ScreenClick(MouseButton::kLeft, 530, second ? 470 : 420);
    benchmark::DoNotOptimize(screen.screenSurface.Row(0));
  }
  st.SetBytesProcessed(st.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_RecollectionRedraw);

}  // namespace
}  // namespace zorvel::bench
