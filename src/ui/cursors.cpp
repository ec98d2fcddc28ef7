#include "ui/cursors.h"

#include <cstdio>

#include "core/variable_banks.h"
#include "graphics/ani_cursor.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/commands.h"

namespace zorvel {

namespace {

constexpr int kMeterOn = 4;          // S004
constexpr int kMeterSelector = 800;  // V800: the meter shows V[800 + V800]
constexpr int kParamMeterImageWidth = 2 * kParamMeterWidth;
constexpr int kBlinks = 5;
constexpr int kBlinkPeriod = 100;
// Cursor files are a few kilobytes; a larger one is not read into memory.
constexpr uint64_t kLargestCursorFile = 4u << 20;

}  // namespace

Cursors::Cursors(EngineState& state, Screen& screen, PictureLoader& pictures, FrameClock& clock,
                 Platform& platform, std::string gameDir)
    : s_(state),
      screen_(screen),
      pictures_(pictures),
      clock_(clock),
      platform_(platform),
      gameDir_(std::move(gameDir)),
      meterWork_(kParamMeterWidth, kParamMeterHeight) {}

void Cursors::Register(CommandTable& table) {
  table.Register(kChgprm, [this](const char* arg) { return Chgprm(arg); });
}

void Cursors::LoadCursorsAndMeter() {
  for (int n = 1; n <= kMapCursorCount; ++n) LoadCursor(n);

  Surface meter;
  if (!pictures_.LoadPicture("sys_meter", meter)) return;
  if (meter.Width() < kParamMeterImageWidth ||
      meter.Height() < kParamMeterImages * kParamMeterHeight) {
    LogMessage("sys_meter is " + std::to_string(meter.Width()) + " x " +
               std::to_string(meter.Height()) +
               ", not eleven 240 x 95 images above each other; "
               "the images it lacks show nothing");
  }
  for (int k = 0; k < kParamMeterImages; ++k) {
    if (meter.Width() < kParamMeterImageWidth || meter.Height() < (k + 1) * kParamMeterHeight)
      break;
    Surface& image = meterImages_[static_cast<size_t>(k)];
    image.Resize(kParamMeterImageWidth, kParamMeterHeight);
    CopyView(image, meter, 0, int64_t{k} * kParamMeterHeight);
  }
}

void Cursors::LoadCursor(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "MSCUR%02d.ani", n);
  // Games made on Windows spell the folder and files as they like; the usual spellings are
  // tried in turn.
  std::string path;
  char lower[32];
  std::snprintf(lower, sizeof lower, "mscur%02d.ani", n);
  char upper[32];
  std::snprintf(upper, sizeof upper, "MSCUR%02d.ANI", n);
  for (const char* dir : {"icon", "ICON", "Icon"}) {
    for (const char* file : {name, lower, upper}) {
      const std::string candidate = JoinPath(JoinPath(gameDir_, dir), file);
      if (FileExists(candidate)) {
        path = candidate;
        break;
      }
    }
    if (!path.empty()) break;
  }
  // Most games have no map cursors at all.
  if (path.empty()) return;
  const std::string shown = std::string("icon/") + name;
  const std::optional<uint64_t> size = FileSize(path);
  if (!size || *size > kLargestCursorFile) {
    LogMessage(shown + ": refused: " +
               (size ? std::to_string(*size) + " bytes is no cursor" : ReadProblem(path)) +
               "; the default arrow shows for map cursor " + std::to_string(n));
    return;
  }
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes) {
    LogMessage(shown + ": cannot be read: " + ReadProblem(path));
    return;
  }
  CursorAnimation animation;
  std::string error;
  if (!ReadAniCursor(*bytes, animation, error)) {
    LogMessage(shown + ": refused: " + error + "; the default arrow shows for map cursor " +
               std::to_string(n));
    return;
  }
  platform_.RegisterCursor(n + kFirstMapCursorNumber - 1, animation);
  loaded_[static_cast<size_t>(n)] = true;
}

std::vector<int> Cursors::LoadedCursors() const {
  std::vector<int> out;
  for (int n = 1; n <= kMapCursorCount; ++n) {
    if (loaded_[static_cast<size_t>(n)]) out.push_back(n);
  }
  return out;
}

void Cursors::SetMapCursor(int n) {
  if (n < 1 || n > kMapCursorCount) n = 0;
  if (n == mapCursor_) return;
  mapCursor_ = n;
  platform_.ShowCursor(n == 0 ? 0 : n + kFirstMapCursorNumber - 1);
}

int32_t* Cursors::MeterVariable() {
  const int64_t index = int64_t{kMeterSelector} + s_.vars.V[kMeterSelector];
  if (index < 0 || index >= static_cast<int64_t>(s_.vars.V.size())) return nullptr;
  return &s_.vars.V[static_cast<size_t>(index)];
}

int Cursors::MeterValue() const {
  const int64_t index = int64_t{kMeterSelector} + s_.vars.V[kMeterSelector];
  if (index < 0 || index >= static_cast<int64_t>(s_.vars.V.size())) return 0;
  const int32_t v = s_.vars.V[static_cast<size_t>(index)];
  return v >= 0 && v < kParamMeterImages ? v : 0;
}

void Cursors::DrawMeter(int mode) {
  meterShown_ = 0;
  if (s_.vars.S[kMeterOn] == 0 || s_.vars.V[kMeterSelector] == 0) return;
  CopyView(meterWork_, screen_.sceneSurface, kParamMeterLeft, kParamMeterTop);
  const int k = MeterValue();
  meterShown_ = k;
  const Surface& image = meterImages_[static_cast<size_t>(k)];
  if (!image.Empty()) DrawMaskedPair(meterWork_, 0, 0, image);
  Paste(screen_.screenSurface, meterWork_, kParamMeterLeft, kParamMeterTop);
  if (mode == 1) {
    platform_.PresentRect(screen_.screenSurface, kParamMeterLeft, kParamMeterTop, kParamMeterWidth,
                          kParamMeterHeight);
  }
}

int Cursors::Chgprm(const char*) {
  const int a = MeterValue();
  const int b = meterShown_;
  if (a == b) return 1;
  int32_t* variable = MeterVariable();
  // The blinks show the old and the new picture; the variable keeps the value the script gave
  // it, also one the meter cannot show.
  const int32_t kept = variable ? *variable : 0;
  const bool wasBusy = s_.busy;
  s_.busy = true;
  clock_.StartFrameClock();
  for (int i = 0; i < kBlinks; ++i) {
    for (const int shown : {b, a}) {
      if (variable) *variable = shown;
      DrawMeter(1);
      clock_.WaitFrames(kBlinkPeriod);
    }
  }
  if (variable) *variable = kept;
  s_.busy = wasBusy;
  return 1;
}

}  // namespace zorvel
