// The GRA packer. The decoder is fixed by the games' files; this side is free, so it aims for
// small files at a speed that keeps building a game quick: a hash-chain match finder with one
// step of lazy matching, and every combination of the optional stages, keeping the smallest.
#include <cstring>

#include "graphics/picture.h"

namespace zorvel {

namespace {

// Token limits of the packed stream.
constexpr size_t kMaxDistance = 16384;
constexpr size_t kShortMaxDistance = 32;
constexpr size_t kMediumMaxDistance = 1024;
constexpr size_t kShortMaxLength = 4;
constexpr size_t kMediumMaxLength = 18;
constexpr size_t kLongestCopy = 4096;
constexpr size_t kMinRun = 9;
constexpr size_t kMaxRun = 40;

constexpr int kMaxHashBits = 16;
constexpr int kMaxChain = 48;
// A match this long is taken at once: looking further costs time and gains almost nothing.
constexpr size_t kGoodEnough = 256;

// Packed-stream writer: a control byte ahead of every eight items, most significant bit first.
class ItemWriter {
 public:
  explicit ItemWriter(std::vector<uint8_t>& out) : out_(out) { StartControl(); }

  // Call after the item's bytes are appended. A control byte follows every eighth item, even
  // the last one: the games' decoder reads it before it notices the picture is complete.
  void Item(bool token) {
    if (token) out_[control_] |= static_cast<uint8_t>(0x80 >> items_);
    if (++items_ == 8) StartControl();
  }

 private:
  void StartControl() {
    control_ = out_.size();
    out_.push_back(0);
    items_ = 0;
  }

