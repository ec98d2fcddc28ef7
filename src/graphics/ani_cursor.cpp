#include "graphics/ani_cursor.h"

#include <algorithm>
#include <cstring>

#include "resources/byte_reader.h"

namespace zorvel {

namespace {

constexpr uint32_t kIconFrames = 1;    // anih flag: frames are ICO/CUR files
constexpr uint32_t kSequenceFlag = 2;  // anih flag: a "seq " chunk orders the steps
constexpr size_t kAnihSize = 36;
constexpr size_t kBitmapHeaderSize = 40;
constexpr int kMaxIconEntries = 256;
// A step of more than an hour is a damaged rate, not a slow cursor.
constexpr uint64_t kLongestStepMs = 3600 * 1000;

bool Tag(std::span<const uint8_t> id, const char (&name)[5]) {
  return std::memcmp(id.data(), name, 4) == 0;
}

std::string TagText(std::span<const uint8_t> id) {
  std::string s;
  for (const uint8_t c : id) s.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  return s;
}

int32_t Signed(uint32_t v) {
  return static_cast<int32_t>(v);
}

bool Fail(std::string& error, std::string message) {
  error = std::move(message);
  return false;
}

uint32_t Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 |
         static_cast<uint32_t>(g) << 8 | b;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
  out.insert(out.end(), tag, tag + 4);
}

// Decodes the bitmap of one icon picture (header, palette, colour rows, AND mask).
bool ReadIconBitmap(std::span<const uint8_t> image, CursorFrame& out, int& bitCount,
                    std::string& error) {
  if (image.size() >= 8 && image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' &&
      image[3] == 'G') {
    return Fail(error, "its picture is PNG-compressed, which cursors here do not use");
  }
  ByteReader r(image);
  uint32_t headerSize = 0, rawWidth = 0, rawHeight = 0, compression = 0, sizeImage = 0;
  uint32_t xppm = 0, yppm = 0, coloursUsed = 0, important = 0;
  uint16_t planes = 0, bits = 0;
  if (!r.U32le(headerSize) || !r.U32le(rawWidth) || !r.U32le(rawHeight) || !r.U16le(planes) ||
      !r.U16le(bits) || !r.U32le(compression) || !r.U32le(sizeImage) || !r.U32le(xppm) ||
      !r.U32le(yppm) || !r.U32le(coloursUsed) || !r.U32le(important)) {
    return Fail(error,
                "its picture header is cut short (" + std::to_string(image.size()) + " bytes)");
  }
  if (headerSize < kBitmapHeaderSize || headerSize > image.size()) {
    return Fail(error, "its picture header size " + std::to_string(headerSize) +
                           " does not fit the " + std::to_string(image.size()) + " bytes");
  }
  const int32_t width = Signed(rawWidth);
  const int32_t doubled = Signed(rawHeight);
  if (width < 1 || width > kMaxCursorSide || doubled < 2 || doubled > 2 * kMaxCursorSide ||
      doubled % 2 != 0) {
    return Fail(error, "its picture is " + std::to_string(width) + " x " + std::to_string(doubled) +
                           " (colour and mask, 1 to " + std::to_string(kMaxCursorSide) +
                           " a side, are expected)");
  }
  if (compression != 0) {
    return Fail(error, "its picture is compressed (kind " + std::to_string(compression) + ")");
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Fail(error, "its picture has " + std::to_string(bits) +
                           " bits a pixel (1, 4, 8, 24 or 32 are read)");
  }
  const int height = doubled / 2;
  size_t pos = headerSize;
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    const uint32_t most = 1u << bits;
    const uint32_t count = coloursUsed == 0 ? most : coloursUsed;
    if (count > most) {
      return Fail(error, "its palette claims " + std::to_string(count) + " colours for " +
                             std::to_string(bits) + "-bit pixels");
    }
    if (image.size() - pos < size_t{count} * 4) return Fail(error, "its palette is cut short");
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = image.data() + pos + size_t{i} * 4;
      palette.push_back(Argb(255, p[2], p[1], p[0]));
    }
    pos += size_t{count} * 4;
  }
  const size_t colourStride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
  const size_t colourBytes = colourStride * static_cast<size_t>(height);
  const size_t maskBytes = maskStride * static_cast<size_t>(height);
  if (image.size() - pos < colourBytes) {
    return Fail(error, "its colour rows are cut short (" + std::to_string(colourBytes) +
                           " bytes needed, " + std::to_string(image.size() - pos) + " there)");
  }
  const uint8_t* colour = image.data() + pos;
  pos += colourBytes;
  // A 32-bit picture with an alpha channel may leave its AND mask out; every other needs it.
  const bool hasMask = image.size() - pos >= maskBytes;
  if (!hasMask && bits != 32) {
    return Fail(error, "its AND mask is cut short (" + std::to_string(maskBytes) +
                           " bytes needed, " + std::to_string(image.size() - pos) + " there)");
  }
  const uint8_t* mask = hasMask ? image.data() + pos : nullptr;

  CursorFrame frame;
  frame.width = width;
  frame.height = height;
  frame.argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    // Rows are stored from the bottom up.
    const uint8_t* row = colour + colourStride * static_cast<size_t>(height - 1 - y);
    uint32_t* dest = frame.argb.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      uint32_t px = 0;
      if (bits == 32) {
        const uint8_t* p = row + static_cast<size_t>(x) * 4;
        px = Argb(p[3], p[2], p[1], p[0]);
        anyAlpha |= p[3] != 0;
      } else if (bits == 24) {
        const uint8_t* p = row + static_cast<size_t>(x) * 3;
        px = Argb(255, p[2], p[1], p[0]);
      } else {
        const size_t bit = static_cast<size_t>(x) * bits;
        const uint8_t byte = row[bit / 8];
        const uint32_t index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        // An index past the palette reads as black rather than as memory past it.
        px = index < palette.size() ? palette[index] : Argb(255, 0, 0, 0);
      }
      dest[x] = px;
    }
  }
  // Without alpha (or a 32-bit picture whose alpha is all zero) the AND mask says what shows.
  // Pixels the mask marks are transparent; the screen inversion they may ask for is not shown.
  if (mask != nullptr && (bits != 32 || !anyAlpha)) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = mask + maskStride * static_cast<size_t>(height - 1 - y);
      uint32_t* dest = frame.argb.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int x = 0; x < width; ++x) {
        const bool clear = (row[x / 8] >> (7 - x % 8)) & 1;
        dest[x] = clear ? 0 : (dest[x] | 0xFF000000u);
      }
    }
  }
  bitCount = bits;
  out = std::move(frame);
  return true;
}

}  // namespace

