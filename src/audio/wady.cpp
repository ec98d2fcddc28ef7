#include "audio/wady.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "resources/byte_reader.h"

namespace zorvel {

namespace {

constexpr std::array<int16_t, 64> kBaseA = {
    0,   2,   4,   6,   8,   10,  12,  15,  18,  21,  24,  28,  32,  36,  40,  44,
    49,  54,  59,  64,  70,  76,  82,  88,  95,  102, 109, 116, 124, 132, 140, 148,
    160, 170, 180, 190, 200, 210, 220, 230, 240, 255, 270, 285, 300, 320, 340, 360,
    380, 400, 425, 450, 475, 500, 525, 550, 580, 610, 650, 700, 750, 800, 900, 1000};

constexpr std::array<int16_t, 32> kBaseB = {
    0,   4,   8,   12,  19,  24,  30,   38,   47,   59,   74,   92,   115,  144,  180,  225,
    281, 352, 440, 550, 687, 859, 1073, 1342, 1678, 2097, 2621, 3277, 4096, 5120, 6400, 8000};

constexpr std::array<int, 8> kRunLength = {3, 4, 5, 6, 8, 16, 32, 256};

// Codes before the end of a block at which the run decoder forgets its predictor.
constexpr int32_t kRestartCodes = 300;

// No sound the engine ships comes near this; it keeps a lying header from asking for gigabytes.
constexpr uint64_t kMaxPcmBytes = 256ull << 20;

constexpr std::array<int16_t, 128> BuildStepA() {
  std::array<int16_t, 128> t{};
  for (int i = 0; i < 64; ++i) t[i] = kBaseA[i];
  t[64] = 0;
  for (int i = 1; i < 64; ++i) t[64 + i] = static_cast<int16_t>(-kBaseA[i]);
  return t;
}

constexpr std::array<int16_t, 64> BuildStepB() {
  std::array<int16_t, 64> t{};
  for (int i = 0; i < 32; ++i) {
    t[i] = kBaseB[i];
    t[32 + i] = static_cast<int16_t>(-kBaseB[i]);
  }
  return t;
}

constexpr std::array<int16_t, 128> kStepA = BuildStepA();
constexpr std::array<int16_t, 64> kStepB = BuildStepB();

inline int16_t Wrap16(int32_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

enum class RunEnd { kComplete, kOutputFull, kTruncated };

// The run decoder proper; it also tells whether the block ran out of bytes before its codes.
RunEnd DecodeRunBlock(std::span<const uint8_t> block, std::span<int16_t> out, size_t stride,
                      size_t& written) {
  written = 0;
  if (block.size() < 10) return RunEnd::kTruncated;
  if (out.empty()) return RunEnd::kOutputFull;
  const int32_t n = static_cast<int32_t>(LoadLe32(block, 4));
  int16_t current = static_cast<int16_t>(block[8] | block[9] << 8);
  size_t at = 0;  // index into out
  out[at] = current;
  at += stride;
  written = 1;
  const int32_t restartAt = n - kRestartCodes;
  size_t pos = 10;
  for (int32_t i = 0; i < n; ++i) {
    if (i == restartAt) current = 0;
    if (pos >= block.size()) return RunEnd::kTruncated;
    const uint8_t k = block[pos];
    if (k & 1) {
      ++pos;
      const int v = (k >> 1) & 127;
      if (v >= 64) {
        current = Wrap16((v - 64) * 1024);
      } else {
        current = Wrap16(current + kStepB[v]);
      }
      if (at >= out.size()) return RunEnd::kOutputFull;
      out[at] = current;
      at += stride;
      ++written;
    } else {
      if (pos + 1 >= block.size()) return RunEnd::kTruncated;
      const uint16_t w = static_cast<uint16_t>(k | block[pos + 1] << 8);
      pos += 2;
      const int len = kRunLength[(k >> 1) & 7];
      const int16_t target = static_cast<int16_t>(w & 0xFFF0);
      const float step = static_cast<float>(target - current) / static_cast<float>(len);
      float acc = static_cast<float>(current);
      for (int r = 0; r < len; ++r) {
        acc += step;
        if (at >= out.size()) return RunEnd::kOutputFull;
        out[at] = Wrap16(static_cast<int32_t>(acc));
        at += stride;
        ++written;
      }
      current = target;
    }
  }
  return RunEnd::kComplete;
}

// The most samples a run-coded block of this many bytes can produce: the first sample, then at
// most 256 samples for every two code bytes.
uint64_t RunBlockCapacity(size_t blockBytes) {
  if (blockBytes < 10) return 0;
  return 1 + (static_cast<uint64_t>(blockBytes - 10) / 2) * 256 + 1;
}

}  // namespace

const std::array<int16_t, 128>& WadyStepA() {
  return kStepA;
}
const std::array<int16_t, 64>& WadyStepB() {
  return kStepB;
}

WadyUse WholeFileUse(WadyCoding coding) {
  return coding == WadyCoding::kByte ? WadyUse::kByteFile : WadyUse::kRunFile;
}

bool ParseWadyHeader(std::span<const uint8_t> bytes, WadyUse use, WadyHeader& header,
                     std::string& why) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "WADY", 4) != 0) {
    why = "not a WADY sound (wrong magic)";
    return false;
  }
  ByteReader r(bytes);
  WadyHeader h;
  uint8_t unused = 0;
  uint16_t u16 = 0;
  r.Skip(4);
  r.U8(unused);
  r.U8(h.multiplier);
  r.U16le(h.channels);
  r.U32le(h.samplesPerSec);
  r.U32le(h.codedLength);
  r.U32le(h.frames);
  r.U32le(h.pcmBytes);
  r.U32le(h.loopStart);
  r.U16le(u16);
  h.loopPredictor1 = static_cast<int16_t>(u16);
  r.U16le(u16);
  h.loopPredictor2 = static_cast<int16_t>(u16);
  r.U16le(h.format.formatTag);
  r.U16le(h.format.channels);
  r.U32le(h.format.samplesPerSec);
  r.U32le(h.format.avgBytesPerSec);
  r.U16le(h.format.blockAlign);
  r.U16le(h.format.bitsPerSample);
  if (!r.Ok()) {
    why = "WADY header truncated (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  // The wave format goes to the output as it is, whatever the coding.
  const WaveFormat& f = h.format;
  if (f.formatTag != 1 || f.bitsPerSample != 16 || (f.channels != 1 && f.channels != 2) ||
      f.samplesPerSec == 0 || f.samplesPerSec > kWadyMaxRate || f.blockAlign != f.channels * 2) {
    why = "WADY wave format is not 16-bit PCM with 1 or 2 channels at a rate up to " +
          std::to_string(kWadyMaxRate);
    return false;
  }
  if (use != WadyUse::kRunFile) {
    // The byte coding interleaves by the channels at 6; played by another count, every frame
    // would be split wrongly.
    if (h.channels != 1 && h.channels != 2) {
      why = "WADY channel count " + std::to_string(h.channels) + " (1 or 2 expected)";
      return false;
    }
    if (f.channels != h.channels) {
      why = "WADY wave format has " + std::to_string(f.channels) + " channels, the byte coding " +
            std::to_string(h.channels);
      return false;
    }
  }
  if (use == WadyUse::kStream) {
    // A stream's ring is sized by the rate at 8 and played at the wave format's.
    if (h.samplesPerSec == 0 || h.samplesPerSec > kWadyMaxRate) {
      why = "WADY sample rate " + std::to_string(h.samplesPerSec) + " out of range";
      return false;
    }
    if (f.samplesPerSec != h.samplesPerSec) {
      why = "WADY wave format's rate " + std::to_string(f.samplesPerSec) +
            " differs from the stream's " + std::to_string(h.samplesPerSec);
      return false;
    }
  }
  header = h;
  return true;
}

