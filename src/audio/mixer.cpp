#include "audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel {

namespace {

// The master stage at a steady gain: `count` samples scaled, clamped and rounded to the nearest
// (the rounding mode in force, as lrint does), four at a time where the processor allows.
void ScaleToSamples(const float* acc, int16_t* out, int count, float gain) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 g = _mm_set1_ps(gain);
  const __m128 lo = _mm_set1_ps(-32768.0f);
  const __m128 hi = _mm_set1_ps(32767.0f);
  const auto scale = [&](const float* from) {
    __m128 v = _mm_mul_ps(_mm_loadu_ps(from), g);
    // A NaN comes out as 0, as lrint's result cut to 16 bits does.
    v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
    return _mm_cvtps_epi32(_mm_max_ps(_mm_min_ps(v, hi), lo));
  };
  for (; i + 8 <= count; i += 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_packs_epi32(scale(acc + i), scale(acc + i + 4)));
  }
#endif
  for (; i < count; ++i) {
    const float v = std::clamp(acc[i] * gain, -32768.0f, 32767.0f);
    out[i] = static_cast<int16_t>(std::lrint(v));
  }
}

constexpr float kFraction = 1.0f / 4294967296.0f;

}  // namespace

Mixer::Mixer(int deviceRate) : deviceRate_(0), rampFrames_(1), rampStep_(1.0f) {
  SetDeviceRate(deviceRate);
}

float Mixer::Gain(int centibels) {
  if (centibels <= kSilent) return 0.0f;
  if (centibels >= 0) return 1.0f;
  return static_cast<float>(std::pow(10.0, centibels / 2000.0));
}

void Mixer::SetDeviceRate(int rate) {
  std::lock_guard<std::mutex> hold(lock_);
  deviceRate_ = std::clamp(rate, 8000, kMaxRate);
  rampFrames_ = std::max(1, deviceRate_ * kRampMs / 1000);
  rampStep_ = 1.0f / static_cast<float>(rampFrames_);
  for (Slot& s : slots_) {
    UpdateStep(s);
    s.tailLen = s.tailPos = 0;
  }
}

void Mixer::UpdateStep(Slot& s) const {
  s.step =
      s.rate == 0 ? 0 : (static_cast<uint64_t>(s.rate) << 32) / static_cast<uint64_t>(deviceRate_);
}

namespace {

// One interpolated frame of a buffer at a fixed-point position that lies inside it.
inline void Fetch(const int16_t* d, size_t frames, int channels, bool loop, uint64_t pos, float& l,
                  float& r) {
  const size_t f = static_cast<size_t>(pos >> 32);
  const float frac = static_cast<float>(pos & 0xFFFFFFFFu) * kFraction;
  // Past the last frame a loop continues at its start; a once-buffer holds its last frame.
  const size_t n = f + 1 < frames ? f + 1 : (loop ? 0 : f);
  if (channels == 1) {
    const float a = d[f];
    l = r = a + (static_cast<float>(d[n]) - a) * frac;
  } else {
    const float a = d[2 * f];
    const float b = d[2 * f + 1];
    l = a + (static_cast<float>(d[2 * n]) - a) * frac;
    r = b + (static_cast<float>(d[2 * n + 1]) - b) * frac;
  }
}

}  // namespace

// Keeps what is left of the tail at its front, ready for more to be added over it.
static void CompactTail(float* tail, int& len, int& pos, int newLen) {
  const int left = len - pos;
  if (left > 0 && pos > 0) std::memmove(tail, tail + 2 * pos, sizeof(float) * 2 * left);
  const int keep = std::max(left, 0);
  if (newLen > keep) std::fill(tail + 2 * keep, tail + 2 * newLen, 0.0f);
  len = std::max(keep, newLen);
  pos = 0;
}

void Mixer::Cut(Slot& s) {
  if (!s.playing) return;
  s.playing = false;
  if (s.frames == 0 || s.gain == 0.0f) {
    s.gain = 0.0f;
    return;
  }
  CompactTail(s.tail.data(), s.tailLen, s.tailPos, rampFrames_);
  uint64_t pos = s.pos;
  const uint64_t end = static_cast<uint64_t>(s.frames) << 32;
  for (int i = 0; i < rampFrames_; ++i) {
    const float g = s.gain * static_cast<float>(rampFrames_ - 1 - i) * rampStep_;
    float l = 0;
    float r = 0;
    Fetch(s.data.data(), s.frames, s.channels, s.loop, pos, l, r);
    s.tail[2 * i] += l * g;
    s.tail[2 * i + 1] += r * g;
    pos += s.step;
    if (pos >= end) {
      if (!s.loop) break;
      pos %= end;
    }
  }
  s.gain = 0.0f;
}

