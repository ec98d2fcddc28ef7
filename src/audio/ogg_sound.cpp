#include "audio/ogg_sound.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zorvel {

namespace {

// The library reads the entry through these, as if it were a file.
struct MemoryStream {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
};

size_t ReadCallback(void* ptr, size_t size, size_t count, void* source) {
  auto* s = static_cast<MemoryStream*>(source);
  if (size == 0 || count == 0) return 0;
  const size_t left = s->pos < s->bytes.size() ? s->bytes.size() - s->pos : 0;
  const size_t items = std::min(count, left / size);
  if (items == 0) return 0;
  std::memcpy(ptr, s->bytes.data() + s->pos, items * size);
  s->pos += items * size;
  return items;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  auto* s = static_cast<MemoryStream*>(source);
  int64_t base = 0;
  switch (whence) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = static_cast<int64_t>(s->pos);
      break;
    case SEEK_END:
      base = static_cast<int64_t>(s->bytes.size());
      break;
    default:
      return -1;
  }
  // As with a file, a position past the end is allowed and reads nothing there.
  constexpr int64_t kFar = int64_t{1} << 40;
  if (offset > kFar || offset < -kFar) return -1;
  const int64_t to = base + offset;
  if (to < 0) return -1;
  s->pos = static_cast<size_t>(to);
  return 0;
}

int CloseCallback(void*) {
  return 0;
}

long TellCallback(void* source) {
  return static_cast<long>(static_cast<MemoryStream*>(source)->pos);
}

// Long sounds often end in padding silence; short ones keep every byte.
constexpr size_t kTrimFrom = 30001;

// Beyond this the entry is not a sound the engine could hold; a stream claiming more is refused
// rather than allowed to exhaust memory.
constexpr size_t kMaxDecodedBytes = 512u << 20;

}  // namespace

std::optional<Pcm> DecodeOggSound(std::span<const uint8_t> entry, std::string& why) {
  MemoryStream stream{entry, 0};
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  OggVorbis_File vf;
  const int opened = ov_open_callbacks(&stream, &vf, nullptr, 0, callbacks);
  if (opened != 0) {
    why = "not an Ogg Vorbis stream (error " + std::to_string(opened) + ")";
    return std::nullopt;
  }
  const vorbis_info* info = ov_info(&vf, -1);
  if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate < 1 ||
      info->rate > 192000) {
    why = info ? "Ogg stream with " + std::to_string(info->channels) + " channels at " +
                     std::to_string(info->rate) + " Hz is not playable"
               : "Ogg stream without information";
    ov_clear(&vf);
    return std::nullopt;
  }
  const uint16_t channels = static_cast<uint16_t>(info->channels);
  const uint32_t rate = static_cast<uint32_t>(info->rate);

  // The announced length is only a hint for the first allocation: a damaged stream may claim
  // anything, so the buffer grows as bytes actually arrive.
  std::vector<uint8_t> bytes;
  const ogg_int64_t total = ov_pcm_total(&vf, -1);
  if (total > 0) {
    const uint64_t hint = static_cast<uint64_t>(total) * channels * 2;
    bytes.reserve(static_cast<size_t>(std::min<uint64_t>(hint, 16u << 20)));
  }
  char chunk[4096];
  int section = 0;
  for (;;) {
    // A hole or an error ends the sound where it is, as does the end of the stream.
    const long got = ov_read(&vf, chunk, sizeof chunk, 0, 2, 1, &section);
    if (got <= 0) break;
    if (bytes.size() + static_cast<size_t>(got) > kMaxDecodedBytes) {
      why = "Ogg stream decodes to more than " + std::to_string(kMaxDecodedBytes) + " bytes";
      ov_clear(&vf);
      return std::nullopt;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  ov_clear(&vf);

  size_t n = bytes.size();
  if (n >= kTrimFrom) {
    const size_t floor = n / 2;
    size_t end = n;
    while (end >= 4 && end - 4 >= floor && bytes[end - 1] == 0 && bytes[end - 2] == 0 &&
           bytes[end - 3] == 0 && bytes[end - 4] == 0) {
      end -= 4;
    }
    n = end;
  }

  Pcm pcm;
  pcm.format.formatTag = 1;
  pcm.format.channels = channels;
  pcm.format.samplesPerSec = rate;
  pcm.format.blockAlign = static_cast<uint16_t>(channels * 2);
  pcm.format.avgBytesPerSec = rate * channels * 2;
  pcm.format.bitsPerSample = 16;
  // Whole frames; the bytes are little-endian 16-bit, as asked of ov_read.
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  n = n / frameBytes * frameBytes;
  pcm.samples.resize(n / 2);
  for (size_t i = 0; i < n / 2; ++i) {
    pcm.samples[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i]) |
                                          static_cast<uint16_t>(bytes[2 * i + 1]) << 8);
  }
  return pcm;
}

}  // namespace zorvel
