// A full page of the message window drawn again: four lines of 60 bytes (30 full-width
// characters each) with a warm glyph cache, as every screen update does while a page shows.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "../tests/inert_hooks.h"
#include "core/engine_state.h"
#include "graphics/screen.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "text/font.h"
#include "text/message_text.h"
#include "text/sjis.h"
#include "text/system_text.h"

namespace zorvel::bench {
namespace {

void BM_RedrawText(benchmark::State& st) {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  GameConfig config;
  config.TXW_OFS_X = 20;
  config.TXW_OFS_Y = 420;
  config.TX_OFS_X = 10;
  config.TX_OFS_Y = 10;
  config.TX_PITCH_X = 12;
  config.TX_PITCH_Y = 30;
  config.MOJI_MAX_X = 62;
  config.MOJI_MAX_Y = 5;
  Settings settings;
  auto state = std::make_unique<EngineState>();
  state->vars.S[kTextColour] = kWhite;
  Screen screen(platform);
  screen.CreateSurfaces();
  Font font(config, state->vars, platform, [](const std::string&) {});
  font.Load(Utf8ToSjis("ＭＳ ゴシック").value(), 19, false);
  font.PrecacheGlyphs();
  SystemText systemText([](const std::string&) {});
  MessageText text(*state, config, settings, screen, font, systemText, platform,
                   test::InertMessageTextHooks());
  const std::string line =
      Utf8ToSjis("きょうはいいてんきだねさかのうえまであるいていこうかまちがみえるよ").value();
  state->ClearPageState();
  for (int row = 1; row <= 4; ++row) {
    std::memcpy(state->pageText[row] + 2, line.data(), std::min<size_t>(line.size(), 60));
  }
  state->pageCleared = false;
  text.RedrawText();  // the cache is warm from here on
  for (auto _ : st) {
    text.RedrawText();
    benchmark::DoNotOptimize(screen.screenSurface.Row(450));
  }
  st.SetItemsProcessed(st.iterations() * 120);
}
BENCHMARK(BM_RedrawText);

}  // namespace
}  // namespace zorvel::bench
