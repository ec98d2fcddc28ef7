#include "ui/hidden_window.h"

#include <array>
#include <cstring>

#include "graphics/picture.h"
#include "platform/files.h"
#include "resources/byte_reader.h"

namespace zorvel {

namespace {

constexpr char kPanicFile[] = "panic.bmp";
constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;

bool Refuse(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

}  // namespace

bool DecodeBmp(std::span<const uint8_t> bytes, Surface& out, std::string* error) {
  ByteReader r(bytes);
  uint8_t b = 0;
  uint8_t m = 0;
  uint32_t fileSize = 0;
  uint32_t reserved = 0;
  uint32_t pixelOffset = 0;
  uint32_t headerSize = 0;
  if (!r.U8(b) || !r.U8(m) || b != 'B' || m != 'M') return Refuse(error, "not a bitmap file");
  if (!r.U32le(fileSize) || !r.U32le(reserved) || !r.U32le(pixelOffset) || !r.U32le(headerSize)) {
    return Refuse(error, "cut short in its header");
  }
  int64_t width = 0;
  int64_t height = 0;
  uint16_t planes = 0;
  uint16_t bits = 0;
  uint32_t compression = kUncompressed;
  uint32_t coloursUsed = 0;
  size_t paletteEntrySize = 4;
  if (headerSize == kCoreHeaderSize) {
    uint16_t w = 0;
    uint16_t h = 0;
    if (!r.U16le(w) || !r.U16le(h) || !r.U16le(planes) || !r.U16le(bits)) {
      return Refuse(error, "cut short in its header");
    }
    width = w;
    height = h;
    paletteEntrySize = 3;
  } else if (headerSize >= kInfoHeaderSize) {
    uint32_t w = 0;
    uint32_t h = 0;
    uint32_t skipped = 0;
    if (!r.U32le(w) || !r.U32le(h) || !r.U16le(planes) || !r.U16le(bits) || !r.U32le(compression) ||
        !r.U32le(skipped) || !r.U32le(skipped) || !r.U32le(skipped) || !r.U32le(coloursUsed)) {
      return Refuse(error, "cut short in its header");
    }
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
  } else {
    return Refuse(error, "has an unknown header size");
  }
  if (compression != kUncompressed) return Refuse(error, "is compressed");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    return Refuse(error, "has a pixel depth other than 1, 4, 8, 24 or 32 bits");
  }
  // A negative height stores the rows top first.
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxPanicSide || height > kMaxPanicSide) {
    return Refuse(error, "has a size of 0 or beyond 4096 pixels");
  }

  std::array<std::array<uint8_t, 3>, 256> palette{};
  if (bits <= 8) {
    const uint32_t entries = coloursUsed == 0 ? 1u << bits : std::min(coloursUsed, 256u);
    ByteReader p(bytes);
    if (!p.Skip(kFileHeaderSize + headerSize)) return Refuse(error, "cut short in its palette");
    for (uint32_t i = 0; i < entries; ++i) {
      std::span<const uint8_t> entry;
      if (!p.Bytes(paletteEntrySize, entry)) return Refuse(error, "cut short in its palette");
      palette[i] = {entry[0], entry[1], entry[2]};
    }
  }

  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  if (pixelOffset > bytes.size() ||
      stride * static_cast<uint64_t>(height) > bytes.size() - pixelOffset) {
    return Refuse(error, "cut short in its pixels");
  }
  // Every row read below lies inside `bytes`: checked once above.
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  Surface picture(w, h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bytes.data() + pixelOffset + stride * static_cast<uint64_t>(y);
    uint8_t* to = picture.Row(topDown ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      if (bits == 24) {
        std::memcpy(to + x * 3, row + x * 3, 3);
      } else if (bits == 32) {
        std::memcpy(to + x * 3, row + x * 4, 3);
      } else {
        const int bit = x * bits;
        const int shift = 8 - bits - bit % 8;
        const int index = (row[bit / 8] >> shift) & ((1 << bits) - 1);
        std::memcpy(to + x * 3, palette[static_cast<size_t>(index)].data(), 3);
      }
    }
  }
  out = std::move(picture);
  return true;
}

HiddenWindow::HiddenWindow(EngineState& state, Screen& screen, Platform& platform,
                           std::string gameDir, HiddenWindowHooks hooks)
    : s_(state),
      screen_(screen),
      platform_(platform),
      gameDir_(std::move(gameDir)),
      hooks_(std::move(hooks)) {}

// Hidden window -------------------------------------------------------------------------------

void HiddenWindow::HideWindow() {
  if (s_.vars.S[kSaveAllowed] == 0 || s_.screenMode != 0) return;
  s_.toolbarLocked = true;
  hooks_.updateToolbar();
  keptWindow_ = screen_.screenSurface;
  platform_.Present(screen_.sceneSurface);
  s_.screenMode = 1;
}

void HiddenWindow::ShowWindow() {
  if (s_.screenMode != 1) return;
  screen_.screenSurface = keptWindow_;
  platform_.Present(screen_.screenSurface);
  keptWindow_ = Surface();
  s_.screenMode = 0;
  s_.toolbarLocked = false;
  hooks_.drawQuickBar();
  hooks_.updateToolbar();
}

// Panic picture -------------------------------------------------------------------------------

void HiddenWindow::LoadPanicPicture(Surface& out) {
  out.Resize(kScreenWidth, kScreenHeight);
  out.Fill(0, 0, 0);
  const std::string path = JoinPath(gameDir_, kPanicFile);
  if (!FileExists(path)) {
    LogMessage(std::string(kPanicFile) + " is missing beside the game; the panic picture is black");
    return;
  }
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    LogMessage(path + " cannot be read (" + ReadProblem(path) + "); the panic picture is black");
    return;
  }
  Surface picture;
  std::string why;
  if (!DecodeBmp(*bytes, picture, &why)) {
    LogMessage(path + " " + why + "; the panic picture is black");
    return;
  }
  // The picture is shown at the game area's size: cut off past it, black where it falls short.
  CopyView(out, picture, 0, 0);
}

void HiddenWindow::ShowPanic() {
  if (s_.panicActive) return;
  // Everything that follows cannot fail: a picture that cannot be read shows black, so the
  // sound is never muted without the picture or the picture shown with the sound on.
  muted_ = true;
  hooks_.mute(true);
  keptPanic_ = screen_.screenSurface;
  LoadPanicPicture(screen_.screenSurface);
  lockedBeforePanic_ = s_.toolbarLocked;
  s_.toolbarLocked = true;
  hooks_.updateToolbar();
  platform_.Present(screen_.screenSurface);
  s_.panicActive = true;
  busyBeforePanic_ = s_.busy;
  s_.busy = true;
  hooks_.stopVoice();
}

void HiddenWindow::RemovePanic() {
  if (!s_.panicActive) return;
  muted_ = false;
  hooks_.mute(false);
  screen_.screenSurface = keptPanic_;
  keptPanic_ = Surface();
  // Under the panic the window may have been hidden: that picture comes back, not the window.
  platform_.Present(s_.screenMode == 1 ? screen_.sceneSurface : screen_.screenSurface);
  s_.panicActive = false;
  // The screen under the panic (a rewind, the hidden window) keeps its own locks.
  s_.busy = busyBeforePanic_;
  s_.toolbarLocked = lockedBeforePanic_;
  hooks_.updateToolbar();
}

}  // namespace zorvel
