#include "graphics/pixel_ops.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

#if defined(__x86_64__)
#include <immintrin.h>
#define ZORVEL_PIXEL_X86 1
#else
#define ZORVEL_PIXEL_X86 0
#endif

namespace zorvel {
namespace {

// Kernels see byte counts (a multiple of 8 for BlendMasked, any count for the rest) and never
// a negative size; the public routines turn group and pixel counts into bytes.
struct Kernels {
  void (*blendMasked)(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                      size_t bytes);
  void (*blendConstant)(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, size_t bytes);
  void (*darken)(uint8_t* out, const uint8_t* s, int a, size_t bytes);
  void (*addSaturate)(uint8_t* out, const uint8_t* u, const uint8_t* v, size_t bytes);
};

inline uint8_t MaskedByte(unsigned u, unsigned v, unsigned m) {
  return static_cast<uint8_t>((u * (255 - m) + v * m) >> 8);
}
inline uint8_t ConstantByte(unsigned u, unsigned v, unsigned a) {
  return static_cast<uint8_t>((u * (256 - a) + v * a) >> 8);
}
inline int ClampLevel(int a) {
  return std::clamp(a, 0, 256);
}

// ---- Portable ----

void BlendMaskedPortable(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                         size_t bytes) {
  for (size_t g = 0; g < bytes; g += 8) {
    uint64_t maskWord;
    std::memcpy(&maskWord, m + g, 8);
    if (maskWord == 0) {
      if (out != u) std::memcpy(out + g, u + g, 8);
      continue;
    }
    for (size_t i = g; i < g + 8; ++i) out[i] = MaskedByte(u[i], v[i], m[i]);
  }
}

void BlendConstantPortable(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out[i] = ConstantByte(u[i], v[i], a);
}

void DarkenPortable(uint8_t* out, const uint8_t* s, int a, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>((s[i] * a) >> 8);
}

void AddSaturatePortable(uint8_t* out, const uint8_t* u, const uint8_t* v, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(std::min(255, u[i] + v[i]));
}

constexpr Kernels kPortableKernels{BlendMaskedPortable, BlendConstantPortable, DarkenPortable,
                                   AddSaturatePortable};

#if ZORVEL_PIXEL_X86
// ---- SSE2 ----
// Bytes widen to 16-bit lanes: every weighted sum is at most 255 x 256 = 65280, so the low
// half of a 16-bit multiply is exact and the divide is a logical shift.

inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i x) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}
inline void Store8(uint8_t* p, __m128i x) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), x);
}

inline __m128i Weigh(__m128i u, __m128i wu, __m128i v, __m128i wv) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(u, wu), _mm_mullo_epi16(v, wv)), 8);
}

inline __m128i MaskedSse2(__m128i u, __m128i v, __m128i m) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i inv = _mm_xor_si128(m, _mm_set1_epi8(-1));
  const __m128i lo = Weigh(_mm_unpacklo_epi8(u, zero), _mm_unpacklo_epi8(inv, zero),
                           _mm_unpacklo_epi8(v, zero), _mm_unpacklo_epi8(m, zero));
  const __m128i hi = Weigh(_mm_unpackhi_epi8(u, zero), _mm_unpackhi_epi8(inv, zero),
                           _mm_unpackhi_epi8(v, zero), _mm_unpackhi_epi8(m, zero));
  const __m128i blended = _mm_packus_epi16(lo, hi);
  // All-ones in each 8-byte half whose mask bytes are all 0 (SSE2 has no 64-bit compare).
  __m128i zeroGroup = _mm_cmpeq_epi32(m, zero);
  zeroGroup = _mm_and_si128(zeroGroup, _mm_shuffle_epi32(zeroGroup, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_or_si128(_mm_and_si128(zeroGroup, u), _mm_andnot_si128(zeroGroup, blended));
}

inline __m128i ConstantSse2(__m128i u, __m128i v, __m128i wu, __m128i wv) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = Weigh(_mm_unpacklo_epi8(u, zero), wu, _mm_unpacklo_epi8(v, zero), wv);
  const __m128i hi = Weigh(_mm_unpackhi_epi8(u, zero), wu, _mm_unpackhi_epi8(v, zero), wv);
  return _mm_packus_epi16(lo, hi);
}

inline __m128i DarkenSse2(__m128i s, __m128i a) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), a), 8);
  const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), a), 8);
  return _mm_packus_epi16(lo, hi);
}

