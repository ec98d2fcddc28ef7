#include "graphics/animation.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/picture.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Every byte halved, rounded down, then added: never carries into the next byte.
inline uint32_t HalfSum(uint32_t a, uint32_t b) {
  return ((a >> 1) & 0x7F7F7F7Fu) + ((b >> 1) & 0x7F7F7F7Fu);
}

void WidenRowPortable(const uint32_t* f, uint32_t* d, int w) {
  for (int c = 0; c + 1 < w; ++c) {
    d[2 * c] = f[c];
    d[2 * c + 1] = HalfSum(f[c], f[c + 1]);
  }
  d[2 * w - 2] = f[w - 1];
  d[2 * w - 1] = f[w - 1];
}

void HalfRowPortable(const uint32_t* a, const uint32_t* b, uint32_t* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = HalfSum(a[i], b[i]);
}

#if defined(__SSE2__)
inline __m128i HalfSum4(__m128i a, __m128i b) {
  const __m128i low7 = _mm_set1_epi8(0x7F);
  return _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(a, 1), low7),
                      _mm_and_si128(_mm_srli_epi16(b, 1), low7));
}

void WidenRowSse2(const uint32_t* f, uint32_t* d, int w) {
  int c = 0;
  // Four pixels a step; the fifth is read for the last pair, so it must exist.
  for (; c + 4 < w; c += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + c));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + c + 1));
    const __m128i m = HalfSum4(a, b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * c), _mm_unpacklo_epi32(a, m));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * c + 4), _mm_unpackhi_epi32(a, m));
  }
  for (; c + 1 < w; ++c) {
    d[2 * c] = f[c];
    d[2 * c + 1] = HalfSum(f[c], f[c + 1]);
  }
  d[2 * w - 2] = f[w - 1];
  d[2 * w - 1] = f[w - 1];
}

void HalfRowSse2(const uint32_t* a, const uint32_t* b, uint32_t* out, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), HalfSum4(va, vb));
  }
  for (; i < n; ++i) out[i] = HalfSum(a[i], b[i]);
}
#endif

// The screen's clip of a rectangle; w = 0 when nothing of it is on the window.
ScreenRect ClipToWindow(const Surface& window, int64_t x, int64_t y, int64_t w, int64_t h) {
  const int64_t x0 = std::max<int64_t>(x, 0);
  const int64_t y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(x + w, window.Width());
  const int64_t y1 = std::min<int64_t>(y + h, window.Height());
  if (x0 >= x1 || y0 >= y1) return {};
  return ScreenRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                    static_cast<int>(y1 - y0)};
}

ScreenRect Union(const ScreenRect& a, const ScreenRect& b) {
  if (a.w == 0) return b;
  if (b.w == 0) return a;
  const int x0 = std::min(a.x, b.x);
  const int y0 = std::min(a.y, b.y);
  const int x1 = std::max(a.x + a.w, b.x + b.w);
  const int y1 = std::max(a.y + a.h, b.y + b.h);
  return ScreenRect{x0, y0, x1 - x0, y1 - y0};
}

// The frame period's schedule: frame i starts i × P ms after the first, or for `animq`
// i × Q / 1000 ms, where the two common periods stand for exact frame rates.
int64_t ScheduledStart(int64_t i, int32_t period, bool doubled) {
  if (!doubled) return i * period;
  int64_t q = int64_t{period} * 1000;
  if (period == 33) q = 33333;
  if (period == 15) q = 66666;
  return i * q / 1000;
}

}  // namespace

void DoublePicture(const Picture32& in, Picture32& out) {
  const int w = in.width;
  const int h = in.height;
  if (out.width != 2 * w || out.height != 2 * h) out.Resize(2 * w, 2 * h);
  if (w <= 0 || h <= 0) return;
  auto widen = WidenRowPortable;
  auto half = HalfRowPortable;
#if defined(__SSE2__)
  if (CurrentPixelPath() != PixelPath::kPortable) {
    widen = WidenRowSse2;
    half = HalfRowSse2;
  }
#endif
  widen(in.Row(0), out.Row(0), w);
  for (int r = 0; r + 1 < h; ++r) {
    widen(in.Row(r + 1), out.Row(2 * r + 2), w);
    half(out.Row(2 * r), out.Row(2 * r + 2), out.Row(2 * r + 1), 2 * w);
  }
  std::memcpy(out.Row(2 * h - 1), out.Row(2 * h - 2), sizeof(uint32_t) * 2 * w);
}