bool ReadIconFile(std::span<const uint8_t> bytes, CursorFrame& out, int& bitCount,
                  std::string& error) {
  ByteReader r(bytes);
  uint16_t reserved = 0, type = 0, count = 0;
  if (!r.U16le(reserved) || !r.U16le(type) || !r.U16le(count)) {
    return Fail(error, "it is too short for an icon directory (" + std::to_string(bytes.size()) +
                           " bytes)");
  }
  if (reserved != 0 || (type != 1 && type != 2)) {
    return Fail(error, "it is no icon or cursor file (kind " + std::to_string(type) + ")");
  }
  if (count < 1 || count > kMaxIconEntries) {
    return Fail(error, "its directory lists " + std::to_string(count) + " pictures");
  }
  int best = -1;
  uint64_t bestArea = 0;
  uint32_t bestOffset = 0, bestSize = 0;
  int bestHotX = 0, bestHotY = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t w = 0, h = 0, colours = 0, res = 0;
    uint16_t hotX = 0, hotY = 0;
    uint32_t size = 0, offset = 0;
    if (!r.U8(w) || !r.U8(h) || !r.U8(colours) || !r.U8(res) || !r.U16le(hotX) || !r.U16le(hotY) ||
        !r.U32le(size) || !r.U32le(offset)) {
      return Fail(error, "its directory of " + std::to_string(count) + " pictures is cut short");
    }
    if (uint64_t{offset} + size > bytes.size() || size < kBitmapHeaderSize) {
      return Fail(error, "picture " + std::to_string(i) + " lies at " + std::to_string(offset) +
                             " with " + std::to_string(size) + " bytes, outside the " +
                             std::to_string(bytes.size()) + "-byte file");
    }
    // A side of 0 in the directory means 256.
    const uint64_t area = uint64_t{w == 0 ? 256u : w} * (h == 0 ? 256u : h);
    if (best < 0 || area > bestArea) {
      best = i;
      bestArea = area;
      bestOffset = offset;
      bestSize = size;
      bestHotX = hotX;
      bestHotY = hotY;
    }
  }
  CursorFrame frame;
  if (!ReadIconBitmap(bytes.subspan(bestOffset, bestSize), frame, bitCount, error)) return false;
  if (type == 2) {
    frame.hotX = std::clamp(bestHotX, 0, frame.width - 1);
    frame.hotY = std::clamp(bestHotY, 0, frame.height - 1);
  }
  out = std::move(frame);
  return true;
}