std::array<uint8_t, kWadyHeaderSize> SerializeWadyHeader(const WadyHeader& h) {
  std::array<uint8_t, kWadyHeaderSize> b{};
  std::memcpy(b.data(), "WADY", 4);
  b[5] = h.multiplier;
  Put16(&b[6], h.channels);
  StoreLe32(b, 8, h.samplesPerSec);
  StoreLe32(b, 12, h.codedLength);
  StoreLe32(b, 16, h.frames);
  StoreLe32(b, 20, h.pcmBytes);
  StoreLe32(b, 24, h.loopStart);
  Put16(&b[28], static_cast<uint16_t>(h.loopPredictor1));
  Put16(&b[30], static_cast<uint16_t>(h.loopPredictor2));
  Put16(&b[32], h.format.formatTag);
  Put16(&b[34], h.format.channels);
  StoreLe32(b, 36, h.format.samplesPerSec);
  StoreLe32(b, 40, h.format.avgBytesPerSec);
  Put16(&b[44], h.format.blockAlign);
  Put16(&b[46], h.format.bitsPerSample);
  return b;
}

size_t DecodeByteCoded(std::span<const uint8_t> coded, std::span<int16_t> out, int multiplier,
                       int channels, size_t frames, int16_t& predictor1, int16_t& predictor2) {
  if (channels != 1 && channels != 2) return 0;
  const size_t ch = static_cast<size_t>(channels);
  frames = std::min({frames, coded.size() / ch, out.size() / ch});
  int16_t p[2] = {predictor1, predictor2};
  const uint8_t* in = coded.data();
  int16_t* o = out.data();
  for (size_t f = 0; f < frames; ++f) {
    for (size_t c = 0; c < ch; ++c) {
      const uint8_t b = *in++;
      if (b >= 128) {
        p[c] = Wrap16((b - 128) * 512);
      } else {
        p[c] = Wrap16(p[c] + multiplier * kStepA[b]);
      }
      *o++ = p[c];
    }
  }
  predictor1 = p[0];
  predictor2 = p[1];
  return frames;
}