AnimationArgs ParseAnimationArgs(const char* arg) {
  AnimationArgs a;
  const char* comma = std::strchr(arg, ',');
  a.name.assign(arg, comma ? comma : arg + std::strlen(arg));
  const char* p = arg;
  auto next = [&p] {
    if (const char* c = std::strchr(p, ',')) p = c + 1;
    return p;
  };
  a.x = ReadDecimal(next());
  a.y = ReadDecimal(next());
  a.cut = next();
  return a;
}

// ---- Player -----------------------------------------------------------------------------------

bool Animation::Player::Decode(int32_t i) {
  const AnimationFrame& f = entry.frames[static_cast<size_t>(i)];
  std::string why;
  bool read = false;
  if (f.size == 0) {
    why = "it has no picture";
  } else if (archive != nullptr) {
    read = archive->ReadRange(archiveEntry, f.offset, f.size, bytes);
    if (!read) why = "cannot read its " + std::to_string(f.size) + " bytes";
  } else if (uint64_t{f.offset} + f.size <= memory.size()) {
    bytes.assign(memory.begin() + f.offset, memory.begin() + f.offset + f.size);
    read = true;
  } else {
    why = "its bytes lie outside the entry";
  }
  if (read && DecodeJpeg(bytes, decoded, &why)) return true;
  if (problem.empty()) problem = "frame " + std::to_string(i) + " not shown: " + why;
  return false;
}

ScreenRect Animation::Player::ShowDoubled() {
  DoublePicture(framePicture, displayPicture);
  const ScreenRect r = ClipToWindow(window, x, y, displayPicture.width, displayPicture.height);
  for (int row = r.y; row < r.y + r.h; ++row) {
    const uint32_t* src = displayPicture.Row(row - y) + (r.x - x);
    uint8_t* dst = window.Row(row) + r.x * 3;
    for (int c = 0; c < r.w; ++c, dst += 3) {
      const uint32_t p = src[c];
      dst[0] = static_cast<uint8_t>(p);
      dst[1] = static_cast<uint8_t>(p >> 8);
      dst[2] = static_cast<uint8_t>(p >> 16);
    }
  }
  return r;
}

ScreenRect Animation::Player::DrawFrame(int32_t i) {
  const AnimationFrame& f = entry.frames[static_cast<size_t>(i)];
  if (!Decode(i)) return {};
  ++drawn;
  const int32_t px = f.kind == kPatchFrame ? f.x : 0;
  const int32_t py = f.kind == kPatchFrame ? f.y : 0;
  if (!doubled) {
    Paste(window, decoded, int64_t{x} + px, int64_t{y} + py);
    return ClipToWindow(window, int64_t{x} + px, int64_t{y} + py, decoded.Width(),
                        decoded.Height());
  }
  // Into the frame picture, clipped to it.
  const int x0 = std::max(0, px);
  const int y0 = std::max(0, py);
  const int x1 =
      static_cast<int>(std::min<int64_t>(int64_t{px} + decoded.Width(), framePicture.width));
  const int y1 =
      static_cast<int>(std::min<int64_t>(int64_t{py} + decoded.Height(), framePicture.height));
  for (int row = y0; row < y1; ++row) {
    const uint8_t* src = decoded.Row(row - py) + (x0 - px) * 3;
    uint32_t* dst = framePicture.Row(row);
    for (int c = x0; c < x1; ++c, src += 3) {
      dst[c] = uint32_t{src[0]} | uint32_t{src[1]} << 8 | uint32_t{src[2]} << 16;
    }
  }
  return ShowDoubled();
}

ScreenRect Animation::Player::CatchUp(int32_t i, int32_t skipped) {
  // Puts back the picture frame i - 1 stands for: the newest whole frame among the skipped
  // ones, then the patches after it in order; with no whole frame among them, the skipped
  // patches over what is shown. Drawing older whole frames after newer ones would step back.
  const int32_t first = std::max(0, i - skipped);
  int32_t from = -1;
  for (int32_t j = i - 1; j >= first; --j) {
    const int16_t kind = entry.frames[static_cast<size_t>(j)].kind;
    if (kind == kWholeFrame) {
      from = j;
      break;
    }
  }
  if (from < 0) from = first;
  ScreenRect changed{};
  for (int32_t j = from; j < i; ++j) {
    const int16_t kind = entry.frames[static_cast<size_t>(j)].kind;
    if (kind == kWholeFrame || kind == kPatchFrame) changed = Union(changed, DrawFrame(j));
  }
  return changed;
}

