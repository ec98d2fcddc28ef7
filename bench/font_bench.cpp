// The message font's per-character costs: a code the cache does not hold (the outline
// rasteriser), a cached code (cache copy, coverage picture and shadow), and the glyph drawn
// over its shadow onto the screen. Compare with BM_Memcpy, a whole-frame copy.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "text/font.h"
#include "text/sjis.h"

namespace zorvel::bench {
namespace {

struct BenchFont {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  GameConfig config;
  VariableBanks vars;
  Font font{config, vars, platform, [](const std::string&) {}};

  BenchFont() {
    config.TX_PITCH_X = 12;
    vars.S[kTextColour] = kWhite;
    font.Load(Utf8ToSjis("ＭＳ ゴシック").value(), 19, false);
    font.PrecacheGlyphs();
  }
};

uint16_t NextCode(uint16_t code) {
  return static_cast<uint16_t>((code & 0xFF) == 0xFC ? (code & 0xFF00) + 0x140 : code + 1);
}

void BM_RenderGlyph(benchmark::State& state, bool cached) {
  BenchFont b;
  std::vector<uint16_t> codes;
  if (cached) {
    for (uint16_t code = 0x829F; code <= 0x82F1; ++code) codes.push_back(code);  // hiragana
  } else {
    // A full cache of other kanji, so every code below reaches the rasteriser each time.
    b.font.RememberRasterisedGlyphs(false);
    uint16_t code = 0x889F;
    while (b.font.Cache().Count() < GlyphCache::kCapacity) {
      b.font.RenderGlyph(code);
      code = NextCode(code);
    }
    for (code = 0x9040; codes.size() < 256; code = NextCode(code)) codes.push_back(code);
  }
  size_t next = 0;
  for (auto _ : state) {
    b.font.RenderGlyph(codes[next++ % codes.size()]);
    benchmark::DoNotOptimize(b.font.Coverage().data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_RenderGlyph, uncached, false);
BENCHMARK_CAPTURE(BM_RenderGlyph, cached, true);

void BM_DrawGlyph(benchmark::State& state) {
  BenchFont b;
  b.font.RenderGlyph(0x8ABF);  // 漢
  b.font.SetTextColour(0);
  Surface screen(800, 600);
  screen.Fill(40, 80, 120);
  int x = 0, y = 0;
  for (auto _ : state) {
    b.font.DrawGlyph(screen, x, y);
    x = (x + 24) % 760;
    if (x < 24) y = (y + 35) % 560;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawGlyph);

}  // namespace
}  // namespace zorvel::bench
