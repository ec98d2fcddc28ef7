// The effects' per-frame costs. A running background animation changes frame with one
// full-screen copy (the frames are prepared with the window and text once), so
// BM_BackgroundAnimationStep should stay within 1.5 x BM_Memcpy; one tint step of the effect
// script blends the screen toward a colour and shows it, within 2 x BM_Memcpy.
#include <benchmark/benchmark.h>

#include <memory>

#include "../tests/inert_hooks.h"
#include "graphics/effects.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"

namespace zorvel::bench {
namespace {

struct EffectsRig {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  Screen screen{platform};
  EngineState state;
  GameConfig config;
  Settings settings;
  FrameClock clock{platform, [] {}};
  std::unique_ptr<Effects> effects;

  EffectsRig() {
    config.TXW_OFS_Y = 450;
    config.TXW_SIZE_X = 800;
    config.TXW_SIZE_Y = 150;
    screen.CreateSurfaces();
    for (int y = 0; y < 600; ++y) {
      uint8_t* row = screen.screenSurface.Row(y);
      for (int x = 0; x < 2400; ++x) row[x] = static_cast<uint8_t>(x * 3 + y * 7);
    }
    effects = std::make_unique<Effects>(screen, state, config, settings, clock, platform,
                                        test::InertEffectHooks());
  }
};

void BM_BackgroundAnimationStep(benchmark::State& state) {
  EffectsRig rig;
  // Three frames shifted apart, so every change shows other pixels.
  rig.effects->BgAnim("OFS,1,0,4,0,0,-4,0,0,0,4");
  for (auto _ : state) {
    rig.effects->AdvanceBackgroundAnimation();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_BackgroundAnimationStep);

void BM_EffectTint(benchmark::State& state) {
  EffectsRig rig;
  int level = 0;
  for (auto _ : state) {
    rig.effects->Tint(255, 0, 0, level);
    level = (level + 16) & 255;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * 3);
}
BENCHMARK(BM_EffectTint);

}  // namespace
}  // namespace zorvel::bench