// ---- Animation --------------------------------------------------------------------------------

Animation::Animation(Screen& screen, EngineState& state, const ArchiveSet& archives,
                     FrameClock& clock, Platform& platform, AnimationHooks hooks)
    : screen_(screen),
      s_(state),
      archives_(archives),
      clock_(clock),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Animation::Register(CommandTable& table) {
  table.Register(kAnim, [this](const char*) {
    // The handler's argument has lost the letter after the word; `animq` is told by it.
    return AnimCommand(s_.lineBuffer + 1 + std::strlen("anim"));
  });
}

int Animation::AnimCommand(const char* afterWord) {
  if (*afterWord == 'q' || *afterWord == 'Q') {
    const char* arg = afterWord + 1;
    Play(*arg ? arg + 1 : arg, true);
  } else {
    Play(*afterWord ? afterWord + 1 : afterWord, false);
  }
  return 1;
}

bool Animation::StopRequested() {
  return platform_.ShouldStop() || platform_.TerminationRequested();
}

void Animation::SleepFor(int64_t ms) {
  constexpr int64_t kSlice = 100;
  const uint32_t start = platform_.Ticks();
  for (;;) {
    const int64_t left =
        ms - static_cast<int64_t>(static_cast<uint32_t>(platform_.Ticks() - start));
    if (left <= 0) return;
    platform_.Sleep(static_cast<uint32_t>(std::min(left, kSlice)));
    if (left > kSlice) {
      clock_.PumpEvents();
      if (StopRequested()) return;
    }
  }
}

bool Animation::Play(const char* arg, bool doubled) {
  const AnimationArgs a = ParseAnimationArgs(arg);
  const ResourceArchive* archive = nullptr;
  int entryIndex = -1;
  for (const ResourceArchive& candidate : archives_.anim) {
    entryIndex = candidate.Find(a.name);
    if (entryIndex >= 0) {
      archive = &candidate;
      break;
    }
  }
  if (archive == nullptr) return false;

  const std::string label = archive->FileName() + ": animation " + SjisToUtf8(UpperSjis(a.name));
  const uint64_t entrySize = archive->Entries()[static_cast<size_t>(entryIndex)].size;
  std::vector<uint8_t> head;
  AnimationEntry entry;
  std::string why;
  if (!archive->ReadRange(entryIndex, 0, std::min<uint64_t>(entrySize, kAnimationHeaderSize),
                          head) ||
      !ReadAnimationHeader(head, entrySize, entry, why) ||
      !archive->ReadRange(entryIndex, 0, static_cast<size_t>(AnimationTablesEnd(entry.frameCount)),
                          head) ||
      !ReadAnimationTables(head, entrySize, entry, why)) {
    LogMessage(label + " not played: " + (why.empty() ? "cannot read its tables" : why));
    return false;
  }
  if (doubled && !DoubledSizeUsable(entry.width, entry.height)) {
    LogMessage(label + " not played doubled: its frame size " + std::to_string(entry.width) + "x" +
               std::to_string(entry.height) + " is not 1 to " + std::to_string(kMaxDoubledSide) +
               " on each side");
    return false;
  }
  const int32_t cut = hooks_.evaluate(a.cut);

  entry_ = std::move(entry);
  name_ = SjisToUtf8(UpperSjis(a.name));
  doubled_ = doubled;
  frame_ = 0;
  framesDrawn_ = 0;

  // The sound track: short ones from memory, long ones streamed and looped.
  enum class Track { kNone, kOnce, kStream } track = Track::kNone;
  if (entry_.soundSize != 0) {
    if (entry_.soundSize < kAnimationStreamThreshold) {
      ArchiveEntrySource source(*archive, entryIndex);
      hooks_.playSound(source, entry_.soundOffset, entry_.soundSize);
      track = Track::kOnce;
    } else {
      hooks_.startStream(std::make_unique<ArchiveEntrySource>(*archive, entryIndex),
                         entry_.soundOffset);
      track = Track::kStream;
    }
  }

  s_.toolbarLocked = true;
  hooks_.updateToolbar();
  s_.busy = true;
  s_.animating = true;
  s_.closeRequest = 0;
  playing_ = true;

  Surface window;
  platform_.ShownGameArea(window);
  Player player(entry_, doubled, a.x, a.y, window);
  player.archive = archive;
  player.archiveEntry = entryIndex;
  if (doubled) {
    player.framePicture.Resize(entry_.width, entry_.height);
    screen_.screenSurface.Fill(255, 255, 255);
  }

  Run(player, cut);
  End(player);
  if (!player.problem.empty()) LogMessage(label + ": " + player.problem);

  if (track == Track::kOnce) hooks_.stopSound();
  if (track == Track::kStream) hooks_.stopStream();
  playing_ = false;
  s_.animating = false;
  s_.busy = false;
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
  if (s_.closeRequest == 2) {
    s_.closeRequest = 0;
    hooks_.askQuit();
  }
  return true;
}

