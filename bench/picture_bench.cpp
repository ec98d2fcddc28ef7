// GRA decoding against zlib's inflate on the same pixels: a picture format the engine unpacks
// on every scene change has to be at least as quick as the general-purpose alternative.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "graphics/picture.h"
#include "graphics/surface.h"

namespace zorvel::bench {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// A screen of window frames and panels: flat colours, a banded backdrop and a few thin lines.
std::vector<uint8_t> FlatPicture() {
  std::vector<uint8_t> p(size_t{kWidth} * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* px = &p[(static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3];
      uint8_t b = static_cast<uint8_t>(60 + y / 8);
      uint8_t g = static_cast<uint8_t>(40 + y / 12);
      uint8_t r = 30;
      if (x >= 40 && x < 760 && y >= 420 && y < 580) {
        b = 90;
        g = 40;
        r = 20;
        if (x == 40 || x == 759 || y == 420 || y == 579) b = g = r = 230;
      } else if (x >= 100 && x < 300 && y >= 80 && y < 380) {
        b = 200;
        g = 180;
        r = 170;
      } else if (x >= 500 && x < 700 && y >= 60 && y < 360) {
        b = 50;
        g = 120;
        r = 220;
      }
      px[0] = b;
      px[1] = g;
      px[2] = r;
    }
  }
  return p;
}

// Smooth gradients under sensor-like noise.
std::vector<uint8_t> PhotoPicture() {
  std::vector<uint8_t> p(size_t{kWidth} * kHeight * 3);
  std::mt19937 rng(12345);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* px = &p[(static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 3];
      const int base[3] = {x * 200 / kWidth + 20, y * 180 / kHeight + 40,
                           (x + y) * 160 / (kWidth + kHeight) + 60};
      for (int c = 0; c < 3; ++c) {
        const int n = static_cast<int>(rng() % 9) - 4;
        px[c] = static_cast<uint8_t>(std::clamp(base[c] + n, 0, 255));
      }
    }
  }
  return p;
}

struct Sample {
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> gra;
  std::vector<uint8_t> deflated;
};

Sample MakeSample(std::vector<uint8_t> pixels) {
  Sample s;
  s.pixels = std::move(pixels);
  s.gra = EncodeGraPicture(s.pixels, kWidth, kHeight);
  uLongf size = compressBound(static_cast<uLong>(s.pixels.size()));
  s.deflated.resize(size);
  compress2(s.deflated.data(), &size, s.pixels.data(), static_cast<uLong>(s.pixels.size()), 6);
  s.deflated.resize(size);
  return s;
}

const Sample& Get(std::string_view kind) {
  static const Sample flat = MakeSample(FlatPicture());
  static const Sample photo = MakeSample(PhotoPicture());
  return kind == "flat" ? flat : photo;
}

void BM_DecodeGra(benchmark::State& state, const char* kind) {
  const Sample& s = Get(kind);
  Surface out;
  for (auto _ : state) {
    if (!DecodeGraPicture(s.gra, out, nullptr)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.Row(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.pixels.size()));
  state.counters["packed"] = static_cast<double>(s.gra.size());
  state.counters["flags"] = s.gra[2];
}

void BM_ZlibInflate(benchmark::State& state, const char* kind) {
  const Sample& s = Get(kind);
  std::vector<uint8_t> out(s.pixels.size());
  for (auto _ : state) {
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &size, s.deflated.data(), static_cast<uLong>(s.deflated.size())) !=
        Z_OK) {
      state.SkipWithError("inflate failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.pixels.size()));
  state.counters["packed"] = static_cast<double>(s.deflated.size());
}

void BM_EncodeGra(benchmark::State& state, const char* kind) {
  const Sample& s = Get(kind);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncodeGraPicture(s.pixels, kWidth, kHeight));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.pixels.size()));
}

BENCHMARK_CAPTURE(BM_DecodeGra, flat, "flat");
BENCHMARK_CAPTURE(BM_DecodeGra, photo, "photo");
BENCHMARK_CAPTURE(BM_ZlibInflate, flat, "flat");
BENCHMARK_CAPTURE(BM_ZlibInflate, photo, "photo");
BENCHMARK_CAPTURE(BM_EncodeGra, flat, "flat")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeGra, photo, "photo")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
