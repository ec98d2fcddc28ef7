#include "graphics/picture.h"

#include <setjmp.h>
#include <stdio.h>

// Need FILE from stdio.h.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "resources/archive_set.h"
#include "resources/byte_reader.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Room behind each decode buffer, so that copies can move whole 8- and 16-byte blocks and
// literal runs a fixed 40 bytes without a tail loop; every token is still checked against the
// real end before it writes.
constexpr size_t kSlack = 256;
constexpr size_t kLongestLiteralRun = 40;

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Repeats the `dist` bytes behind `op` until `len` bytes are written. The caller has checked
// that `len` bytes fit before the end; the block copies may spill up to 15 bytes into the slack.
inline void CopyMatch(uint8_t* op, size_t dist, size_t len) {
  const uint8_t* src = op - dist;
  uint8_t* const end = op + len;
  if (dist >= 16) {
    do {
      std::memcpy(op, src, 16);
      op += 16;
      src += 16;
    } while (op < end);
  } else if (dist >= 8) {
    do {
      std::memcpy(op, src, 8);
      op += 8;
      src += 8;
    } while (op < end);
  } else if (dist == 1) {
    std::memset(op, *src, len);
  } else if (len <= 16) {
    while (op < end) *op++ = *src++;
  } else {
    // The bytes from `src` repeat with period `dist`, so each round may copy everything written
    // so far: the copied span doubles and source and destination never overlap.
    while (op < end) {
      const size_t n = std::min(static_cast<size_t>(op - src), static_cast<size_t>(end - op));
      std::memcpy(op, src, n);
      op += n;
    }
  }
}

// The bytes a copy token needs after its first byte `t`, which must not be a literal run.
inline size_t CopyTokenExtra(unsigned t) {
  return t & 0x80 ? (t & 0x40 ? 2 : 1) : 0;
}

// Reads the rest of a copy token whose extra bytes are known to be there.
inline void ReadCopy(unsigned t, const uint8_t*& ip, size_t& dist, size_t& len) {
  if (!(t & 0x80)) {
    dist = (t >> 2) + 1;
    len = (t & 3) + 2;
  } else if (!(t & 0x40)) {
    const unsigned b = *ip++;
    dist = ((t & 0x3F) << 4 | b >> 4) + 1;
    len = (b & 0x0F) + 3;
  } else {
    const unsigned b = ip[0];
    const unsigned c = ip[1];
    ip += 2;
    dist = ((t & 0x3F) << 8 | b) + 1;
    len = c == 0xFF ? 4096 : c == 0xFE ? 1024 : c == 0xFD ? 256 : c + 3;
  }
}

// Most of a picture lies where a whole group of eight items (a literal run is the longest, at
// 41 bytes) and its next control byte are surely in the input, and eight literal runs surely
// fit the output; there only copies need a check. The rest goes the careful way.
constexpr ptrdiff_t kGroupInput = 8 * 41 + 1;
constexpr ptrdiff_t kGroupOutput = 8 * 40;

bool UnpackLz(std::span<const uint8_t> packed, uint8_t* out, size_t outLength, std::string* error) {
  const uint8_t* ip = packed.data();
  const uint8_t* const iend = ip + packed.size();
  uint8_t* op = out;
  uint8_t* const oend = out + outLength;
  const auto truncated = [error] { return Fail(error, "packed stream ends too early"); };
  const auto copyBefore = [error] {
    return Fail(error, "a copy reaches before the start of the picture");
  };
  const auto copyPast = [error] {
    return Fail(error, "a copy writes past the end of the picture");
  };

  if (ip == iend) return truncated();
  unsigned control = *ip++;
  int items = 0;
  bool careful = false;
  while (iend - ip >= kGroupInput && oend - op > kGroupOutput) {
    if (control == 0) {
      // Eight literals: common in noisy pictures, and one block move.
      std::memcpy(op, ip, 8);
      op += 8;
      ip += 8;
      control = *ip++;
      continue;
    }
    for (int item = 0; item < 8; ++item, control <<= 1) {
      if (!(control & 0x80)) {
        *op++ = *ip++;
        continue;
      }
      const unsigned t = *ip++;
      if ((t & 0x83) == 3) {
        const size_t len = (t >> 2) + 9;
        std::memcpy(op, ip, kLongestLiteralRun);
        op += len;
        ip += len;
        continue;
      }
      size_t dist;
      size_t len;
      ReadCopy(t, ip, dist, len);
      if (dist > static_cast<size_t>(op - out)) return copyBefore();
      if (len > static_cast<size_t>(oend - op)) return copyPast();
      CopyMatch(op, dist, len);
      op += len;
      // Near the end the group's remaining items must be checked one by one.
      if (oend - op <= kGroupOutput) {
        control <<= 1;
        items = item + 1;
        careful = true;
        break;
      }
    }
    if (careful) break;
    control = *ip++;
  }

  while (op < oend) {
    if (items == 8) {
      if (ip == iend) return truncated();
      control = *ip++;
      items = 0;
    }
    ++items;
    const bool token = control & 0x80;
    control <<= 1;
    if (ip == iend) return truncated();
    if (!token) {
      *op++ = *ip++;
      continue;
    }
    const unsigned t = *ip++;
    if ((t & 0x83) == 3) {
      const size_t len = (t >> 2) + 9;
      if (static_cast<size_t>(iend - ip) < len) return truncated();
      if (static_cast<size_t>(oend - op) < len) {
        return Fail(error, "a literal run writes past the end of the picture");
      }
      std::memcpy(op, ip, len);
      op += len;
      ip += len;
      continue;
    }
    if (static_cast<size_t>(iend - ip) < CopyTokenExtra(t)) return truncated();
    size_t dist;
    size_t len;
    ReadCopy(t, ip, dist, len);
    if (dist > static_cast<size_t>(op - out)) return copyBefore();
    if (len > static_cast<size_t>(oend - op)) return copyPast();
    CopyMatch(op, dist, len);
    op += len;
  }
  return true;
}