// From byte i on in 16- and 8-byte steps: all of an SSE2 kernel, the end of an AVX2 one.
inline void BlendMaskedTailSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                                size_t i, size_t bytes) {
  for (; i + 16 <= bytes; i += 16) {
    const __m128i mask = Load16(m + i);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(mask, _mm_setzero_si128())) == 0xFFFF) {
      if (out != u) Store16(out + i, Load16(u + i));
      continue;
    }
    Store16(out + i, MaskedSse2(Load16(u + i), Load16(v + i), mask));
  }
  if (i < bytes) Store8(out + i, MaskedSse2(Load8(u + i), Load8(v + i), Load8(m + i)));
}

inline void BlendConstantTailSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, size_t i,
                                  size_t bytes) {
  const __m128i wu = _mm_set1_epi16(static_cast<int16_t>(256 - a));
  const __m128i wv = _mm_set1_epi16(static_cast<int16_t>(a));
  for (; i + 16 <= bytes; i += 16)
    Store16(out + i, ConstantSse2(Load16(u + i), Load16(v + i), wu, wv));
  if (i + 8 <= bytes) {
    Store8(out + i, ConstantSse2(Load8(u + i), Load8(v + i), wu, wv));
    i += 8;
  }
  for (; i < bytes; ++i) out[i] = ConstantByte(u[i], v[i], a);
}

inline void DarkenTailSse2(uint8_t* out, const uint8_t* s, int a, size_t i, size_t bytes) {
  const __m128i wa = _mm_set1_epi16(static_cast<int16_t>(a));
  for (; i + 16 <= bytes; i += 16) Store16(out + i, DarkenSse2(Load16(s + i), wa));
  if (i + 8 <= bytes) {
    Store8(out + i, DarkenSse2(Load8(s + i), wa));
    i += 8;
  }
  for (; i < bytes; ++i) out[i] = static_cast<uint8_t>((s[i] * a) >> 8);
}

inline void AddSaturateTailSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, size_t i,
                                size_t bytes) {
  for (; i + 16 <= bytes; i += 16) Store16(out + i, _mm_adds_epu8(Load16(u + i), Load16(v + i)));
  if (i + 8 <= bytes) {
    Store8(out + i, _mm_adds_epu8(Load8(u + i), Load8(v + i)));
    i += 8;
  }
  for (; i < bytes; ++i) out[i] = static_cast<uint8_t>(std::min(255, u[i] + v[i]));
}

void BlendMaskedSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                     size_t bytes) {
  BlendMaskedTailSse2(out, u, v, m, 0, bytes);
}
void BlendConstantSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, size_t bytes) {
  BlendConstantTailSse2(out, u, v, a, 0, bytes);
}
void DarkenSse2(uint8_t* out, const uint8_t* s, int a, size_t bytes) {
  DarkenTailSse2(out, s, a, 0, bytes);
}
void AddSaturateSse2(uint8_t* out, const uint8_t* u, const uint8_t* v, size_t bytes) {
  AddSaturateTailSse2(out, u, v, 0, bytes);
}

constexpr Kernels kSse2Kernels{BlendMaskedSse2, BlendConstantSse2, DarkenSse2, AddSaturateSse2};

// ---- AVX2 ----
// Unpack and pack both work within 128-bit lanes, so widening and narrowing keep byte order.

#define ZORVEL_AVX2 __attribute__((target("avx2")))

ZORVEL_AVX2 inline __m256i Load32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ZORVEL_AVX2 inline void Store32(uint8_t* p, __m256i x) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
}
// Each output byte is one pairwise multiply-add: the two weights (each below 256) as unsigned
// bytes against the two pixels shifted into signed range (p - 128). The sum is the weighted
// sum less 128 x (sum of weights), which always fits a signed 16-bit lane; adding the bias
// back gives the unsigned sum, and the divide is a shift.
ZORVEL_AVX2 inline __m256i BiasedPixels(__m256i p) {
  return _mm256_xor_si256(p, _mm256_set1_epi8(static_cast<char>(0x80)));
}
ZORVEL_AVX2 inline __m256i WeighPairs(__m256i uv, __m256i weights, __m256i bias) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(weights, uv), bias), 8);
}

