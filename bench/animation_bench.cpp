// Sprite animations: the doubling of `animq` (compare with BM_Memcpy, the copy of one 800 x 600
// frame) and one whole 800 x 600 JPEG frame decoded and drawn onto the window (compare with
// BM_AnimationFrame/decode, the bare decode of the same frame). The doubling walks a ring of
// pictures well past the last-level cache, as BM_Memcpy does.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "graphics/animation.h"
#include "graphics/picture.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"

namespace zorvel::bench {
namespace {

void BM_Doubling(benchmark::State& state, int width, int height) {
  constexpr int kSets = 16;
  std::vector<Picture32> in(kSets);
  std::vector<Picture32> out(kSets);
  std::mt19937 rng(5);
  for (Picture32& p : in) {
    p.Resize(width, height);
    for (uint32_t& px : p.pixels) px = rng();
  }
  for (Picture32& p : out) p.Resize(2 * width, 2 * height);
  size_t next = 0;
  for (auto _ : state) {
    const size_t k = next++ % kSets;
    DoublePicture(in[k], out[k]);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{2 * width} * 2 * height * 4);
}
BENCHMARK_CAPTURE(BM_Doubling, 400x300, 400, 300);

// A photograph-like frame: soft gradients with fine grain, as rendered animation frames are.
std::vector<uint8_t> PhotoFrameEntry() {
  Surface picture(800, 600);
  std::mt19937 rng(11);
  for (int y = 0; y < 600; ++y) {
    uint8_t* row = picture.Row(y);
    for (int x = 0; x < 800; ++x) {
      const double v = 0.5 + 0.25 * std::sin(x / 37.0) + 0.2 * std::cos((x + y) / 53.0);
      row[x * 3] = static_cast<uint8_t>(std::clamp(v * 200 + rng() % 12, 0.0, 255.0));
      row[x * 3 + 1] = static_cast<uint8_t>(std::clamp(v * 150 + y / 6 + rng() % 12, 0.0, 255.0));
      row[x * 3 + 2] = static_cast<uint8_t>(std::clamp(240 - v * 120 + rng() % 12, 0.0, 255.0));
    }
  }
  AnimationFrameSource frame;
  frame.jpeg = EncodeJpeg(picture, 90);
  return AssembleAnimationEntry(33, 800, 600, {frame}, {});
}

void BM_AnimationFrame(benchmark::State& state, bool draw) {
  const std::vector<uint8_t> bytes = PhotoFrameEntry();
  AnimationEntry entry;
  std::string why;
  if (!ReadAnimationEntry(bytes, entry, why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const std::span<const uint8_t> jpeg =
      std::span(bytes).subspan(entry.frames[0].offset, entry.frames[0].size);
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  Surface window(800, 600);
  Animation::Player player(entry, false, 0, 0, window);
  player.memory = bytes;
  Surface decoded;
  for (auto _ : state) {
    if (draw) {
      // What a frame of the loop costs before the window update: read, decode, draw, present.
      const ScreenRect r = player.DrawFrame(0);
      platform.PresentRect(window, r.x, r.y, r.w, r.h);
    } else {
      DecodeJpeg(jpeg, decoded, nullptr);
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(BM_AnimationFrame, whole, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AnimationFrame, decode, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
