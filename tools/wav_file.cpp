#include "wav_file.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "resources/byte_reader.h"

namespace zorvel::tool {

namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, static_cast<uint16_t>(x));
  Put16(v, static_cast<uint16_t>(x >> 16));
}

void PutTag(std::vector<uint8_t>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(tag[i]));
}

bool TagIs(std::span<const uint8_t> tag, const char* want) {
  return std::memcmp(tag.data(), want, 4) == 0;
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

bool ReadWav(std::span<const uint8_t> bytes, WavFile& out, std::string& error) {
  ByteReader r(bytes);
  std::span<const uint8_t> riff, wave;
  uint32_t riffSize = 0;
  if (!r.Bytes(4, riff) || !r.U32le(riffSize) || !r.Bytes(4, wave) || !TagIs(riff, "RIFF") ||
      !TagIs(wave, "WAVE")) {
    error = "not a WAV file (no RIFF/WAVE header)";
    return false;
  }
  bool haveFormat = false;
  std::span<const uint8_t> data;
  bool haveData = false;
  WaveFormat format;
  WavFile result;
  while (r.Remaining() >= 8) {
    std::span<const uint8_t> tag;
    uint32_t size = 0;
    r.Bytes(4, tag);
    r.U32le(size);
    std::span<const uint8_t> body;
    if (!r.Bytes(std::min<size_t>(size, r.Remaining()), body)) break;
    if (size % 2 && r.Remaining() > 0) r.Skip(1);  // chunks are padded to even sizes
    ByteReader c(body);
    if (TagIs(tag, "fmt ")) {
      uint16_t tagValue = 0;
      c.U16le(tagValue);
      c.U16le(format.channels);
      c.U32le(format.samplesPerSec);
      c.U32le(format.avgBytesPerSec);
      c.U16le(format.blockAlign);
      c.U16le(format.bitsPerSample);
      if (!c.Ok()) {
        error = "the fmt chunk is cut short";
        return false;
      }
      if (tagValue == kFormatExtensible) {
        // The sub-format's first two bytes carry the plain format tag.
        uint16_t extra = 0, validBits = 0, subFormat = 0;
        uint32_t mask = 0;
        if (c.U16le(extra) && c.U16le(validBits) && c.U32le(mask) && c.U16le(subFormat)) {
          tagValue = subFormat;
        }
      }
      if (tagValue != kFormatPcm) {
        error = "format tag " + std::to_string(tagValue) + " is not PCM (only 16-bit PCM WAV)";
        return false;
      }
      format.formatTag = kFormatPcm;
      haveFormat = true;
    } else if (TagIs(tag, "data")) {
      data = body;
      haveData = true;
    } else if (TagIs(tag, "smpl")) {
      uint32_t loops = 0;
      if (c.Skip(28) && c.U32le(loops) && c.Skip(4) && loops > 0) {
        uint32_t start = 0;
        if (c.Skip(8) && c.U32le(start)) result.loopStart = start;
      }
    }
  }
  if (!haveFormat) {
    error = "no fmt chunk";
    return false;
  }
  if (format.bitsPerSample != 16) {
    error = std::to_string(format.bitsPerSample) + "-bit samples (only 16-bit PCM WAV)";
    return false;
  }
  if (format.channels != 1 && format.channels != 2) {
    error = std::to_string(format.channels) + " channels (only mono or stereo)";
    return false;
  }
  if (format.samplesPerSec == 0 || format.samplesPerSec > 192000) {
    error = "sample rate " + std::to_string(format.samplesPerSec) + " out of range";
    return false;
  }
  if (!haveData) {
    error = "no data chunk";
    return false;
  }
  format.blockAlign = static_cast<uint16_t>(format.channels * 2);
  format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
  result.pcm.format = format;
  const size_t count = data.size() / format.blockAlign * format.channels;
  result.pcm.samples.resize(count);
  for (size_t i = 0; i < count; ++i) {
    result.pcm.samples[i] = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  out = std::move(result);
  return true;
}

std::vector<uint8_t> WriteWav(const Pcm& pcm) {
  const WaveFormat& f = pcm.format;
  // Whole frames: a sound's buffer may end in half a frame, which nobody hears.
  const size_t samples = pcm.Frames() * f.channels;
  const uint32_t dataBytes = static_cast<uint32_t>(samples * 2);
  std::vector<uint8_t> v;
  v.reserve(44 + dataBytes);
  PutTag(v, "RIFF");
  Put32(v, 36 + dataBytes);
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 16);
  Put16(v, kFormatPcm);
  Put16(v, f.channels);
  Put32(v, f.samplesPerSec);
  Put32(v, f.samplesPerSec * f.channels * 2u);
  Put16(v, static_cast<uint16_t>(f.channels * 2));
  Put16(v, 16);
  PutTag(v, "data");
  Put32(v, dataBytes);
  for (size_t i = 0; i < samples; ++i) Put16(v, static_cast<uint16_t>(pcm.samples[i]));
  return v;
}

double SignalToNoiseDb(const std::vector<int16_t>& reference, const std::vector<int16_t>& got) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const double x = reference[i];
    const double d = x - (i < got.size() ? got[i] : 0);
    signal += x * x;
    noise += d * d;
  }
  if (noise == 0) return std::numeric_limits<double>::infinity();
  if (signal == 0) return -std::numeric_limits<double>::infinity();
  return 10 * std::log10(signal / noise);
}

}  // namespace zorvel::tool