// Weights 255 - m and m, bias 128 x 255.
ZORVEL_AVX2 inline __m256i MaskedAvx2(__m256i u, __m256i v, __m256i m) {
  const __m256i bias = _mm256_set1_epi16(128 * 255);
  const __m256i inv = _mm256_xor_si256(m, _mm256_set1_epi8(-1));
  const __m256i bu = BiasedPixels(u), bv = BiasedPixels(v);
  const __m256i lo = WeighPairs(_mm256_unpacklo_epi8(bu, bv), _mm256_unpacklo_epi8(inv, m), bias);
  const __m256i hi = WeighPairs(_mm256_unpackhi_epi8(bu, bv), _mm256_unpackhi_epi8(inv, m), bias);
  const __m256i zeroGroup = _mm256_cmpeq_epi64(m, _mm256_setzero_si256());
  return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), u, zeroGroup);
}

// `weights` holds the byte pair (256 - a, a) for 0 < a < 256; bias 128 x 256.
ZORVEL_AVX2 inline __m256i ConstantAvx2(__m256i u, __m256i v, __m256i weights) {
  const __m256i bias = _mm256_set1_epi16(static_cast<int16_t>(128 * 256));
  const __m256i bu = BiasedPixels(u), bv = BiasedPixels(v);
  const __m256i lo = WeighPairs(_mm256_unpacklo_epi8(bu, bv), weights, bias);
  const __m256i hi = WeighPairs(_mm256_unpackhi_epi8(bu, bv), weights, bias);
  return _mm256_packus_epi16(lo, hi);
}

// Pictures are mostly wide transparent margins and opaque bodies: a transparent stretch only
// copies u (or, drawn in place, touches nothing) and never reads v.
ZORVEL_AVX2 void BlendMaskedAvx2(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                                 size_t bytes) {
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i mask = Load32(m + i);
    if (_mm256_testz_si256(mask, mask)) {
      if (out != u) Store32(out + i, Load32(u + i));
      continue;
    }
    Store32(out + i, MaskedAvx2(Load32(u + i), Load32(v + i), mask));
  }
  BlendMaskedTailSse2(out, u, v, m, i, bytes);
}

ZORVEL_AVX2 void BlendConstantAvx2(uint8_t* out, const uint8_t* u, const uint8_t* v, int a,
                                   size_t bytes) {
  // The end levels are plain copies; the weight 256 would not fit a byte.
  if (a == 0 || a == 256) {
    if (out != (a == 0 ? u : v)) std::memmove(out, a == 0 ? u : v, bytes);
    return;
  }
  const __m256i weights = _mm256_set1_epi16(static_cast<int16_t>(a << 8 | (256 - a)));
  size_t i = 0;
  for (; i + 64 <= bytes; i += 64) {
    const __m256i r0 = ConstantAvx2(Load32(u + i), Load32(v + i), weights);
    const __m256i r1 = ConstantAvx2(Load32(u + i + 32), Load32(v + i + 32), weights);
    Store32(out + i, r0);
    Store32(out + i + 32, r1);
  }
  if (i + 32 <= bytes) {
    Store32(out + i, ConstantAvx2(Load32(u + i), Load32(v + i), weights));
    i += 32;
  }
  BlendConstantTailSse2(out, u, v, a, i, bytes);
}

ZORVEL_AVX2 void DarkenAvx2(uint8_t* out, const uint8_t* s, int a, size_t bytes) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i wa = _mm256_set1_epi16(static_cast<int16_t>(a));
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i x = Load32(s + i);
    const __m256i lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(x, zero), wa), 8);
    const __m256i hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(x, zero), wa), 8);
    Store32(out + i, _mm256_packus_epi16(lo, hi));
  }
  DarkenTailSse2(out, s, a, i, bytes);
}

ZORVEL_AVX2 void AddSaturateAvx2(uint8_t* out, const uint8_t* u, const uint8_t* v, size_t bytes) {
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) Store32(out + i, _mm256_adds_epu8(Load32(u + i), Load32(v + i)));
  AddSaturateTailSse2(out, u, v, i, bytes);
}

#undef ZORVEL_AVX2

constexpr Kernels kAvx2Kernels{BlendMaskedAvx2, BlendConstantAvx2, DarkenAvx2, AddSaturateAvx2};

bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif  // ZORVEL_PIXEL_X86

struct PathTable {
  std::array<PixelPath, 3> paths{};
  size_t count = 0;
};

const PathTable& Paths() {
  static const PathTable table = [] {
    PathTable t;
    t.paths[t.count++] = PixelPath::kPortable;
#if ZORVEL_PIXEL_X86
    t.paths[t.count++] = PixelPath::kSse2;
    if (CpuHasAvx2()) t.paths[t.count++] = PixelPath::kAvx2;
#endif
    return t;
  }();
  return table;
}