bool ExpandRuns(std::span<const uint8_t> in, uint8_t* out, size_t outLength, std::string* error) {
  const uint8_t* ip = in.data();
  const uint8_t* const iend = ip + in.size();
  uint8_t* op = out;
  uint8_t* const oend = out + outLength;
  const auto truncated = [error] { return Fail(error, "run-length data ends too early"); };
  while (op < oend) {
    if (ip == iend) return truncated();
    const unsigned r = *ip++;
    if (r & 0x80) {
      const size_t group = ((r >> 5) & 3) + 1;
      if (static_cast<size_t>(iend - ip) < 1 + group) return truncated();
      size_t count = ((r & 0x1F) << 8 | ip[0]) + 1;
      const uint8_t* pattern = ip + 1;
      ip += 1 + group;
      // A run that would pass the end writes only the whole groups that fit.
      count = std::min(count, static_cast<size_t>(oend - op) / group);
      if (count == 0) continue;
      std::memcpy(op, pattern, group);
      const size_t rest = (count - 1) * group;
      if (rest > 0) CopyMatch(op + group, group, rest);
      op += count * group;
    } else {
      const size_t n = (r & 0x7F) + 1;
      if (static_cast<size_t>(iend - ip) < n) return truncated();
      if (n > static_cast<size_t>(oend - op)) {
        return Fail(error, "run-length data writes past the end of the picture");
      }
      std::memcpy(op, ip, n);
      op += n;
      ip += n;
    }
  }
  return true;
}

// Each channel's running sum carries on from one row to the next.
void UndoDelta(uint8_t* p, size_t length) {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  for (uint8_t* const end = p + length; p < end; p += 3) {
    b = static_cast<uint8_t>(b + p[0]);
    g = static_cast<uint8_t>(g + p[1]);
    r = static_cast<uint8_t>(r + p[2]);
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

// JPEG ------------------------------------------------------------------------------------------

// Progressive JPEGs can hold any number of scans; real pictures have a handful.
constexpr int kMaxJpegScans = 500;

// libjpeg reports fatal errors by calling error_exit, which by default ends the process; ours
// jumps back to the decode call instead. Everything a jump may skip over lives in here, in
// memory whose address libjpeg holds, so nothing stays in a register across the jump.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errorManager;
  jpeg_progress_mgr progress;
  jmp_buf jump;
  std::string message;
  // The data ran out, and entropy-coded data was missing when it did. A file that lacks only
  // its end-of-image marker runs out too, but after the last scan is whole: that one shows.
  bool inputEnded = false;
  bool dataMissing = false;
  Surface picture;

  bool CutShort() const { return inputEnded && dataMissing; }
};

JpegJob& JobOf(j_common_ptr cinfo) {
  return *static_cast<JpegJob*>(cinfo->client_data);
}

void JpegErrorExit(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  JobOf(cinfo).message = text;
  longjmp(JobOf(cinfo).jump, 1);
}

// Warnings are counted rather than printed; the ones that matter say the data ran out in the
// middle of a scan, which libjpeg papers over with grey.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) JobOf(cinfo).inputEnded = true;
  if (cinfo->err->msg_code == JWRN_HIT_MARKER) JobOf(cinfo).dataMissing = true;
  ++cinfo->err->num_warnings;
}

void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    JobOf(cinfo).message = "more than " + std::to_string(kMaxJpegScans) + " scans";
    longjmp(JobOf(cinfo).jump, 1);
  }
}