bool Mixer::Render(Slot& s, float* acc, int frames) {
  const int16_t* d = s.data.data();
  const uint64_t end = static_cast<uint64_t>(s.frames) << 32;
  for (int i = 0; i < frames; ++i) {
    if (s.gain != s.target) {
      s.gain = s.gain < s.target ? std::min(s.target, s.gain + rampStep_)
                                 : std::max(s.target, s.gain - rampStep_);
    }
    float l = 0;
    float r = 0;
    Fetch(d, s.frames, s.channels, s.loop, s.pos, l, r);
    acc[2 * i] += l * s.gain;
    acc[2 * i + 1] += r * s.gain;
    s.pos += s.step;
    if (s.pos >= end) {
      if (s.loop) {
        s.pos %= end;
        continue;
      }
      // The sound's last frame fades out instead of stopping dead.
      CompactTail(s.tail.data(), s.tailLen, s.tailPos, rampFrames_ + i + 1);
      for (int k = 0; k < rampFrames_; ++k) {
        const float g = s.gain * static_cast<float>(rampFrames_ - 1 - k) * rampStep_;
        s.tail[2 * (i + 1 + k)] += l * g;
        s.tail[2 * (i + 1 + k) + 1] += r * g;
      }
      s.pos = 0;
      s.gain = 0.0f;
      return false;
    }
  }
  return true;
}

void Mixer::Drop(std::vector<int16_t>& data) {
  std::vector<int16_t>().swap(data);
}

bool Mixer::Create(int slot, const WaveFormat& format, size_t bytes) {
  if (!Valid(slot)) return false;
  if ((format.channels != 1 && format.channels != 2) || format.samplesPerSec == 0 ||
      format.samplesPerSec > static_cast<uint32_t>(kMaxRate) || format.bitsPerSample != 16) {
    Release(slot);
    return false;
  }
  const size_t blockAlign = 2u * format.channels;
  const size_t frames = bytes / blockAlign;
  if (frames == 0) {
    Release(slot);
    return false;
  }
  std::vector<int16_t> data(frames * format.channels);
  {
    std::lock_guard<std::mutex> hold(lock_);
    Slot& s = slots_[slot];
    Cut(s);
    s.data.swap(data);
    s.channels = format.channels;
    s.rate = format.samplesPerSec;
    s.frames = frames;
    s.blockAlign = blockAlign;
    s.pos = 0;
    s.loop = false;
    s.centibels = 0;
    s.gain = 0.0f;
    s.target = 1.0f;
    UpdateStep(s);
  }
  labels_[slot].clear();
  return true;  // the old buffer, now in `data`, is freed here, outside the lock
}

bool Mixer::Load(int slot, const Pcm& pcm) {
  if (!Create(slot, pcm.format, pcm.Frames() * 2u * pcm.format.channels)) return false;
  Write(slot, 0, pcm.samples);
  return true;
}

void Mixer::Write(int slot, size_t byteOffset, std::span<const int16_t> samples) {
  if (!Valid(slot)) return;
  std::lock_guard<std::mutex> hold(lock_);
  Slot& s = slots_[slot];
  const size_t at = byteOffset / 2;
  if (at >= s.data.size()) return;
  const size_t n = std::min(samples.size(), s.data.size() - at);
  std::memcpy(s.data.data() + at, samples.data(), n * sizeof(int16_t));
}

void Mixer::Play(int slot, bool loop) {
  if (!Valid(slot)) return;
  std::lock_guard<std::mutex> hold(lock_);
  Slot& s = slots_[slot];
  if (s.frames == 0) return;
  s.loop = loop;
  if (s.playing) return;
  s.playing = true;
  s.gain = 0.0f;  // ramps in
}

void Mixer::Stop(int slot) {
  if (!Valid(slot)) return;
  std::lock_guard<std::mutex> hold(lock_);
  Cut(slots_[slot]);
}

void Mixer::Release(int slot) {
  if (!Valid(slot)) return;
  std::vector<int16_t> old;
  {
    std::lock_guard<std::mutex> hold(lock_);
    Slot& s = slots_[slot];
    Cut(s);
    old.swap(s.data);
    s.frames = 0;
    s.rate = 0;
    s.step = 0;
    s.pos = 0;
    s.loop = false;
    s.centibels = 0;
    s.target = 1.0f;
  }
  labels_[slot].clear();
  Drop(old);
}