const Kernels& KernelsFor(PixelPath path) {
  switch (path) {
#if ZORVEL_PIXEL_X86
    case PixelPath::kSse2:
      return kSse2Kernels;
    case PixelPath::kAvx2:
      return kAvx2Kernels;
#endif
    default:
      return kPortableKernels;
  }
}

PixelPath currentPath = PixelPath::kPortable;
const Kernels* activeKernels = nullptr;
int presetLevel = 0;

const Kernels& Active() {
  if (activeKernels == nullptr) {
    const PathTable& t = Paths();
    currentPath = t.paths[t.count - 1];
    activeKernels = &KernelsFor(currentPath);
  }
  return *activeKernels;
}

size_t GroupBytes(int groups) {
  return groups > 0 ? static_cast<size_t>(groups) * 8 : 0;
}

// A rectangle of whole pixels, already inside every surface it is used with.
struct Area {
  int width = 0;
  int height = 0;
};

Area Common(std::initializer_list<const Surface*> surfaces) {
  Area area{INT32_MAX, INT32_MAX};
  for (const Surface* s : surfaces) {
    area.width = std::min(area.width, s->Width());
    area.height = std::min(area.height, s->Height());
  }
  if (area.width <= 0 || area.height <= 0) return {};
  return area;
}

void BlendMaskedBytewise(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m,
                         size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) out[i] = MaskedByte(u[i], v[i], m[i]);
}

// Both DrawMasked variants: `colourColumn` and `maskColumn` are where the colour and mask
// areas start in their pictures; (w, h) is the size both areas have.
void DrawMaskedArea(Surface& dest, const Surface& colour, int colourColumn, const Surface& mask,
                    int maskColumn, int w, int h, int x, int y) {
  // 64-bit so that positions near INT_MAX cannot wrap.
  int64_t width = w, height = h, left = x, top = y, sx = 0, sy = 0;
  if (left < 0) {
    width += left;
    sx = -left;
    left = 0;
  }
  if (top < 0) {
    height += top;
    sy = -top;
    top = 0;
  }
  if (left >= dest.Width() || top >= dest.Height() || width <= 0 || height <= 0) return;
  width = std::min<int64_t>(width, dest.Width() - left);
  height = std::min<int64_t>(height, dest.Height() - top);

  const Kernels& k = Active();
  const size_t groupBytes = static_cast<size_t>(width / 8) * 24;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t colourOffset = static_cast<size_t>(colourColumn + sx) * 3;
  const size_t maskOffset = static_cast<size_t>(maskColumn + sx) * 3;
  for (int64_t r = 0; r < height; ++r) {
    uint8_t* d = dest.Row(static_cast<int>(top + r)) + left * 3;
    const uint8_t* c = colour.Row(static_cast<int>(sy + r)) + colourOffset;
    const uint8_t* m = mask.Row(static_cast<int>(sy + r)) + maskOffset;
    k.blendMasked(d, d, c, m, groupBytes);
    BlendMaskedBytewise(d, d, c, m, groupBytes, rowBytes);
  }
}

}  // namespace

void BlendMasked(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m, int groups) {
  Active().blendMasked(out, u, v, m, GroupBytes(groups));
}

void BlendConstant(uint8_t* out, const uint8_t* u, const uint8_t* v, int a, int groups) {
  Active().blendConstant(out, u, v, ClampLevel(a), GroupBytes(groups));
}

void SetBlendLevel(int a) {
  presetLevel = ClampLevel(a);
}

void BlendPreset(uint8_t* out, const uint8_t* u, const uint8_t* v, int groups) {
  Active().blendConstant(out, u, v, presetLevel, GroupBytes(groups));
}

void BlendRows(uint8_t* out, const uint8_t* u, const uint8_t* v, int pixels, int a) {
  if (pixels <= 0) return;
  BlendConstant(out, u, v, a, static_cast<int>(static_cast<int64_t>(pixels) * 3 / 8));
}

void Darken(Surface& out, const Surface& s, int a) {
  const Area area = Common({&out, &s});
  const Kernels& k = Active();
  for (int r = 0; r < area.height; ++r) {
    k.darken(out.Row(r), s.Row(r), ClampLevel(a), static_cast<size_t>(area.width) * 3);
  }
}

void AddSaturate(Surface& out, const Surface& u, const Surface& v) {
  const Area area = Common({&out, &u, &v});
  const Kernels& k = Active();
  for (int r = 0; r < area.height; ++r) {
    k.addSaturate(out.Row(r), u.Row(r), v.Row(r), static_cast<size_t>(area.width) * 3);
  }
}