void Animation::Run(Player& player, int32_t cut) {
  const int32_t n = entry_.frameCount;
  const int32_t period = entry_.period;
  const uint32_t t0 = platform_.Ticks();
  int64_t i = 0;
  int32_t k = 0;
  while (i < n) {
    frame_ = static_cast<int32_t>(i);
    const int16_t kind = entry_.frames[static_cast<size_t>(i)].kind;
    ScreenRect changed{};
    if (kind == kWholeFrame) {
      changed = player.DrawFrame(frame_);
      k = 0;
    } else if (kind == kPatchFrame) {
      if (k == 0) changed = player.DrawFrame(frame_);
    } else if (kind == kHoldFrame) {
      if (k != 0) changed = player.CatchUp(frame_, k);
    }
    framesDrawn_ = player.drawn;
    if (changed.w > 0) {
      platform_.PresentRect(player.window, changed.x, changed.y, changed.w, changed.h);
    }
    platform_.Flush();
    clock_.PumpEvents();
    if (StopRequested()) break;

    const int64_t elapsed = static_cast<uint32_t>(platform_.Ticks() - t0);
    const int64_t e = elapsed - ScheduledStart(i, period, doubled_);
    if (e <= period) {
      if (period - e > 0) SleepFor(period - e);
      i += 1;
      k = 0;
    } else {
      const int64_t late = e / period;
      k = static_cast<int32_t>(std::min<int64_t>(late, n));
      SleepFor(period - e % period);
      i += late + 1;
    }
    if (s_.closeRequest != 0 && cut != 0) {
      s_.vars.S[kAnimationCutRegister] = 1;
      break;
    }
  }
}

void Animation::End(Player& player) {
  const int32_t last = entry_.frameCount - 1;
  frame_ = last;
  if (!player.Decode(last)) return;
  if (!player.doubled) {
    Paste(screen_.screenSurface, player.decoded, player.x, player.y);
    Paste(player.window, player.decoded, player.x, player.y);
    const ScreenRect r = ClipToWindow(player.window, player.x, player.y, player.decoded.Width(),
                                      player.decoded.Height());
    if (r.w > 0) platform_.PresentRect(player.window, r.x, r.y, r.w, r.h);
  } else {
    // The window keeps the doubled last frame, and so does ScreenSurface, so that a repaint
    // shows what the player saw rather than white.
    const ScreenRect r = player.DrawFrame(last);
    if (r.w > 0) {
      for (int row = r.y; row < r.y + r.h; ++row) {
        std::memcpy(screen_.screenSurface.Row(row) + r.x * 3, player.window.Row(row) + r.x * 3,
                    static_cast<size_t>(r.w) * 3);
      }
      platform_.PresentRect(player.window, r.x, r.y, r.w, r.h);
    }
  }
  platform_.Flush();
}

bool Animation::PlayFromMemory(std::span<const uint8_t> bytes, bool doubled, Surface& window,
                               int32_t maxFrames, std::string& why) {
  AnimationEntry entry;
  if (!ReadAnimationEntry(bytes, entry, why)) return false;
  if (doubled && !DoubledSizeUsable(entry.width, entry.height)) {
    why = "frame size not usable doubled";
    return false;
  }
  Player player(entry, doubled, 0, 0, window);
  player.memory = bytes;
  if (doubled) player.framePicture.Resize(entry.width, entry.height);
  const int32_t n = std::min(entry.frameCount, std::max(maxFrames, 1));
  for (int32_t i = 0; i < n; ++i) {
    const int16_t kind = entry.frames[static_cast<size_t>(i)].kind;
    if (kind == kWholeFrame || kind == kPatchFrame) player.DrawFrame(i);
  }
  if (n > 1) player.CatchUp(n - 1, n - 1);
  why = player.problem;
  return true;
}

}  // namespace zorvel
