// The history view drawn again after one wheel step: the darkened background copied, 29 rows of
// text and voice icons, the thumb, and the picture shown. Every scroll step and hover change
// costs this, so it must stay a small multiple of one full-screen copy (BM_Memcpy).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "bench_game.h"
#include "core/variable_banks.h"
#include "graphics/layers.h"
#include "graphics/picture.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "text/font.h"
#include "text/sjis.h"
#include "text/system_text.h"
#include "ui/backlog.h"

namespace zorvel::bench {
namespace {

Surface Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Surface s(width, height);
  s.Fill(r, g, b);
  return s;
}

void WriteViewPictures(const std::string& path) {
  Surface bar(192, 574);
  bar.FillRect(0, 0, 32, 574, 90, 90, 110);
  bar.FillRect(96, 0, 32, 574, 255, 255, 255);
  const std::vector<std::pair<std::string, Surface>> pictures = {
      {"sys_bl_bar", bar},
      {"sys_bl_cur", Solid(16, 40, 220, 40, 40)},
      {"sys_blVR", Solid(16, 14, 40, 200, 60)},
      {"sys_blVR2", Solid(16, 14, 40, 220, 255)}};
  WritePictureArchive(path, pictures);
}

void BM_BacklogRedraw(benchmark::State& st) {
  TempDir dir;
  WriteViewPictures(dir.Path() + "/vx_gra.kpz");
  ArchiveSet archives(dir.Path());
  archives.OpenArchives(GameConfig{}, "NULL");
  PictureLoader pictures(archives);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  auto state = std::make_unique<EngineState>();
  state->vars.S[kSaveAllowed] = 1;
  GameConfig config;
  config.FONT_NAME = Utf8ToSjis("ＭＳ ゴシック").value();
  Settings settings;
  Screen screen(platform);
  screen.CreateSurfaces();
  Layers layers(screen, *state, pictures, platform, test::InertLayerHooks());
  Font font(config, state->vars, platform, [](const std::string&) {});
  SystemText systemText([](const std::string&) {});
  Backlog backlog(*state, screen, config, settings, pictures, layers, font, systemText, platform,
                  test::InertBacklogHooks());

  // A full history: lines of 20 full-width characters, every fifth a voice.
  const std::string line = Utf8ToSjis("「きょうはいいてんきだね、さかのうえまであるこう」").value();
  for (int i = 0; i < kHistoryCommitted; ++i) {
    char* slot = state->history + i * kHistorySlotSize;
    const std::string text = i % 5 == 4 ? "@V" + std::to_string(i) : line;
    std::memcpy(slot, text.data(), std::min<size_t>(text.size(), kHistorySlotSize - 1));
  }
  state->historyLines = kHistoryCommitted;
  backlog.OpenBacklog();
  int direction = -1;
  for (auto _ : st) {
    // Back and forth, so that every step shows other lines.
    direction = -direction;
    backlog.Wheel(direction);
    benchmark::DoNotOptimize(screen.screenSurface.Row(0));
  }
  st.SetBytesProcessed(st.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_BacklogRedraw);

}  // namespace
}  // namespace zorvel::bench
