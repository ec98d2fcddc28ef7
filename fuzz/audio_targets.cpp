// Fuzz target bodies of the sound decoders: WADY files of both codings, the two decoders run
// straight over the bytes, the encoders' round trip, and Ogg Vorbis sounds.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "audio/ogg_sound.h"
#include "audio/wady.h"
#include "fuzz_check.h"
#include "targets.h"

namespace zorvel::fuzz {

namespace {

constexpr int16_t kGuard = 0x5A5A;
constexpr size_t kGuardCount = 16;

// An output buffer of `size` samples with guard samples after it that no decoder may touch.
struct Guarded {
  explicit Guarded(size_t size) : storage(size + kGuardCount, kGuard), size(size) {}
  std::span<int16_t> Out() { return std::span<int16_t>(storage).first(size); }
  bool GuardsIntact() const {
    return std::all_of(storage.begin() + static_cast<long>(size), storage.end(),
                       [](int16_t v) { return v == kGuard; });
  }
  std::vector<int16_t> storage;
  size_t size;
};

void CheckWholeFile(std::span<const uint8_t> bytes, WadyCoding coding) {
  std::string why;
  const auto pcm = DecodeWadyFile(bytes, coding, why);
  if (!pcm) {
    FUZZ_CHECK(!why.empty());
    return;
  }
  WadyHeader h;
  std::string headerWhy;
  FUZZ_CHECK(ParseWadyHeader(bytes, WholeFileUse(coding), h, headerWhy));
  FUZZ_CHECK(pcm->format.channels == 1 || pcm->format.channels == 2);
  // The buffer the header sizes, to the even byte, whatever the codes filled of it.
  FUZZ_CHECK(pcm->samples.size() * 2 == (h.pcmBytes & ~uint32_t{1}));
}

}  // namespace

void FuzzWady(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CheckWholeFile(bytes, WadyCoding::kByte);
  CheckWholeFile(bytes, WadyCoding::kRun);
  if (size < 2) return;

  // The decoders over the raw bytes into small buffers that the first byte sizes.
  const size_t room = data[0] * 7u % 1500;
  const std::span<const uint8_t> rest = bytes.subspan(2);
  {
    Guarded g(room);
    int16_t p1 = static_cast<int16_t>(data[1] << 8), p2 = 0;
    const int channels = data[1] & 1 ? 2 : 1;
    const size_t frames =
        DecodeByteCoded(rest, g.Out(), data[1], channels, size_t{1} << (data[0] % 20), p1, p2);
    FUZZ_CHECK(frames * channels <= std::min(room, rest.size()));
    FUZZ_CHECK(g.GuardsIntact());
  }
  for (size_t stride : {size_t{1}, size_t{2}}) {
    Guarded g(room);
    const size_t written = DecodeRunCoded(rest, g.Out(), stride);
    FUZZ_CHECK(written <= (room + stride - 1) / stride);
    FUZZ_CHECK(g.GuardsIntact());
  }

  // The bytes as a short sound: the encoders' output must decode to as many samples.
  Pcm pcm;
  pcm.format.channels = static_cast<uint16_t>(data[0] & 1 ? 2 : 1);
  pcm.format.blockAlign = static_cast<uint16_t>(pcm.format.channels * 2);
  const size_t samples =
      std::min<size_t>((size - 2) / 2, 4096) / pcm.format.channels * pcm.format.channels;
  for (size_t i = 0; i < samples; ++i) {
    pcm.samples.push_back(static_cast<int16_t>(rest[2 * i] | rest[2 * i + 1] << 8));
  }
  if (samples == 0) return;
  for (WadyCoding coding : {WadyCoding::kByte, WadyCoding::kRun}) {
    const auto file = EncodeWady(pcm, coding, static_cast<uint32_t>(data[1]) % pcm.Frames());
    std::string why;
    const auto back = DecodeWadyFile(file, coding, why);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->samples.size() == pcm.samples.size());
  }
}

void FuzzOgg(const uint8_t* data, size_t size) {
  std::string why;
  const auto pcm = DecodeOggSound(std::span<const uint8_t>(data, size), why);
  if (!pcm) {
    FUZZ_CHECK(!why.empty());
    return;
  }
  FUZZ_CHECK(pcm->format.channels == 1 || pcm->format.channels == 2);
  FUZZ_CHECK(pcm->format.samplesPerSec > 0);
  FUZZ_CHECK(pcm->samples.size() % pcm->format.channels == 0);
}

}  // namespace zorvel::fuzz
