// Rebuilding the message window after the scene changed: the masked blend of every window row,
// the bar and name-plate backgrounds and the clean copy. It runs on every screen update that
// changes the scene, so it must stay a small multiple of one full-screen copy (BM_Memcpy).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "../tests/inert_hooks.h"
#include "core/engine_state.h"
#include "graphics/frame_clock.h"
#include "graphics/message_window.h"
#include "graphics/pixel_ops.h"
#include "graphics/screen.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"

namespace zorvel::bench {
namespace {

void BM_BuildWindowPicture(benchmark::State& state) {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  Screen screen(platform);
  screen.CreateSurfaces();
  auto s = std::make_unique<EngineState>();
  GameConfig config;
  // A full-width window over the bottom third with the plate inside it.
  config.TXW_OFS_X = 0;
  config.TXW_OFS_Y = 400;
  config.TXW_SIZE_X = 800;
  config.TXW_SIZE_Y = 200;
  config.NP_OFS_X = 20;
  config.NP_OFS_Y = 405;
  config.NP_SZ_X = 200;
  config.NP_SZ_Y = 40;
  Settings settings;
  settings.TXBG_B = 64;
  settings.TXBG_A = 160;
  screen.BuildWindowBackground(settings, config.TXW_SIZE_X, config.TXW_SIZE_Y);
  std::mt19937 rng(7);
  for (int y = 0; y < 600; ++y) {
    for (int i = 0; i < 800 * 3; ++i) screen.sceneSurface.Row(y)[i] = static_cast<uint8_t>(rng());
  }
  FrameClock clock(platform, {});
  MessageWindow window(screen, *s, config, settings, platform, clock,
                       test::InertMessageWindowHooks());
  for (auto _ : state) {
    s->windowPictureValid = false;
    window.BuildWindowPicture();
    benchmark::ClobberMemory();
  }
  state.SetLabel(PixelPathName(CurrentPixelPath()));
}
BENCHMARK(BM_BuildWindowPicture);

}  // namespace
}  // namespace zorvel::bench