  std::vector<uint8_t>& out_;
  size_t control_ = 0;
  int items_ = 0;
};

inline uint32_t Hash3(const uint8_t* p, int bits) {
  const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                     static_cast<uint32_t>(p[2]) << 16;
  return (v * 2654435761u) >> (32 - bits);
}

// Small pictures get a small table: clearing a large one would cost more than packing them.
int HashBitsFor(size_t length) {
  int bits = 8;
  while (bits < kMaxHashBits && (size_t{1} << bits) < length) ++bits;
  return bits;
}

inline size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + static_cast<size_t>(__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// The length the first token of a copy of `len` bytes at `dist` takes, and what that token
// costs in bytes; 0 when no token fits.
struct Step {
  size_t length = 0;
  size_t cost = 0;
};

Step FirstStep(size_t len, size_t dist) {
  if (dist <= kShortMaxDistance && len >= 2 && len <= kShortMaxLength) return {len, 1};
  if (len < 3) return {};
  if (dist <= kMediumMaxDistance && len <= kMediumMaxLength) return {len, 2};
  if (len >= 4096) return {4096, 3};
  if (len >= 1024) return {1024, 3};
  if (len >= 256) return {256, 3};
  return {len, 3};
}

// What a copy saves over storing its bytes as literals, in bits: literals cost 9 bits each
// (byte and control bit), the token its bytes and one control bit.
int Saving(size_t len, size_t dist) {
  const Step s = FirstStep(len, dist);
  if (s.length == 0) return 0;
  return static_cast<int>(s.length * 9) - static_cast<int>(s.cost * 8 + 1);
}

struct Match {
  size_t length = 0;
  size_t dist = 0;
  int saving = 0;
};

class LzPacker {
 public:
  explicit LzPacker(std::span<const uint8_t> in)
      : in_(in),
        hashBits_(HashBitsFor(in.size())),
        head_(size_t{1} << hashBits_, -1),
        prev_(in.size(), -1) {}

  std::vector<uint8_t> Pack() {
    std::vector<uint8_t> out;
    out.reserve(in_.size() / 2 + 64);
    ItemWriter items(out);
    const size_t n = in_.size();
    size_t pos = 0;
    size_t literalStart = 0;
    Match pending = Find(pos);
    while (pos < n) {
      Match m = pending;
      if (m.saving <= 0) {
        Insert(pos);
        ++pos;
        pending = Find(pos);
        continue;
      }
      // One step of lazy matching: a better copy one byte later is worth a literal.
      if (m.length < kGoodEnough && pos + 1 < n) {
        Insert(pos);
        const Match next = Find(pos + 1);
        if (next.saving > m.saving + 9) {
          ++pos;
          pending = next;
          continue;
        }
        FlushLiterals(out, items, literalStart, pos);
        const size_t used = EmitCopy(out, items, m);
        for (size_t i = pos + 1; i < pos + used; ++i) Insert(i);
        pos += used;
      } else {
        FlushLiterals(out, items, literalStart, pos);
        const size_t used = EmitCopy(out, items, m);
        for (size_t i = pos; i < pos + used; ++i) Insert(i);
        pos += used;
      }
      literalStart = pos;
      pending = Find(pos);
    }
    FlushLiterals(out, items, literalStart, n);
    return out;
  }

 private:
  void Insert(size_t pos) {
    if (pos + 3 > in_.size() || inserted_ > pos) return;
    const uint32_t h = Hash3(&in_[pos], hashBits_);
    prev_[pos] = head_[h];
    head_[h] = static_cast<int32_t>(pos);
    inserted_ = pos + 1;
  }

  Match Find(size_t pos) const {
    Match best;
    const size_t n = in_.size();
    if (pos >= n) return best;
    const size_t limit = std::min(kLongestCopy, n - pos);
    const uint8_t* here = &in_[pos];
    if (limit >= 3) {
      int32_t cand = head_[Hash3(here, hashBits_)];
      for (int depth = 0; cand >= 0 && depth < kMaxChain; ++depth) {
        const size_t dist = pos - static_cast<size_t>(cand);
        if (dist > kMaxDistance) break;
        const size_t len = MatchLength(here, &in_[static_cast<size_t>(cand)], limit);
        if (len >= 3) {
          const int s = Saving(len, dist);
          if (s > best.saving || (s == best.saving && len > best.length)) best = {len, dist, s};
          if (len >= kGoodEnough || len == limit) break;
        }
        cand = prev_[static_cast<size_t>(cand)];
      }
    }
    // Two-byte copies only pay as short tokens, and no hash covers them.
    if (best.saving <= 0 && limit >= 2) {
      for (size_t dist = 1; dist <= kShortMaxDistance && dist <= pos; ++dist) {
        if (here[-static_cast<ptrdiff_t>(dist)] == here[0] &&
            here[1 - static_cast<ptrdiff_t>(dist)] == here[1]) {
          best = {2, dist, Saving(2, dist)};
          break;
        }
      }
    }
    return best;
  }

  void FlushLiterals(std::vector<uint8_t>& out, ItemWriter& items, size_t from, size_t to) {
    while (to - from >= kMinRun) {
      const size_t len = std::min(kMaxRun, to - from);
      out.push_back(static_cast<uint8_t>((len - kMinRun) << 2 | 3));
      out.insert(out.end(), in_.begin() + static_cast<ptrdiff_t>(from),
                 in_.begin() + static_cast<ptrdiff_t>(from + len));
      items.Item(true);
      from += len;
    }
    for (; from < to; ++from) {
      out.push_back(in_[from]);
      items.Item(false);
    }
  }

  // Emits the first token of the copy; the rest, if any, is found again from its new start.
  size_t EmitCopy(std::vector<uint8_t>& out, ItemWriter& items, const Match& m) {
    const Step s = FirstStep(m.length, m.dist);
    const size_t d = m.dist - 1;
    if (s.cost == 1) {
      out.push_back(static_cast<uint8_t>(d << 2 | (s.length - 2)));
    } else if (s.cost == 2) {
      out.push_back(static_cast<uint8_t>(0x80 | d >> 4));
      out.push_back(static_cast<uint8_t>((d & 0x0F) << 4 | (s.length - 3)));
    } else {
      out.push_back(static_cast<uint8_t>(0xC0 | d >> 8));
      out.push_back(static_cast<uint8_t>(d & 0xFF));
      uint8_t code;
      switch (s.length) {
        case 4096:
          code = 0xFF;
          break;
        case 1024:
          code = 0xFE;
          break;
        case 256:
          code = 0xFD;
          break;
        default:
          code = static_cast<uint8_t>(s.length - 3);
      }
      out.push_back(code);
    }
    items.Item(true);
    return s.length;
  }

  std::span<const uint8_t> in_;
  int hashBits_;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
  size_t inserted_ = 0;
};

std::vector<uint8_t> DeltaFilter(std::span<const uint8_t> in) {
  std::vector<uint8_t> out(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out[i] = static_cast<uint8_t>(in[i] - (i >= 3 ? in[i - 3] : 0));
  }
  return out;
}

constexpr size_t kMaxRunCount = 8192;
constexpr size_t kMaxRunLiteral = 128;

std::vector<uint8_t> RunLengthPack(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  out.reserve(in.size() + in.size() / 64 + 16);
  const size_t n = in.size();
  size_t literalStart = 0;
  const auto flush = [&](size_t to) {
    while (literalStart < to) {
      const size_t len = std::min(kMaxRunLiteral, to - literalStart);
      out.push_back(static_cast<uint8_t>(len - 1));
      out.insert(out.end(), in.begin() + static_cast<ptrdiff_t>(literalStart),
                 in.begin() + static_cast<ptrdiff_t>(literalStart + len));
      literalStart += len;
    }
  };
  size_t pos = 0;
  while (pos < n) {
    size_t bestGroup = 0;
    size_t bestCovered = 0;
    long bestGain = 0;
    for (size_t group = 1; group <= 4 && pos + 2 * group <= n; ++group) {
      size_t j = pos + group;
      while (j < n && in[j] == in[j - group]) ++j;
      const size_t covered = (j - pos) / group * group;
      // A run costs its two bytes and the group; ending a literal span costs one more.
      const long gain = static_cast<long>(covered) - static_cast<long>(group + 3);
      if (gain > bestGain) {
        bestGain = gain;
        bestGroup = group;
        bestCovered = covered;
      }
    }
    if (bestGroup == 0) {
      ++pos;
      continue;
    }
    flush(pos);
    size_t count = bestCovered / bestGroup;
    while (count > 0) {
      const size_t c = std::min(count, kMaxRunCount);
      out.push_back(static_cast<uint8_t>(0x80 | (bestGroup - 1) << 5 | (c - 1) >> 8));
      out.push_back(static_cast<uint8_t>((c - 1) & 0xFF));
      out.insert(out.end(), in.begin() + static_cast<ptrdiff_t>(pos),
                 in.begin() + static_cast<ptrdiff_t>(pos + bestGroup));
      count -= c;
    }
    pos += bestCovered;
    literalStart = pos;
  }
  flush(n);
  return out;
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Assemble(uint8_t flags, std::span<const uint8_t> intermediate,
                              std::vector<uint8_t> packed, int width, int height) {
  std::vector<uint8_t> out(kGraHeaderSize);
  out[2] = flags;
  out[3] = 3;
  Put32(out, 4, static_cast<uint32_t>(packed.size()));
  Put32(out, 8, static_cast<uint32_t>(intermediate.size()));
  out[12] = static_cast<uint8_t>(width);
  out[13] = static_cast<uint8_t>(width >> 8);
  out[14] = static_cast<uint8_t>(height);
  out[15] = static_cast<uint8_t>(height >> 8);
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

}  // namespace

std::vector<uint8_t> EncodeGraPicture(std::span<const uint8_t> pixels, int width, int height) {
  if (width <= 0 || height <= 0 ||
      !PictureSizeUsable(static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
    return {};
  const size_t length = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  if (pixels.size() < length) return {};
  pixels = pixels.first(length);

  std::vector<uint8_t> best;
  const auto consider = [&](uint8_t flags, std::span<const uint8_t> stage) {
    std::vector<uint8_t> candidate = Assemble(flags, stage, LzPacker(stage).Pack(), width, height);
    if (best.empty() || candidate.size() < best.size()) best = std::move(candidate);
  };
  const std::vector<uint8_t> delta = DeltaFilter(pixels);
  for (const bool withDelta : {false, true}) {
    const std::span<const uint8_t> base = withDelta ? std::span<const uint8_t>(delta) : pixels;
    const uint8_t deltaFlag = withDelta ? kGraDelta : 0;
    consider(deltaFlag, base);
    // Runs that the LZ stage would find anyway gain nothing; only try when they shrink the data.
    const std::vector<uint8_t> runs = RunLengthPack(base);
    if (runs.size() < base.size()) consider(deltaFlag | kGraRunLength, runs);
  }
  return best;
}

std::vector<uint8_t> EncodeGraPicture(const Surface& picture) {
  if (picture.Empty()) return {};
  const size_t rowBytes = static_cast<size_t>(picture.Width()) * 3;
  std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(picture.Height()));
  for (int y = 0; y < picture.Height(); ++y) {
    std::memcpy(pixels.data() + y * rowBytes, picture.Row(y), rowBytes);
  }
  return EncodeGraPicture(pixels, picture.Width(), picture.Height());
}

}  // namespace zorvel