void Mixer::ReleaseAll() {
  for (int i = 0; i < kSlots; ++i) Release(i);
}

bool Mixer::Has(int slot) const {
  if (!Valid(slot)) return false;
  std::lock_guard<std::mutex> hold(lock_);
  return slots_[slot].frames != 0;
}

bool Mixer::Playing(int slot) const {
  if (!Valid(slot)) return false;
  std::lock_guard<std::mutex> hold(lock_);
  return slots_[slot].playing;
}

size_t Mixer::Position(int slot) const {
  if (!Valid(slot)) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  const Slot& s = slots_[slot];
  return std::min(static_cast<size_t>(s.pos >> 32), s.frames) * s.blockAlign;
}

void Mixer::SetPosition(int slot, size_t byteOffset) {
  if (!Valid(slot)) return;
  std::lock_guard<std::mutex> hold(lock_);
  Slot& s = slots_[slot];
  if (s.frames == 0) return;
  const size_t frame = std::min(byteOffset / s.blockAlign, s.frames - 1);
  if (s.playing) {
    // A jump is a cut and a fresh start, faded like both.
    Cut(s);
    s.playing = true;
  }
  s.pos = static_cast<uint64_t>(frame) << 32;
}

void Mixer::SetVolume(int slot, int centibels) {
  if (!Valid(slot)) return;
  std::lock_guard<std::mutex> hold(lock_);
  Slot& s = slots_[slot];
  s.centibels = std::clamp(centibels, kSilent, 0);
  s.target = Gain(s.centibels);
}

int Mixer::Volume(int slot) const {
  if (!Valid(slot)) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  return slots_[slot].centibels;
}

void Mixer::SetLabel(int slot, const std::string& name) {
  if (Valid(slot)) labels_[slot] = name;
}

std::string Mixer::Label(int slot) const {
  return Valid(slot) ? labels_[slot] : std::string();
}

void Mixer::SetMasterVolume(int centibels) {
  std::lock_guard<std::mutex> hold(lock_);
  masterCentibels_ = std::clamp(centibels, kSilent, 0);
  masterTarget_ = Gain(masterCentibels_);
}

int Mixer::MasterVolume() const {
  std::lock_guard<std::mutex> hold(lock_);
  return masterCentibels_;
}

void Mixer::Mix(int16_t* out, size_t frames) {
  std::lock_guard<std::mutex> hold(lock_);
  // Most of the time nothing sounds: silence costs a fill, not a mix.
  const bool silent = std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) {
    return s.playing || s.tailPos < s.tailLen;
  });
  if (silent) {
    masterGain_ = masterTarget_;
    std::fill(out, out + 2 * frames, int16_t{0});
    return;
  }
  float acc[2 * kChunkFrames];
  while (frames > 0) {
    const int n = static_cast<int>(std::min<size_t>(frames, kChunkFrames));
    std::fill(acc, acc + 2 * n, 0.0f);
    for (Slot& s : slots_) {
      // The tail starts at this chunk's first frame; a sound ending inside the chunk adds its
      // own fade to it first.
      if (s.playing && !Render(s, acc, n)) s.playing = false;
      if (s.tailPos < s.tailLen) {
        const int take = std::min(n, s.tailLen - s.tailPos);
        const float* t = s.tail.data() + 2 * s.tailPos;
        for (int i = 0; i < 2 * take; ++i) acc[i] += t[i];
        s.tailPos += take;
      }
    }
    if (masterGain_ == masterTarget_) {
      ScaleToSamples(acc, out, 2 * n, masterGain_);
      out += 2 * n;
      frames -= static_cast<size_t>(n);
      continue;
    }
    for (int i = 0; i < n; ++i) {
      if (masterGain_ != masterTarget_) {
        masterGain_ = masterGain_ < masterTarget_
                          ? std::min(masterTarget_, masterGain_ + rampStep_)
                          : std::max(masterTarget_, masterGain_ - rampStep_);
      }
      for (int c = 0; c < 2; ++c) {
        const float v = std::clamp(acc[2 * i + c] * masterGain_, -32768.0f, 32767.0f);
        out[2 * i + c] = static_cast<int16_t>(std::lrint(v));
      }
    }
    out += 2 * n;
    frames -= static_cast<size_t>(n);
  }
}

}  // namespace zorvel