void CrossfadeFrame(const Surface& newPicture, const Surface& oldPicture, int a, Surface& out) {
  const Area area = Common({&newPicture, &oldPicture, &out});
  const Kernels& k = Active();
  const size_t bytes = static_cast<size_t>(area.width) * 3;
  for (int r = 0; r < area.height; ++r) {
    uint8_t* dest = out.Row(r);
    const uint8_t* from = oldPicture.Row(r);
    const uint8_t* to = newPicture.Row(r);
    // A fade changes only what differs (the message window closing, say): a row the same in
    // both pictures blends to itself, and comparing it costs less than blending it.
    if (std::memcmp(from, to, bytes) == 0) {
      if (dest != from) std::memcpy(dest, from, bytes);
    } else {
      k.blendConstant(dest, from, to, ClampLevel(a), bytes);
    }
  }
}

void DrawMasked(Surface& dest, const Surface& colour, const Surface& mask, int x, int y) {
  const Area area = Common({&colour, &mask});
  DrawMaskedArea(dest, colour, 0, mask, 0, area.width, area.height, x, y);
}

void DrawMaskedPair(Surface& dest, int x, int y, const Surface& picture) {
  const int half = picture.Width() / 2;
  DrawMaskedArea(dest, picture, 0, picture, half, half, picture.Height(), x, y);
}

bool DrawMaskedStacked(Surface& dest, int x, int y, const Surface& picture,
                       const PixelErrorReport& report) {
  const int w = picture.Width();
  const int h = picture.Height() / 2;
  if (x < 0 || y < 0 || int64_t{x} + w > dest.Width() || int64_t{y} + h > dest.Height()) {
    if (report) report(kIllegalBmp, kIllegalBmpKind);
    return false;
  }
  const Kernels& k = Active();
  const size_t groupBytes = GroupBytes(w * 3 / 8);
  for (int r = 0; r < h; ++r) {
    uint8_t* d = dest.Row(y + r) + static_cast<size_t>(x) * 3;
    k.blendMasked(d, d, picture.Row(r), picture.Row(r + h), groupBytes);
  }
  return true;
}

void BlendCell(Surface& work, const Surface& screen, const Surface& previous, int x, int y, int a) {
  const Area area = Common({&work, &screen, &previous});
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + kCellWidth, area.width);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + kCellHeight, area.height);
  if (left >= right || top >= bottom) return;
  const Kernels& k = Active();
  const size_t offset = static_cast<size_t>(left) * 3;
  const size_t bytes = static_cast<size_t>(right - left) * 3;
  for (int64_t r = top; r < bottom; ++r) {
    const int row = static_cast<int>(r);
    k.blendConstant(work.Row(row) + offset, screen.Row(row) + offset, previous.Row(row) + offset,
                    ClampLevel(a), bytes);
  }
}

void BlendThroughMask(Surface& work, const Surface& previous, const Surface& screen,
                      const Surface& mask) {
  const Area area = Common({&work, &previous, &screen, &mask});
  const Kernels& k = Active();
  const size_t rowBytes = static_cast<size_t>(area.width) * 3;
  const size_t groupBytes = rowBytes / 8 * 8;
  for (int r = 0; r < area.height; ++r) {
    uint8_t* out = work.Row(r);
    k.blendMasked(out, previous.Row(r), screen.Row(r), mask.Row(r), groupBytes);
    BlendMaskedBytewise(out, previous.Row(r), screen.Row(r), mask.Row(r), groupBytes, rowBytes);
  }
}

const char* PixelPathName(PixelPath path) {
  switch (path) {
    case PixelPath::kPortable:
      return "Portable";
    case PixelPath::kSse2:
      return "Sse2";
    case PixelPath::kAvx2:
      return "Avx2";
  }
  return "Unknown";
}

std::span<const PixelPath> AvailablePixelPaths() {
  const PathTable& t = Paths();
  return {t.paths.data(), t.count};
}

bool SetPixelPath(PixelPath path) {
  const auto paths = AvailablePixelPaths();
  if (std::find(paths.begin(), paths.end(), path) == paths.end()) return false;
  currentPath = path;
  activeKernels = &KernelsFor(path);
  return true;
}

PixelPath CurrentPixelPath() {
  Active();
  return currentPath;
}

}  // namespace zorvel