size_t DecodeRunCoded(std::span<const uint8_t> block, std::span<int16_t> out, size_t stride) {
  size_t written = 0;
  if (stride == 0) return 0;
  DecodeRunBlock(block, out, stride, written);
  return written;
}

std::optional<Pcm> DecodeWadyFile(std::span<const uint8_t> entry, WadyCoding coding,
                                  std::string& why) {
  WadyHeader h;
  if (!ParseWadyHeader(entry, WholeFileUse(coding), h, why)) return std::nullopt;
  const size_t ch = h.format.channels;
  const std::span<const uint8_t> data = entry.subspan(kWadyHeaderSize);
  // The sound's buffer is the size at 20 in whole samples; a half frame at its end is never
  // played.
  const uint64_t pcmBytes = h.pcmBytes & ~uint32_t{1};
  if (pcmBytes > kMaxPcmBytes) {
    why = "WADY decoded size " + std::to_string(h.pcmBytes) + " bytes is too large";
    return std::nullopt;
  }
  Pcm pcm;
  pcm.format = h.format;
  if (coding == WadyCoding::kByte) {
    if (static_cast<uint64_t>(h.frames) * ch > data.size()) {
      why = "WADY byte coding truncated (" + std::to_string(h.frames) + " frames announced, " +
            std::to_string(data.size() / ch) + " present)";
      return std::nullopt;
    }
    pcm.samples.assign(pcmBytes / 2, 0);
    int16_t p1 = 0, p2 = 0;
    DecodeByteCoded(data, pcm.samples, h.multiplier, static_cast<int>(ch), h.frames, p1, p2);
    return pcm;
  }

  std::span<const uint8_t> blocks[2];
  if (ch == 1) {
    blocks[0] = data;
  } else {
    if (data.size() < 4) {
      why = "WADY stereo block length missing";
      return std::nullopt;
    }
    const uint64_t len = LoadLe32(data, 0);
    // Block 1 at 52, block 2 at 56 + L; counted here from the end of the header.
    if (len + 8 > data.size()) {
      why = "WADY second channel block at " + std::to_string(len + 56) + " lies past the end (" +
            std::to_string(entry.size()) + " bytes)";
      return std::nullopt;
    }
    blocks[0] = data.subspan(4, len + 4);
    blocks[1] = data.subspan(len + 8);
  }
  uint64_t capacity = 0;
  for (size_t c = 0; c < ch; ++c) capacity += RunBlockCapacity(blocks[c].size());
  if (pcmBytes > capacity * 2) {
    why = "WADY decoded size " + std::to_string(h.pcmBytes) + " exceeds what the codes produce";
    return std::nullopt;
  }
  pcm.samples.assign(pcmBytes / 2, 0);
  for (size_t c = 0; c < ch; ++c) {
    size_t written = 0;
    std::span<int16_t> out =
        std::span<int16_t>(pcm.samples).subspan(std::min(c, pcm.samples.size()));
    if (DecodeRunBlock(blocks[c], out, ch, written) == RunEnd::kTruncated) {
      why = "WADY channel " + std::to_string(c + 1) + " block truncated";
      return std::nullopt;
    }
  }
  return pcm;
}

}  // namespace zorvel

// ---------------------------------------------------------------------------------------------
// Encoders (used by the tools; the engine only decodes).

