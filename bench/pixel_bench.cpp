// Full-screen row blends against a plain copy of the same frame. All three walk the same ring
// of frames; even the copy's share of it (two surfaces a set) is well past a 32 MB last-level
// cache, so each one streams from memory and none runs from a cache the others lack.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/pixel_ops.h"
#include "graphics/surface.h"

namespace zorvel::bench {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kFrameSets = 16;

struct FrameSet {
  Surface under{kWidth, kHeight}, over{kWidth, kHeight}, mask{kWidth, kHeight},
      out{kWidth, kHeight};
};

std::vector<FrameSet>& Frames() {
  static std::vector<FrameSet> frames = [] {
    std::vector<FrameSet> sets(kFrameSets);
    std::mt19937 rng(7);
    for (FrameSet& s : sets) {
      for (int y = 0; y < kHeight; ++y) {
        for (int i = 0; i < kWidth * 3; ++i) {
          s.under.Row(y)[i] = static_cast<uint8_t>(rng());
          s.over.Row(y)[i] = static_cast<uint8_t>(rng());
        }
        // A character's mask: transparent margins, an opaque body and soft edges between.
        for (int x = 0; x < kWidth; ++x) {
          const int edge = std::abs(x - kWidth / 2) - 200 + static_cast<int>(rng() % 8);
          const uint8_t m = edge <= 0    ? 255
                            : edge >= 16 ? 0
                                         : static_cast<uint8_t>(255 - edge * 16);
          std::memset(s.mask.Row(y) + x * 3, m, 3);
        }
      }
    }
    return sets;
  }();
  return frames;
}

constexpr int64_t kFrameBytes = int64_t{kWidth} * 3 * kHeight;

void BM_Memcpy(benchmark::State& state) {
  auto& frames = Frames();
  size_t next = 0;
  for (auto _ : state) {
    FrameSet& s = frames[next++ % frames.size()];
    std::memcpy(s.out.Row(0), s.under.Row(0), kFrameBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_Memcpy);

void BM_BlendConstant(benchmark::State& state) {
  auto& frames = Frames();
  size_t next = 0;
  int level = 0;
  for (auto _ : state) {
    FrameSet& s = frames[next++ % frames.size()];
    level = (level + 37) % 257;
    for (int y = 0; y < kHeight; ++y) {
      BlendConstant(s.out.Row(y), s.under.Row(y), s.over.Row(y), level, kWidth * 3 / 8);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kFrameBytes);
  state.SetLabel(PixelPathName(CurrentPixelPath()));
}
BENCHMARK(BM_BlendConstant);

void BM_BlendMasked(benchmark::State& state) {
  auto& frames = Frames();
  size_t next = 0;
  for (auto _ : state) {
    FrameSet& s = frames[next++ % frames.size()];
    for (int y = 0; y < kHeight; ++y) {
      BlendMasked(s.out.Row(y), s.under.Row(y), s.over.Row(y), s.mask.Row(y), kWidth * 3 / 8);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kFrameBytes);
  state.SetLabel(PixelPathName(CurrentPixelPath()));
}
BENCHMARK(BM_BlendMasked);

}  // namespace
}  // namespace zorvel::bench
