#include "graphics/animation_file.h"

// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cstring>
#include <limits>
#include <memory>

#include "resources/byte_reader.h"

namespace zorvel {

namespace {

bool Refuse(std::string& why, std::string text) {
  why = std::move(text);
  return false;
}

}  // namespace

bool ReadAnimationHeader(std::span<const uint8_t> header, uint64_t entrySize, AnimationEntry& out,
                         std::string& why) {
  ByteReader r(header);
  uint32_t n = 0, p = 0, w = 0, h = 0, s = 0, so = 0;
  if (!r.U32le(n) || !r.U32le(p) || !r.U32le(w) || !r.U32le(h) || !r.U32le(s) || !r.U32le(so) ||
      entrySize < kAnimationHeaderSize) {
    return Refuse(why,
                  "shorter than an animation header (" + std::to_string(entrySize) + " bytes)");
  }
  AnimationEntry e;
  e.frameCount = static_cast<int32_t>(n);
  e.period = static_cast<int32_t>(p);
  e.width = static_cast<int32_t>(w);
  e.height = static_cast<int32_t>(h);
  e.soundSize = s;
  e.soundOffset = so;
  if (e.frameCount <= 0 || e.frameCount > kMaxAnimationFrames) {
    return Refuse(why, "frame count " + std::to_string(e.frameCount) + " is not 1 to " +
                           std::to_string(kMaxAnimationFrames));
  }
  if (AnimationTablesEnd(e.frameCount) > entrySize) {
    return Refuse(why, "the tables of " + std::to_string(e.frameCount) + " frames need " +
                           std::to_string(AnimationTablesEnd(e.frameCount)) +
                           " bytes; the entry has " + std::to_string(entrySize));
  }
  // The pacing divides by the period.
  if (e.period <= 0 || e.period > kMaxAnimationPeriod) {
    return Refuse(why, "frame period " + std::to_string(e.period) + " ms is not 1 to " +
                           std::to_string(kMaxAnimationPeriod));
  }
  if (e.soundSize != 0 && uint64_t{e.soundOffset} + e.soundSize > entrySize) {
    return Refuse(why, "the sound track of " + std::to_string(e.soundSize) + " bytes at " +
                           std::to_string(e.soundOffset) + " runs past the entry's " +
                           std::to_string(entrySize) + " bytes");
  }
  out = std::move(e);
  return true;
}

bool ReadAnimationTables(std::span<const uint8_t> head, uint64_t entrySize, AnimationEntry& entry,
                         std::string& why) {
  const uint64_t end = AnimationTablesEnd(entry.frameCount);
  if (entry.frameCount <= 0 || head.size() < end) {
    return Refuse(why, "the tables are cut short");
  }
  const size_t n = static_cast<size_t>(entry.frameCount);
  std::vector<AnimationFrame> frames(n);
  // Fixed offsets within a span whose length was checked against the tables' end above.
  auto s16 = [&](size_t at) {
    return static_cast<int16_t>(static_cast<uint16_t>(head[at] | head[at + 1] << 8));
  };
  for (size_t i = 0; i < n; ++i) {
    AnimationFrame& f = frames[i];
    f.kind = s16(kAnimationHeaderSize + 2 * i);
    f.x = s16(kAnimationHeaderSize + 2 * n + 2 * i);
    f.y = s16(kAnimationHeaderSize + 4 * n + 2 * i);
    const auto offset = static_cast<int32_t>(LoadLe32(head, kAnimationHeaderSize + 6 * n + 4 * i));
    const auto size = static_cast<int32_t>(LoadLe32(head, kAnimationHeaderSize + 10 * n + 4 * i));
    if (offset < 0 || size < 0 || uint64_t(uint32_t(offset)) + uint32_t(size) > entrySize) {
      return Refuse(why, "frame " + std::to_string(i) + "'s data (" + std::to_string(size) +
                             " bytes at " + std::to_string(offset) + ") lies outside the entry's " +
                             std::to_string(entrySize) + " bytes");
    }
    if (static_cast<uint32_t>(size) > kMaxAnimationFrameBytes) {
      return Refuse(why, "frame " + std::to_string(i) + " claims " + std::to_string(size) +
                             " bytes, more than a frame can be");
    }
    f.offset = static_cast<uint32_t>(offset);
    f.size = static_cast<uint32_t>(size);
  }
  entry.frames = std::move(frames);
  return true;
}

bool ReadAnimationEntry(std::span<const uint8_t> bytes, AnimationEntry& out, std::string& why) {
  AnimationEntry e;
  if (!ReadAnimationHeader(bytes, bytes.size(), e, why)) return false;
  if (!ReadAnimationTables(bytes, bytes.size(), e, why)) return false;
  out = std::move(e);
  return true;
}

bool DoubledSizeUsable(int32_t width, int32_t height) {
  return width >= 1 && height >= 1 && width <= kMaxDoubledSide && height <= kMaxDoubledSide;
}

std::vector<uint8_t> AssembleAnimationEntry(int32_t period, int32_t width, int32_t height,
                                            const std::vector<AnimationFrameSource>& frames,
                                            std::span<const uint8_t> sound) {
  const size_t n = frames.size();
  uint64_t total = AnimationTablesEnd(static_cast<int32_t>(n));
  for (const AnimationFrameSource& f : frames) total += f.jpeg.size();
  const uint64_t soundOffset = total;
  total += sound.size();
  if (n == 0 || n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
      total > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    return {};
  }
  std::vector<uint8_t> out(static_cast<size_t>(AnimationTablesEnd(static_cast<int32_t>(n))));
  auto put16 = [&](size_t at, int16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
  };
  StoreLe32(out, 0, static_cast<uint32_t>(n));
  StoreLe32(out, 4, static_cast<uint32_t>(period));
  StoreLe32(out, 8, static_cast<uint32_t>(width));
  StoreLe32(out, 12, static_cast<uint32_t>(height));
  StoreLe32(out, 16, static_cast<uint32_t>(sound.size()));
  StoreLe32(out, 20, sound.empty() ? 0u : static_cast<uint32_t>(soundOffset));
  size_t at = out.size();
  for (size_t i = 0; i < n; ++i) {
    const AnimationFrameSource& f = frames[i];
    put16(kAnimationHeaderSize + 2 * i, f.kind);
    put16(kAnimationHeaderSize + 2 * n + 2 * i, f.x);
    put16(kAnimationHeaderSize + 4 * n + 2 * i, f.y);
    StoreLe32(out, kAnimationHeaderSize + 6 * n + 4 * i, static_cast<uint32_t>(at));
    StoreLe32(out, kAnimationHeaderSize + 10 * n + 4 * i, static_cast<uint32_t>(f.jpeg.size()));
    at += f.jpeg.size();
  }
  out.reserve(static_cast<size_t>(total));
  for (const AnimationFrameSource& f : frames) out.insert(out.end(), f.jpeg.begin(), f.jpeg.end());
  out.insert(out.end(), sound.begin(), sound.end());
  return out;
}

namespace {

struct JpegWriteJob {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  std::jmp_buf jump{};
  unsigned char* memory = nullptr;
  unsigned long size = 0;
};

[[noreturn]] void JpegWriteFailed(j_common_ptr cinfo) {
  std::longjmp(static_cast<JpegWriteJob*>(cinfo->client_data)->jump, 1);
}

void JpegWriteQuiet(j_common_ptr) {}

// The jump lands here, so this frame keeps no state of its own.
bool RunJpegEncode(JpegWriteJob& job, const Surface& picture, int quality) {
  job.cinfo.err = jpeg_std_error(&job.errors);
  job.errors.error_exit = JpegWriteFailed;
  job.errors.output_message = JpegWriteQuiet;
  jpeg_create_compress(&job.cinfo);
  job.cinfo.client_data = &job;
  if (setjmp(job.jump)) {
    jpeg_destroy_compress(&job.cinfo);
    return false;
  }
  jpeg_mem_dest(&job.cinfo, &job.memory, &job.size);
  job.cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
  job.cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
  job.cinfo.input_components = 3;
  job.cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&job.cinfo);
  jpeg_set_quality(&job.cinfo, quality, TRUE);
  jpeg_start_compress(&job.cinfo, TRUE);
  while (job.cinfo.next_scanline < job.cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(picture.Row(static_cast<int>(job.cinfo.next_scanline)));
    jpeg_write_scanlines(&job.cinfo, &row, 1);
  }
  jpeg_finish_compress(&job.cinfo);
  jpeg_destroy_compress(&job.cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const Surface& picture, int quality) {
  if (picture.Empty()) return {};
  auto job = std::make_unique<JpegWriteJob>();
  std::vector<uint8_t> out;
  if (RunJpegEncode(*job, picture, quality < 1 ? 1 : quality > 100 ? 100 : quality)) {
    out.assign(job->memory, job->memory + job->size);
  }
  // libjpeg's memory destination hands its buffer to the caller, even after a failure.
  std::free(job->memory);
  return out;
}

}  // namespace zorvel