bool ReadAniCursor(std::span<const uint8_t> bytes, CursorAnimation& out, std::string& error,
                   AniHeader* headerOut) {
  ByteReader r(bytes);
  std::span<const uint8_t> riff, form;
  uint32_t riffSize = 0;
  if (!r.Bytes(4, riff) || !r.U32le(riffSize) || !r.Bytes(4, form) || !Tag(riff, "RIFF") ||
      !Tag(form, "ACON")) {
    return Fail(error, "not an animated cursor (no RIFF ACON header)");
  }
  if (riffSize < 4 || uint64_t{riffSize} + 8 > bytes.size()) {
    return Fail(error, "the RIFF header says " + std::to_string(riffSize) +
                           " bytes follow, the file holds " +
                           std::to_string(bytes.size() < 8 ? 0 : bytes.size() - 8));
  }
  AniHeader header;
  bool haveHeader = false;
  std::vector<std::span<const uint8_t>> icons;

  // Walks the chunks of [begin, end): each an id, a length and its bytes, padded to even.
  auto walk = [&](std::span<const uint8_t> area, auto&& onChunk) -> bool {
    ByteReader c(area);
    while (c.Remaining() > 0) {
      std::span<const uint8_t> id, data;
      uint32_t size = 0;
      if (!c.Bytes(4, id) || !c.U32le(size)) {
        return Fail(error, "a chunk header is cut short at byte " + std::to_string(c.Position()));
      }
      if (size > c.Remaining()) {
        return Fail(error, "chunk \"" + TagText(id) + "\" says " + std::to_string(size) +
                               " bytes, only " + std::to_string(c.Remaining()) + " follow");
      }
      c.Bytes(size, data);
      if (size % 2 != 0 && c.Remaining() > 0) c.Skip(1);
      if (!onChunk(id, data)) return false;
    }
    return true;
  };
  auto readList = [&](std::span<const uint8_t> data, std::vector<uint32_t>& list,
                      const char* what) {
    if (data.size() % 4 != 0 || data.size() / 4 > kMaxCursorSteps) {
      return Fail(error, std::string("the \"") + what + "\" chunk has " +
                             std::to_string(data.size()) + " bytes");
    }
    list.clear();
    for (size_t i = 0; i < data.size(); i += 4) list.push_back(LoadLe32(data, i));
    return true;
  };
  const bool walked = walk(bytes.subspan(12, riffSize - 4), [&](std::span<const uint8_t> id,
                                                                std::span<const uint8_t> data) {
    if (Tag(id, "anih")) {
      if (data.size() < kAnihSize) {
        return Fail(
            error, "the \"anih\" header has " + std::to_string(data.size()) + " bytes (36 needed)");
      }
      header.frames = LoadLe32(data, 4);
      header.steps = LoadLe32(data, 8);
      header.width = LoadLe32(data, 12);
      header.height = LoadLe32(data, 16);
      header.bitCount = LoadLe32(data, 20);
      header.displayRate = LoadLe32(data, 28);
      header.flags = LoadLe32(data, 32);
      haveHeader = true;
      return true;
    }
    if (Tag(id, "rate")) {
      header.hasRate = true;
      return readList(data, header.rates, "rate");
    }
    if (Tag(id, "seq ")) {
      header.hasSequence = true;
      return readList(data, header.sequence, "seq ");
    }
    if (Tag(id, "LIST") && data.size() >= 4 && Tag(data.subspan(0, 4), "fram")) {
      return walk(
          data.subspan(4), [&](std::span<const uint8_t> sub, std::span<const uint8_t> icon) {
            if (!Tag(sub, "icon")) return true;
            if (icons.size() >= static_cast<size_t>(kMaxCursorFrames)) {
              return Fail(error,
                          "it holds more than " + std::to_string(kMaxCursorFrames) + " pictures");
            }
            icons.push_back(icon);
            return true;
          });
    }
    return true;
  });
  if (!walked) return false;
  if (!haveHeader) return Fail(error, "it has no \"anih\" header");
  if ((header.flags & kIconFrames) == 0) {
    return Fail(error, "its frames are raw bitmaps, not icon pictures");
  }
  if (header.frames < 1 || header.frames > static_cast<uint32_t>(kMaxCursorFrames)) {
    return Fail(error, "its header counts " + std::to_string(header.frames) + " frames");
  }
  if (icons.size() < header.frames) {
    return Fail(error, "its header counts " + std::to_string(header.frames) +
                           " frames, its \"fram\" list holds " + std::to_string(icons.size()));
  }
  const bool sequenced = header.hasSequence || (header.flags & kSequenceFlag) != 0;
  uint32_t steps = header.steps;
  if (steps == 0 && !sequenced) steps = header.frames;
  if (steps < 1 || steps > static_cast<uint32_t>(kMaxCursorSteps)) {
    return Fail(error, "its header counts " + std::to_string(header.steps) + " steps");
  }
  if (sequenced) {
    if (header.sequence.size() < steps) {
      return Fail(error, "its \"seq \" chunk orders " + std::to_string(header.sequence.size()) +
                             " of its " + std::to_string(steps) + " steps");
    }
    for (uint32_t i = 0; i < steps; ++i) {
      if (header.sequence[i] >= header.frames) {
        return Fail(error, "step " + std::to_string(i) + " shows frame " +
                               std::to_string(header.sequence[i]) + " of " +
                               std::to_string(header.frames));
      }
    }
  } else if (steps > header.frames) {
    return Fail(error, "it has " + std::to_string(steps) + " steps but only " +
                           std::to_string(header.frames) + " frames and no \"seq \" chunk");
  }
  if (header.hasRate && header.rates.size() < steps) {
    return Fail(error, "its \"rate\" chunk times " + std::to_string(header.rates.size()) +
                           " of its " + std::to_string(steps) + " steps");
  }

  CursorAnimation animation;
  for (uint32_t i = 0; i < header.frames; ++i) {
    CursorFrame frame;
    int bits = 0;
    std::string why;
    if (!ReadIconFile(icons[i], frame, bits, why)) {
      return Fail(error, "frame " + std::to_string(i) + ": " + why);
    }
    header.frameBits.push_back(static_cast<uint32_t>(bits));
    animation.frames.push_back(std::move(frame));
  }
  for (uint32_t i = 0; i < steps; ++i) {
    // A step of no time would spin; it shows for one jiffy.
    const uint64_t jiffies =
        std::max<uint32_t>(1, header.hasRate ? header.rates[i] : header.displayRate);
    const uint64_t ms = std::min(jiffies * 1000 / kJiffiesPerSecond, kLongestStepMs);
    animation.steps.push_back(
        {static_cast<int>(sequenced ? header.sequence[i] : i), static_cast<uint32_t>(ms)});
  }
  header.steps = steps;
  if (headerOut != nullptr) *headerOut = std::move(header);
  out = std::move(animation);
  return true;
}