namespace zorvel {

namespace {

// StepA's distinct values in ascending order with a byte that produces each.
struct SortedSteps {
  std::array<int16_t, 127> value{};
  std::array<uint8_t, 127> code{};
};

SortedSteps BuildSortedStepA() {
  SortedSteps s;
  int n = 0;
  for (int i = 63; i >= 1; --i) {
    s.value[n] = static_cast<int16_t>(-kBaseA[i]);
    s.code[n++] = static_cast<uint8_t>(64 + i);
  }
  s.value[n] = 0;
  s.code[n++] = 64;
  for (int i = 1; i < 64; ++i) {
    s.value[n] = kBaseA[i];
    s.code[n++] = static_cast<uint8_t>(i);
  }
  return s;
}

const SortedSteps& SortedStepA() {
  static const SortedSteps steps = BuildSortedStepA();
  return steps;
}

// The byte that brings `predictor` closest to `x`: a scaled step, or an absolute set when the
// jump is beyond what the steps reach. Returns the byte and updates the predictor as the
// decoder will.
uint8_t ChooseByteCode(int x, int16_t& predictor, int multiplier) {
  const SortedSteps& s = SortedStepA();
  const int d = x - predictor;
  // First step whose scaled value is >= d; its neighbour below is the other candidate.
  size_t lo = 0, hi = s.value.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (multiplier * s.value[mid] < d) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  uint8_t best = 0;
  int16_t bestValue = 0;
  int bestErr = std::numeric_limits<int>::max();
  auto consider = [&](uint8_t b, int16_t v) {
    const int err = std::abs(v - x);
    if (err < bestErr) {
      bestErr = err;
      best = b;
      bestValue = v;
    }
  };
  for (size_t i : {lo, lo - 1}) {
    if (i < s.value.size()) {
      consider(s.code[i], Wrap16(predictor + multiplier * s.value[i]));
    }
  }
  if (bestErr > 256) {
    const int q = std::clamp(static_cast<int>(std::lround(x / 512.0)), -64, 63);
    const uint8_t b = static_cast<uint8_t>(128 + (q & 127));
    consider(b, Wrap16((b - 128) * 512));
  }
  predictor = bestValue;
  return best;
}

// Squared error of byte-coding `samples` (interleaved) with a multiplier, predictors starting
// at the first frame's values.
double ByteCodingError(std::span<const int16_t> samples, int channels, int multiplier) {
  int16_t p[2] = {samples.empty() ? int16_t{0} : samples[0],
                  samples.size() > 1 ? samples[1] : int16_t{0}};
  double err = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    int16_t& pred = p[i % static_cast<size_t>(channels)];
    ChooseByteCode(samples[i], pred, multiplier);
    const double e = static_cast<double>(pred) - samples[i];
    err += e * e;
  }
  return err;
}

// The multiplier with the least error over a sample of the sound: a coarse sweep, then the
// neighbours of the best.
int ChooseMultiplier(const Pcm& pcm) {
  const size_t ch = pcm.format.channels;
  const size_t frames = pcm.Frames();
  constexpr size_t kPieceFrames = 2048;
  constexpr size_t kPieces = 16;
  std::vector<std::span<const int16_t>> pieces;
  if (frames <= kPieceFrames * kPieces) {
    pieces.emplace_back(pcm.samples.data(), frames * ch);
  } else {
    for (size_t k = 0; k < kPieces; ++k) {
      const size_t start = (frames - kPieceFrames) * k / (kPieces - 1);
      pieces.emplace_back(pcm.samples.data() + start * ch, kPieceFrames * ch);
    }
  }
  auto error = [&](int m) {
    double e = 0;
    for (const auto& piece : pieces) e += ByteCodingError(piece, static_cast<int>(ch), m);
    return e;
  };
  int best = 1;
  double bestErr = error(1);
  auto tryM = [&](int m) {
    if (m < 1 || m > 255) return;
    const double e = error(m);
    if (e < bestErr) {
      bestErr = e;
      best = m;
    }
  };
  for (int m = 2; m <= 8; ++m) tryM(m);
  for (int m = 12; m <= 255; m += 8) tryM(m);
  const int centre = best;
  for (int m = centre - 7; m <= centre + 7; ++m) {
    if (m != centre) tryM(m);
  }
  return best;
}

WadyHeader HeaderFor(const Pcm& pcm) {
  WadyHeader h;
  h.channels = pcm.format.channels;
  h.samplesPerSec = pcm.format.samplesPerSec;
  h.frames = static_cast<uint32_t>(pcm.Frames());
  h.pcmBytes = static_cast<uint32_t>(pcm.Frames() * h.channels * 2);
  h.format.formatTag = 1;
  h.format.channels = h.channels;
  h.format.samplesPerSec = h.samplesPerSec;
  h.format.blockAlign = static_cast<uint16_t>(h.channels * 2);
  h.format.avgBytesPerSec = h.samplesPerSec * h.format.blockAlign;
  h.format.bitsPerSample = 16;
  return h;
}

std::vector<uint8_t> EncodeByte(const Pcm& pcm, uint32_t loopStartFrame) {
  WadyHeader h = HeaderFor(pcm);
  const size_t ch = h.channels;
  const size_t frames = pcm.Frames();
  const int m = ChooseMultiplier(pcm);
  h.multiplier = static_cast<uint8_t>(m);
  h.codedLength = static_cast<uint32_t>(frames * ch);
  loopStartFrame = static_cast<uint32_t>(std::min<size_t>(loopStartFrame, frames));
  h.loopStart = static_cast<uint32_t>(loopStartFrame * ch);
  std::vector<uint8_t> out(kWadyHeaderSize + frames * ch);
  int16_t p[2] = {0, 0};
  uint8_t* o = out.data() + kWadyHeaderSize;
  for (size_t f = 0; f < frames; ++f) {
    if (f == loopStartFrame) {
      h.loopPredictor1 = p[0];
      h.loopPredictor2 = p[1];
    }
    for (size_t c = 0; c < ch; ++c) *o++ = ChooseByteCode(pcm.samples[f * ch + c], p[c], m);
  }
  if (loopStartFrame == frames) {
    h.loopPredictor1 = p[0];
    h.loopPredictor2 = p[1];
  }
  const auto header = SerializeWadyHeader(h);
  std::memcpy(out.data(), header.data(), header.size());
  return out;
}

// A ramp is taken where it stays this close to every sample it replaces.
constexpr int kRampTolerance = 24;

// StepB's distinct values, ascending, for the nearest-step search of the lookahead.
std::array<int16_t, 63> BuildSortedStepB() {
  std::array<int16_t, 63> t{};
  int n = 0;
  for (int i = 31; i >= 1; --i) t[n++] = static_cast<int16_t>(-kBaseB[i]);
  for (int i = 0; i < 32; ++i) t[n++] = kBaseB[i];
  return t;
}

int16_t AbsoluteRunValue(int x) {
  const int q = std::clamp(static_cast<int>(std::lround(x / 1024.0)), -32, 31);
  return static_cast<int16_t>(q * 1024);
}

// The smallest error one more one-byte code can reach from `current` towards `x`.
int NextRunError(int x, int16_t current) {
  static const std::array<int16_t, 63> sorted = BuildSortedStepB();
  const int d = x - current;
  const auto it = std::lower_bound(sorted.begin(), sorted.end(), d);
  int best = std::abs(AbsoluteRunValue(x) - x);
  for (auto c : {it, it - 1}) {
    if (c >= sorted.begin() && c < sorted.end()) {
      best = std::min(best, std::abs(Wrap16(current + *c) - x));
    }
  }
  return best;
}

// The one-byte code for `x` that, together with the best code for the sample after it (when
// there is one), leaves the least squared error; updates `current` as the decoder will.
uint8_t ChooseRunByte(int x, const int* next, int16_t& current) {
  int64_t bestScore = std::numeric_limits<int64_t>::max();
  int bestV = 0;
  int16_t bestValue = 0;
  auto consider = [&](int v, int16_t r) {
    const int64_t e1 = r - x;
    int64_t score = e1 * e1;
    if (next) {
      const int64_t e2 = NextRunError(*next, r);
      score += e2 * e2;
    }
    if (score < bestScore) {
      bestScore = score;
      bestV = v;
      bestValue = r;
    }
  };
  for (int v = 0; v < 64; ++v) consider(v, Wrap16(current + kStepB[v]));
  const int16_t a = AbsoluteRunValue(x);
  consider(64 + ((a / 1024) & 63), a);
  current = bestValue;
  return static_cast<uint8_t>(bestV << 1 | 1);
}

// Tries a ramp of run index `idx` from `current` over s[0..L); true with its code word when it
// stays within the tolerance (the decoder's single-precision arithmetic is modelled exactly).
bool FitRamp(std::span<const int16_t> s, size_t stride, int16_t current, int idx, uint16_t& word) {
  const int len = kRunLength[idx];
  const int last = s[(len - 1) * stride];
  const int rounded = std::clamp((last + 8) & ~15, -32768, 32752);
  const int16_t target = static_cast<int16_t>(rounded);
  const float step = static_cast<float>(target - current) / static_cast<float>(len);
  float acc = static_cast<float>(current);
  for (int r = 0; r < len; ++r) {
    acc += step;
    const int16_t v = Wrap16(static_cast<int32_t>(acc));
    if (std::abs(v - s[r * stride]) > kRampTolerance) return false;
  }
  word = static_cast<uint16_t>((static_cast<uint16_t>(target) & 0xFFF0) | idx << 1);
  return true;
}

void Append32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// One channel (every `stride`-th sample from s[0]) as a run-coded block. The decoder forgets
// its predictor 300 codes before the end, so the last 300 samples get one-byte codes each,
// the first from silence; everything before them may use ramps.
std::vector<uint8_t> EncodeRunBlock(std::span<const int16_t> s, size_t stride, size_t n) {
  std::vector<uint8_t> codes;
  int32_t count = 0;
  int16_t current = n ? s[0] : 0;
  const size_t tailStart = n > static_cast<size_t>(kRestartCodes) ? n - kRestartCodes : 1;
  size_t i = 1;
  while (i < tailStart) {
    const size_t left = tailStart - i;
    bool ramped = false;
    for (int idx = 7; idx >= 0; --idx) {
      if (static_cast<size_t>(kRunLength[idx]) > left) continue;
      uint16_t word = 0;
      if (FitRamp(s.subspan(i * stride), stride, current, idx, word)) {
        codes.push_back(static_cast<uint8_t>(word));
        codes.push_back(static_cast<uint8_t>(word >> 8));
        current = static_cast<int16_t>(word & 0xFFF0);
        i += static_cast<size_t>(kRunLength[idx]);
        ramped = true;
        break;
      }
    }
    if (!ramped) {
      const int next = i + 1 < n ? s[(i + 1) * stride] : 0;
      codes.push_back(ChooseRunByte(s[i * stride], i + 1 < n ? &next : nullptr, current));
      ++i;
    }
    ++count;
  }
  if (n > static_cast<size_t>(kRestartCodes)) current = 0;
  for (; i < n; ++i) {
    const int next = i + 1 < n ? s[(i + 1) * stride] : 0;
    codes.push_back(ChooseRunByte(s[i * stride], i + 1 < n ? &next : nullptr, current));
    ++count;
  }
  std::vector<uint8_t> block;
  Append32(block, static_cast<uint32_t>(n));
  Append32(block, static_cast<uint32_t>(count));
  const uint16_t first = static_cast<uint16_t>(n ? s[0] : 0);
  block.push_back(static_cast<uint8_t>(first));
  block.push_back(static_cast<uint8_t>(first >> 8));
  block.insert(block.end(), codes.begin(), codes.end());
  return block;
}

// Run-coded sounds play from memory and loop whole, so they record no loop start.
std::vector<uint8_t> EncodeRun(const Pcm& pcm) {
  WadyHeader h = HeaderFor(pcm);
  const size_t ch = h.channels;
  const size_t frames = pcm.Frames();
  std::vector<uint8_t> body;
  if (ch == 1) {
    body = EncodeRunBlock(pcm.samples, 1, frames);
  } else {
    const auto b1 = EncodeRunBlock(pcm.samples, 2, frames);
    const auto b2 = EncodeRunBlock(std::span<const int16_t>(pcm.samples).subspan(1), 2, frames);
    Append32(body, static_cast<uint32_t>(b1.size() - 4));
    body.insert(body.end(), b1.begin(), b1.end());
    body.insert(body.end(), b2.begin(), b2.end());
  }
  h.codedLength = static_cast<uint32_t>(body.size());
  const auto header = SerializeWadyHeader(h);
  std::vector<uint8_t> out(kWadyHeaderSize + body.size());
  std::memcpy(out.data(), header.data(), kWadyHeaderSize);
  if (!body.empty()) std::memcpy(out.data() + kWadyHeaderSize, body.data(), body.size());
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeWady(const Pcm& pcm, WadyCoding coding, uint32_t loopStartFrame) {
  if (pcm.format.channels != 1 && pcm.format.channels != 2) return {};
  return coding == WadyCoding::kByte ? EncodeByte(pcm, loopStartFrame) : EncodeRun(pcm);
}

}  // namespace zorvel