void StartJpeg(JpegJob& job) {
  job.cinfo.err = jpeg_std_error(&job.errorManager);
  job.errorManager.error_exit = JpegErrorExit;
  job.errorManager.emit_message = JpegEmitMessage;
  job.errorManager.output_message = JpegOutputMessage;
  jpeg_create_decompress(&job.cinfo);
  job.cinfo.client_data = &job;
  job.progress.progress_monitor = JpegProgress;
  job.cinfo.progress = &job.progress;
}

bool CheckJpegHeader(JpegJob& job) {
  const jpeg_decompress_struct& c = job.cinfo;
  if (!PictureSizeUsable(c.image_width, c.image_height)) {
    job.message = "size " + std::to_string(c.image_width) + "x" + std::to_string(c.image_height) +
                  " is not usable";
    return false;
  }
  if (c.jpeg_color_space != JCS_GRAYSCALE && c.jpeg_color_space != JCS_YCbCr &&
      c.jpeg_color_space != JCS_RGB) {
    job.message = "only colour and grey JPEGs are shown, not CMYK";
    return false;
  }
  return true;
}

// Runs the decode, or only the header's checks; on false job.message says why. The jump lands
// here, so this frame keeps no state of its own.
bool RunJpegDecode(JpegJob& job, std::span<const uint8_t> bytes, bool headerOnly) {
  StartJpeg(job);
  if (setjmp(job.jump)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  // Refuses empty input by jumping, so only once the jump has somewhere to land.
  jpeg_mem_src(&job.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&job.cinfo, TRUE);
  if (const bool ok = CheckJpegHeader(job); !ok || headerOnly) {
    jpeg_destroy_decompress(&job.cinfo);
    return ok;
  }
  // Grey pictures are expanded to three equal channels by the colour converter.
  job.cinfo.out_color_space = JCS_EXT_BGR;
  job.cinfo.scale_num = 1;
  job.cinfo.scale_denom = 1;
  jpeg_start_decompress(&job.cinfo);
  job.picture.Resize(static_cast<int>(job.cinfo.output_width),
                     static_cast<int>(job.cinfo.output_height));
  while (job.cinfo.output_scanline < job.cinfo.output_height && !job.CutShort()) {
    JSAMPROW row = job.picture.Row(static_cast<int>(job.cinfo.output_scanline));
    jpeg_read_scanlines(&job.cinfo, &row, 1);
  }
  if (job.CutShort()) {
    job.message = "the JPEG data ends too early";
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_finish_decompress(&job.cinfo);
  jpeg_destroy_decompress(&job.cinfo);
  if (job.CutShort()) {
    job.message = "the JPEG data ends too early";
    return false;
  }
  return true;
}

}  // namespace

bool ReadGraHeader(std::span<const uint8_t> bytes, GraHeader& header, std::string* error) {
  ByteReader r(bytes);
  GraHeader h;
  uint8_t ignored = 0;
  if (!r.U8(ignored) || !r.U8(ignored) || !r.U8(h.flags) || !r.U8(h.bytesPerPixel) ||
      !r.U32le(h.packedLength) || !r.U32le(h.intermediateLength) || !r.U16le(h.width) ||
      !r.U16le(h.height)) {
    return Fail(error, "shorter than a GRA header (" + std::to_string(bytes.size()) + " bytes)");
  }
  if (h.bytesPerPixel != 3) {
    return Fail(error, std::to_string(h.bytesPerPixel) + " bytes per pixel; only 3 are shown");
  }
  if (!PictureSizeUsable(h.width, h.height)) {
    return Fail(error, "size " + std::to_string(h.width) + "x" + std::to_string(h.height) +
                           " is not usable");
  }
  if ((h.flags & kGraRunLength) && h.intermediateLength > kMaxGraIntermediate) {
    return Fail(error, "intermediate length " + std::to_string(h.intermediateLength) +
                           " is not plausible for any picture");
  }
  header = h;
  return true;
}

std::string GraCodingName(uint8_t flags) {
  std::string name = "lz";
  if (flags & kGraRunLength) name += "+rle";
  if (flags & kGraDelta) name += "+delta";
  return name;
}

bool DecodeGraPicture(std::span<const uint8_t> bytes, Surface& out, std::string* error) {
  GraHeader h;
  if (!ReadGraHeader(bytes, h, error)) return false;
  // The stream is what the header announces, as far as the bytes go; the LZ stage refuses a
  // stream that runs out before the picture is whole.
  const std::span<const uint8_t> packed =
      bytes.subspan(kGraHeaderSize, std::min(h.StreamLength(), bytes.size() - kGraHeaderSize));
  const size_t unpacked = h.UnpackedLength();
  const bool twoStage = h.flags & kGraRunLength;
  const size_t lzLength = h.LzLength();

  // Eight long copies and their control byte, 25 bytes, give 32768 bytes at most: a stream
  // too short for the picture is refused before anything is allocated for it.
  if (lzLength / 32768 > packed.size() / 25 + 1) {
    return Fail(error, "the packed stream of " + std::to_string(packed.size()) +
                           " bytes cannot hold a picture of " + std::to_string(lzLength) +
                           " bytes");
  }
  std::vector<uint8_t> lzOut(lzLength + kSlack);
  if (!UnpackLz(packed, lzOut.data(), lzLength, error)) return false;
  std::vector<uint8_t> expanded;
  uint8_t* pixels = lzOut.data();
  if (twoStage) {
    expanded.resize(unpacked + kSlack);
    if (!ExpandRuns({lzOut.data(), lzLength}, expanded.data(), unpacked, error)) return false;
    pixels = expanded.data();
  }
  if (h.flags & kGraDelta) UndoDelta(pixels, unpacked);

  if (out.Width() != h.width || out.Height() != h.height) out.Resize(h.width, h.height);
  const size_t rowBytes = size_t{h.width} * 3;
  for (int y = 0; y < h.height; ++y) {
    std::memcpy(out.Row(y), pixels + y * rowBytes, rowBytes);
  }
  return true;
}

bool DecodeJpeg(std::span<const uint8_t> bytes, Surface& out, std::string* error) {
  auto job = std::make_unique<JpegJob>();
  if (!RunJpegDecode(*job, bytes, false)) return Fail(error, job->message);
  out = std::move(job->picture);
  return true;
}

bool ReadJpegSize(std::span<const uint8_t> bytes, int& width, int& height, std::string* error) {
  auto job = std::make_unique<JpegJob>();
  if (!RunJpegDecode(*job, bytes, true)) return Fail(error, job->message);
  width = static_cast<int>(job->cinfo.image_width);
  height = static_cast<int>(job->cinfo.image_height);
  return true;
}

// PictureLoader -----------------------------------------------------------------------------

bool PictureLoader::PictureExists(const char* name) const {
  if (!name) return false;
  if (archives_.gjp.Find(name) >= 0) return true;
  for (const ResourceArchive& a : archives_.gra) {
    if (a.Find(name) >= 0) return true;
  }
  return false;
}

// The index's size of a GRA entry says nothing: its header's packed length decides how much is
// read, up to the end of the file.
bool PictureLoader::ReadGraEntry(const ResourceArchive& archive, int entry, std::string* error) {
  GraHeader h;
  if (!archive.ReadFromEntryStart(entry, kGraHeaderSize, entryBytes_)) {
    return Fail(error, "cannot read the GRA header");
  }
  if (!ReadGraHeader(entryBytes_, h, error)) return false;
  if (!archive.ReadFromEntryStart(entry, kGraHeaderSize + h.StreamLength(), entryBytes_)) {
    return Fail(error, "cannot read the packed stream");
  }
  return true;
}

bool PictureLoader::LoadPicture(const char* name, Surface& bitmap) {
  if (!name) return false;
  // A JPEG hides a GRA picture of the same name, a later picture archive the earlier ones.
  const ResourceArchive* archive = nullptr;
  int entry = archives_.gjp.Find(name);
  if (entry >= 0) {
    archive = &archives_.gjp;
  } else {
    for (int k = 2; k >= 0 && !archive; --k) {
      entry = archives_.gra[k].Find(name);
      if (entry >= 0) archive = &archives_.gra[k];
    }
  }
  if (!archive) return false;

  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->archive != archive || it->entry != entry) continue;
    bitmap = it->picture;
    std::rotate(it, it + 1, kept_.end());
    return true;
  }

  entryBytes_.clear();
  std::string error;
  bool ok = false;
  if (archive == &archives_.gjp) {
    if (!archive->Read(entry, entryBytes_)) return false;
    ok = DecodeJpeg(entryBytes_, bitmap, &error);
  } else {
    ok = ReadGraEntry(*archive, entry, &error) && DecodeGraPicture(entryBytes_, bitmap, &error);
  }
  entryBytes_.clear();
  if (!ok) {
    LogMessage(archive->FileName() + ": picture " + SjisToUtf8(UpperSjis(name)) +
               " not shown: " + error);
    return false;
  }
  const auto bytes = [](const Surface& p) {
    return static_cast<size_t>(p.Stride()) * static_cast<size_t>(p.Height());
  };
  if (bytes(bitmap) <= kKeptBytes / 4) {
    kept_.push_back({archive, entry, bitmap});
    size_t held = 0;
    for (const KeptPicture& k : kept_) held += bytes(k.picture);
    while (held > kKeptBytes) {
      held -= bytes(kept_.front().picture);
      kept_.erase(kept_.begin());
    }
  }
  return true;
}

}  // namespace zorvel