bool WriteAniCursor(const std::vector<CursorFrame>& frames, uint32_t rateJiffies,
                    std::vector<uint8_t>& out, std::string& error) {
  if (frames.empty()) return Fail(error, "no frames");
  if (frames.size() > static_cast<size_t>(kMaxCursorFrames)) {
    return Fail(error, std::to_string(frames.size()) + " frames (at most " +
                           std::to_string(kMaxCursorFrames) + ")");
  }
  if (rateJiffies < 1) return Fail(error, "a rate of 0 jiffies");
  const int w = frames[0].width;
  const int h = frames[0].height;
  if (w < 1 || h < 1 || w > kMaxCursorSide || h > kMaxCursorSide) {
    return Fail(error, "frames of " + std::to_string(w) + " x " + std::to_string(h) + " (1 to " +
                           std::to_string(kMaxCursorSide) + " a side)");
  }
  std::vector<std::vector<uint8_t>> icons;
  for (size_t i = 0; i < frames.size(); ++i) {
    const CursorFrame& f = frames[i];
    if (f.width != w || f.height != h) {
      return Fail(error, "frame " + std::to_string(i) + " is " + std::to_string(f.width) + " x " +
                             std::to_string(f.height) + ", the first is " + std::to_string(w) +
                             " x " + std::to_string(h));
    }
    if (f.argb.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) {
      return Fail(error, "frame " + std::to_string(i) + " lacks pixels");
    }
    if (f.hotX < 0 || f.hotY < 0 || f.hotX >= w || f.hotY >= h) {
      return Fail(error, "the hot spot " + std::to_string(f.hotX) + "," + std::to_string(f.hotY) +
                             " lies outside the " + std::to_string(w) + " x " + std::to_string(h) +
                             " frame");
    }
    const size_t maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
    const uint32_t imageSize =
        static_cast<uint32_t>(kBitmapHeaderSize + size_t{4} * w * h + maskStride * h);
    std::vector<uint8_t> icon;
    Put16(icon, 0);
    Put16(icon, 2);  // a cursor: its directory holds the hot spot
    Put16(icon, 1);
    icon.push_back(static_cast<uint8_t>(w == 256 ? 0 : w));
    icon.push_back(static_cast<uint8_t>(h == 256 ? 0 : h));
    icon.push_back(0);
    icon.push_back(0);
    Put16(icon, static_cast<uint32_t>(f.hotX));
    Put16(icon, static_cast<uint32_t>(f.hotY));
    Put32(icon, imageSize);
    Put32(icon, 22);
    Put32(icon, kBitmapHeaderSize);
    Put32(icon, static_cast<uint32_t>(w));
    Put32(icon, static_cast<uint32_t>(2 * h));
    Put16(icon, 1);
    Put16(icon, 32);
    Put32(icon, 0);
    Put32(icon, imageSize - kBitmapHeaderSize);
    for (int k = 0; k < 4; ++k) Put32(icon, 0);
    for (int y = h - 1; y >= 0; --y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t px = f.argb[static_cast<size_t>(y) * w + x];
        icon.push_back(static_cast<uint8_t>(px));
        icon.push_back(static_cast<uint8_t>(px >> 8));
        icon.push_back(static_cast<uint8_t>(px >> 16));
        icon.push_back(static_cast<uint8_t>(px >> 24));
      }
    }
    for (int y = h - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskStride, 0);
      for (int x = 0; x < w; ++x) {
        if ((f.argb[static_cast<size_t>(y) * w + x] >> 24) < 128) {
          row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
      icon.insert(icon.end(), row.begin(), row.end());
    }
    icons.push_back(std::move(icon));
  }

  std::vector<uint8_t> body;
  PutTag(body, "ACON");
  PutTag(body, "anih");
  Put32(body, kAnihSize);
  Put32(body, kAnihSize);
  Put32(body, static_cast<uint32_t>(frames.size()));
  Put32(body, static_cast<uint32_t>(frames.size()));
  Put32(body, static_cast<uint32_t>(w));
  Put32(body, static_cast<uint32_t>(h));
  Put32(body, 32);
  Put32(body, 1);
  Put32(body, rateJiffies);
  Put32(body, kIconFrames);
  std::vector<uint8_t> list;
  PutTag(list, "fram");
  for (const std::vector<uint8_t>& icon : icons) {
    PutTag(list, "icon");
    Put32(list, static_cast<uint32_t>(icon.size()));
    list.insert(list.end(), icon.begin(), icon.end());
    if (icon.size() % 2 != 0) list.push_back(0);
  }
  PutTag(body, "LIST");
  Put32(body, static_cast<uint32_t>(list.size()));
  body.insert(body.end(), list.begin(), list.end());
  out.clear();
  PutTag(out, "RIFF");
  Put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return true;
}

}  // namespace zorvel
