// The gallery viewer's idle pass while every glow on the page fades: twelve thumbnails, the three
// buttons and six tabs each blended back from the highlighted page. Compare with BM_Memcpy, one
// full-screen copy: the pass runs fifty times a second while the pointer moves over the page.
#include <benchmark/benchmark.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../tests/inert_hooks.h"
#include "bench_game.h"
#include "extras/gallery.h"
#include "graphics/frame_clock.h"
#include "graphics/picture.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive_set.h"
#include "text/system_text.h"

namespace zorvel::bench {
namespace {

Surface Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Surface s(width, height);
  s.Fill(r, g, b);
  return s;
}

// Appends the numbers separated by commas, then `tail`.
void Numbers(std::string& out, std::initializer_list<int> numbers, const char* tail) {
  bool first = true;
  for (int n : numbers) {
    if (!first) out += ',';
    out += std::to_string(n);
    first = false;
  }
  out += tail;
}

// Four columns by three rows of 150 x 112 thumbnails, the buttons and six tabs along the bottom.
std::string Definition() {
  std::string view =
      ":VIEW_1\n{\nTYPE:0\nGRA:PAGE_N,PAGE_H\nSET:2\nTHM_SIZE:150,112\n"
      "NEXT:600,540,700,580\nPREV:480,540,580,580\nEXIT:700,540,790,580\n";
  for (int n = 1; n <= 12; ++n) {
    Numbers(view, {n}, ":");
    Numbers(view, {40 + (n - 1) % 4 * 185, 40 + (n - 1) / 4 * 160}, "\n");
  }
  for (int t = 0; t < 6; ++t) {
    view += 'P';
    Numbers(view, {t}, ":");
    Numbers(view, {20 + t * 70, 545, 80 + t * 70, 575}, "\n");
  }
  view += "}\n{\n";
  for (int n = 1; n <= 12; ++n) {
    Numbers(view, {n}, ":A");
    Numbers(view, {n}, "\n");
  }
  view += "}\n{\n}\n";
  return view;
}

void BM_ViewerIdle(benchmark::State& st) {
  TempDir dir;
  WriteGame(dir.Path(), {{"view", Definition()}});
  WritePictureArchive(dir.Path() + "/vx_gra.kpz", {{"PAGE_N", Solid(800, 600, 20, 20, 60)},
                                                   {"PAGE_H", Solid(800, 600, 250, 220, 0)}});
  ArchiveSet archives(dir.Path());
  std::string why;
  if (!archives.OpenScriptArchives(why)) {
    st.SkipWithError(why.c_str());
    return;
  }
  archives.OpenArchives(GameConfig{}, "NULL");
  auto state = std::make_unique<EngineState>();
  ScriptLoader loader(archives, *state);
  PictureLoader pictures(archives);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  Screen screen(platform);
  screen.CreateSurfaces();
  SystemText systemText([](const std::string&) {});
  FrameClock clock(platform, [] {});
  GameConfig config;
  Settings settings;
  // Every picture seen: all twelve entries can be hovered.
  for (int i = 0; i < 12; ++i) state->vars.seen.Set(i);
  Gallery gallery(*state, screen, config, settings, loader, pictures, systemText, clock, platform,
                  test::InertGalleryHooks());
  gallery.OpenViewer("VIEW_1");

  // The points to hover: every entry, button and tab once.
  std::vector<std::pair<int, int>> items;
  for (int n = 0; n < 12; ++n) items.emplace_back(50 + n % 4 * 185, 50 + n / 4 * 160);
  for (int x : {500, 620, 720}) items.emplace_back(x, 550);
  for (int t = 0; t < 6; ++t) items.emplace_back(30 + t * 70, 550);
  auto glowAll = [&] {
    for (const auto& [x, y] : items) gallery.ViewerMouseMove(x, y);
    gallery.ViewerMouseMove(790, 10);
    platform.Flush();
  };
  glowAll();
  int passes = 0;
  for (auto _ : st) {
    // Sixteen passes fade a glow out; light everything again, unmeasured, before the next.
    if (++passes == 16) {
      st.PauseTiming();
      glowAll();
      passes = 1;
      st.ResumeTiming();
    }
    gallery.ViewerIdle();
  }
  if (!gallery.Fading()) st.SkipWithError("the glows did not fade");
}
BENCHMARK(BM_ViewerIdle);

}  // namespace
}  // namespace zorvel::bench
