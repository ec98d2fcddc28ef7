#include "graphics/effects.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "graphics/pixel_ops.h"
#include "script/commands.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr int kFlagRegister = 19;
constexpr int kMarkX = 32;
constexpr int kMarkY = 33;
constexpr int kMaxPairs = 100;
constexpr int kMaxWaits = 99;
constexpr int kSprmvFrameMs = 30;
constexpr int kMaxGroups = 4;
// Where the positions of the g-character arrangement start (centre x; top y is 10 further).
constexpr int kArrangementBase[kMaxGroups + 1] = {0, 80, 81, 83, 86};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::string> SplitCommas(std::string_view text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    fields.emplace_back(Trim(text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

bool IsNumber(std::string_view field) {
  size_t i = 0;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) ++i;
  return i < field.size() && field[i] >= '0' && field[i] <= '9';
}

int32_t Number(const std::string& field) {
  return ReadDecimal(field.c_str());
}

// A digit or letter d gives d x 16, "G" full, anything else nothing.
int ColourLevel(char c) {
  if (c >= '0' && c <= '9') return (c - '0') * 16;
  if (c >= 'A' && c <= 'F') return (c - 'A' + 10) * 16;
  if (c == 'G') return 255;
  return 0;
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

// ---- SplitParams -------------------------------------------------------------------------------

int SplitParams(const char* text, ParamFields& out) {
  out.text.fill(std::string());
  out.value.fill(kNotANumber);
  if (text == nullptr || *text == 0) return 0;
  int field = 0;
  int separators = 0;
  bool inField = false;
  for (const char* p = text; *p != 0; ++p) {
    const char c = *p;
    if (c == ',' || c == ':') {
      ++separators;
      ++field;
      inField = false;
      continue;
    }
    if (!inField && (c == ' ' || c == '\t')) continue;
    inField = true;
    if (field < kParamFields && out.text[field].size() < kParamFieldChars) {
      out.text[field].push_back(c);
    }
  }
  for (int i = 0; i < kParamFields; ++i) {
    const std::string& t = out.text[i];
    if (t.empty()) continue;
    const int32_t v = ReadDecimal(t.c_str());
    if (v != 0 || t[0] == '0') out.value[i] = v;
  }
  return separators + 1;
}

// ---- The "effect" script -----------------------------------------------------------------------

std::vector<EffectStep> ParseEffectBlock(const std::vector<uint8_t>& script, const char* name,
                                         std::string* error) {
  std::vector<EffectStep> steps;
  std::string label(1, ':');
  label.append(UpperSjis(std::string(Trim(name ? name : ""))));
  const auto note = [error](const std::string& what) {
    if (error != nullptr && error->empty()) *error = what;
  };
  const auto wait = [&](const std::string& field) {
    if (!IsNumber(field))
      note("effect " + label.substr(1) + ": wait \"" + field + "\" is no number");
    return std::max<int32_t>(0, Number(field));
  };
  const auto add = [&steps](EffectStep step) {
    if (steps.size() < kEffectSteps) steps.push_back(step);
  };

  bool inBlock = false;
  size_t pos = 0;
  const size_t size = script.size();
  while (pos < size) {
    size_t end = pos;
    while (end < size && script[end] != 0 && script[end] != '\n' && script[end] != '\r') ++end;
    const std::string line =
        UpperSjis(std::string_view(reinterpret_cast<const char*>(script.data()) + pos, end - pos));
    pos = end + 1;
    if (!inBlock) {
      inBlock = Trim(line) == label;
      continue;
    }
    if (!line.empty() && line[0] == ':') break;
    if (line.empty() || (line[0] != 'F' && line[0] != 'N' && line[0] != 'S')) continue;
    const std::vector<std::string> f = SplitCommas(line);
    const auto field = [&f](size_t i) -> const std::string& {
      static const std::string kEmpty;
      return i < f.size() ? f[i] : kEmpty;
    };
    if (line[0] == 'F') {
      for (int k = 0; k < kMaxPairs; ++k) {
        const std::string& code = field(2 * k);
        if (code.empty() || code[0] != 'F') break;
        EffectStep step;
        step.ms = wait(field(2 * k + 1));
        if (code.size() == 1) {
          step.kind = EffectStep::kShow;
        } else if (code.size() == 4 || code.size() == 5) {
          step.kind = code.size() == 4 ? EffectStep::kFill : EffectStep::kTint;
          step.x =
              (ColourLevel(code[1]) << 16) | (ColourLevel(code[2]) << 8) | ColourLevel(code[3]);
          if (code.size() == 5) step.y = ColourLevel(code[4]);
        }
        add(step);
      }
    } else if (line[0] == 'N') {
      for (int k = 1; k <= kMaxWaits && !field(k).empty(); ++k) {
        EffectStep step;
        step.kind = (k % 2 == 1) ? EffectStep::kNegative : EffectStep::kShow;
        step.ms = wait(field(k));
        add(step);
      }
    } else {
      const int32_t ms = wait(field(1));
      for (int k = 0; k < kMaxWaits; ++k) {
        const std::string& dx = field(2 + 2 * k);
        const std::string& dy = field(3 + 2 * k);
        if (dx.empty() || dy.empty()) break;
        if (!IsNumber(dx) || !IsNumber(dy))
          note("effect offset \"" + dx + "," + dy + "\" is no number");
        add(EffectStep{EffectStep::kOffset, ms, Number(dx), Number(dy)});
      }
    }
  }
  return steps;
}

// ---- Argument parsers --------------------------------------------------------------------------

BgAnimArgs ParseBgAnimArgs(const char* arg) {
  BgAnimArgs a;
  const std::vector<std::string> f = SplitCommas(UpperSjis(arg ? arg : ""));
  const auto field = [&f](size_t i) -> const std::string& {
    static const std::string kEmpty;
    return i < f.size() ? f[i] : kEmpty;
  };
  if (field(0) == "END") {
    a.form = BgAnimArgs::Form::kEnd;
    return a;
  }
  if (field(0) == "RELEASE") {
    a.form = BgAnimArgs::Form::kRelease;
    return a;
  }
  const bool offsets = field(0) == "OFS";
  a.form = offsets ? BgAnimArgs::Form::kOffsets : BgAnimArgs::Form::kPictures;
  const std::string& speed = field(offsets ? 1 : 0);
  a.speedBad = !IsNumber(speed);
  // The idle pass tests its counter against the speed: below 1 it would never (or always) match.
  a.speed = std::max<int32_t>(1, Number(speed));
  const size_t first = offsets ? 2 : 1;
  if (field(first).empty()) {
    a.speedOnly = true;
    return a;
  }
  if (!offsets) {
    for (int i = 0; i < kAnimationSlots; ++i) {
      const std::string& name = field(first + i);
      if (name.empty()) break;
      if (name[0] == '#' || name[0] == '>') {
        a.hasSequence = true;
        a.playOnce = name[0] == '>';
        for (size_t k = 1; k < name.size() && a.sequence.size() < kSequenceLength; ++k) {
          const char c = name[k];
          if (c >= '0' && c <= '9') {
            a.sequence.push_back(c - '0');
          } else if (c >= 'A' && c <= 'Z') {
            a.sequence.push_back(c - 'A' + 10);
          } else {
            break;
          }
        }
        break;
      }
      a.names.push_back(name);
    }
  } else {
    for (int i = 0; i < kAnimationSlots; ++i) {
      const std::string& level = field(first + 3 * i);
      if (level.empty()) break;
      if (level[0] == '#') {
        a.hasSequence = true;
        for (size_t k = 1; k < level.size() && a.sequence.size() < kSequenceLength; ++k) {
          a.sequence.push_back(static_cast<unsigned char>(level[k]) - '0');
        }
        break;
      }
      a.offsets.push_back(
          {Number(level), Number(field(first + 3 * i + 1)), Number(field(first + 3 * i + 2))});
    }
  }
  return a;
}

bool ParseSprmvArgs(const char* arg, SprmvArgs& out) {
  out = SprmvArgs{};
  ParamFields p;
  const int n = SplitParams(arg, p);
  if (n == 0) return false;
  if (n == 1) {
    out.init = EqualsIgnoreCaseSjis(Trim(arg), "INIT");
    return out.init;
  }
  if (n % 4 != 0) return false;
  const int groups = n / 4;
  out.droppedGroups = std::max(0, groups - kMaxGroups);
  for (int i = 0; i < std::min(groups, kMaxGroups); ++i) {
    SprmvGroup g;
    g.name = std::string(Trim(p.text[4 * i]));
    g.xGiven = p.value[4 * i + 1] != kNotANumber;
    g.yGiven = p.value[4 * i + 2] != kNotANumber;
    g.x = p.value[4 * i + 1];
    g.y = p.value[4 * i + 2];
    g.frames = p.value[4 * i + 3] == kNotANumber ? 0 : p.value[4 * i + 3];
    out.groups.push_back(std::move(g));
  }
  return true;
}

// ---- Effects -----------------------------------------------------------------------------------

Effects::Effects(Screen& screen, EngineState& state, const GameConfig& config,
                 const Settings& settings, FrameClock& clock, Platform& platform, EffectHooks hooks)
    : screen_(screen),
      s_(state),
      config_(config),
      settings_(settings),
      clock_(clock),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Effects::Register(CommandTable& table) {
  table.Register(kEffect, [this](const char* arg) { return Effect(arg); });
  table.Register(kBgAnim, [this](const char* arg) { return BgAnim(arg); });
  table.Register(kManpu, [this](const char* arg) { return Manpu(arg); });
  table.Register(kSprmv, [this](const char* arg) { return Sprmv(arg); });
}

void Effects::Reset(const char* how) {
  if (how != nullptr && EqualsIgnoreCaseSjis(how, "INIT")) hooks_.resetPositions();
}

void Effects::ReportNumber(const char* what, const std::string& field) {
  hooks_.reportError(std::string(what) + ": \"" + SjisToUtf8(field) + "\" is no number");
}

Effects::Rect Effects::WindowRect() const {
  return {config_.TXW_OFS_X, config_.TXW_OFS_Y, std::clamp(config_.TXW_SIZE_X, 0, kScreenWidth),
          std::clamp(config_.TXW_SIZE_Y, 0, kScreenHeight)};
}

void Effects::ShowAt(const Surface& picture, int64_t x, int64_t y) {
  if (stage_.Width() != kScreenWidth || stage_.Height() != kScreenHeight) {
    stage_.Resize(kScreenWidth, kScreenHeight);
  }
  Paste(stage_, picture, x, y);
  const int64_t x0 = std::max<int64_t>(0, x);
  const int64_t y0 = std::max<int64_t>(0, y);
  const int64_t x1 = std::min<int64_t>(kScreenWidth, x + picture.Width());
  const int64_t y1 = std::min<int64_t>(kScreenHeight, y + picture.Height());
  if (x0 < x1 && y0 < y1) {
    platform_.PresentRect(stage_, static_cast<int>(x0), static_cast<int>(y0),
                          static_cast<int>(x1 - x0), static_cast<int>(y1 - y0));
  }
}

// ---- effect ------------------------------------------------------------------------------------

int Effects::Effect(const char* arg) {
  const std::vector<uint8_t>* script = hooks_.loadConfigScript("effect");
  if (script == nullptr) return 1;
  std::string error;
  const std::vector<EffectStep> steps = ParseEffectBlock(*script, arg, &error);
  if (!error.empty()) hooks_.reportError(error);
  if (!steps.empty()) PlaySteps(steps);
  return 1;
}

void Effects::PlaySteps(const std::vector<EffectStep>& steps) {
  int left0 = 0;
  int top0 = 0;
  platform_.WindowPosition(left0, top0);
  clock_.StartFrameClock();
  Surface& work = screen_.workSurface;
  const Surface& screen = screen_.screenSurface;
  bool negativeMade = false;
  for (const EffectStep& step : steps) {
    const uint8_t r = static_cast<uint8_t>(step.x >> 16);
    const uint8_t g = static_cast<uint8_t>(step.x >> 8);
    const uint8_t b = static_cast<uint8_t>(step.x);
    switch (step.kind) {
      case EffectStep::kOffset:
        platform_.ShakeTo(left0, top0, step.x, step.y);
        break;
      case EffectStep::kShow:
        platform_.Present(screen);
        break;
      case EffectStep::kFill:
        if (stage_.Width() != kScreenWidth || stage_.Height() != kScreenHeight) {
          stage_.Resize(kScreenWidth, kScreenHeight);
        }
        stage_.Fill(r, g, b);
        platform_.Present(stage_);
        break;
      case EffectStep::kTint:
        TintStep(r, g, b, step.y);
        negativeMade = false;
        break;
      case EffectStep::kNegative:
        if (!negativeMade) {
          work.Resize(screen.Width(), screen.Height());
          const size_t bytes = static_cast<size_t>(screen.Width()) * 3;
          for (int y = 0; y < screen.Height(); ++y) {
            const uint8_t* from = screen.Row(y);
            uint8_t* to = work.Row(y);
            for (size_t i = 0; i < bytes; ++i) to[i] = static_cast<uint8_t>(255 - from[i]);
          }
          negativeMade = true;
        }
        platform_.Present(work);
        break;
      case EffectStep::kWait:
        break;
    }
    clock_.WaitFrames(step.ms);
  }
  platform_.Present(screen);
  platform_.EndShake(left0, top0);
}

void Effects::TintStep(uint8_t r, uint8_t g, uint8_t b, int level) {
  // The crossfade from the screen toward a picture of one colour, blended against a single row
  // of that colour: the same bytes as crossfading with a filled picture, at one pass a frame.
  const Surface& screen = screen_.screenSurface;
  Surface& work = screen_.workSurface;
  const int width = screen.Width();
  if (work.Width() != width || work.Height() != screen.Height()) {
    work.Resize(width, screen.Height());
  }
  const size_t bytes = static_cast<size_t>(width) * 3;
  tintRow_.resize(bytes + 8);
  for (size_t i = 0; i + 2 < tintRow_.size(); i += 3) {
    tintRow_[i] = b;
    tintRow_[i + 1] = g;
    tintRow_[i + 2] = r;
  }
  const int a = std::clamp(level, 0, 256);
  const int groups = static_cast<int>(bytes / 8);
  const size_t done = static_cast<size_t>(groups) * 8;
  for (int y = 0; y < screen.Height(); ++y) {
    const uint8_t* u = screen.Row(y);
    uint8_t* out = work.Row(y);
    BlendConstant(out, u, tintRow_.data(), a, groups);
    for (size_t i = done; i < bytes; ++i) {
      out[i] = static_cast<uint8_t>((u[i] * (256 - a) + tintRow_[i] * a) >> 8);
    }
  }
  platform_.Present(work);
}

// ---- bg_anim -----------------------------------------------------------------------------------

void Effects::CreateSlot(int i) {
  Slot& slot = slots_[i];
  if (!slot.created) {
    frames_[i].Resize(kScreenWidth, kScreenHeight);
    slot.created = true;
    slot.name.clear();
  }
  const Rect w = WindowRect();
  if (windowPictures_[i].Width() != w.w || windowPictures_[i].Height() != w.h) {
    windowPictures_[i].Resize(w.w, w.h);
  }
  if (cleanAreas_[i].Width() != w.w || cleanAreas_[i].Height() != w.h) {
    cleanAreas_[i].Resize(w.w, w.h);
  }
  createdSlots_ = 0;
  for (const Slot& s : slots_) createdSlots_ += s.created ? 1 : 0;
}

void Effects::KeepCleanArea(int i) {
  const Rect w = WindowRect();
  CopyView(cleanAreas_[i], frames_[i], w.x, w.y);
}

int Effects::BuildPictureFrames(const BgAnimArgs& a) {
  const Rect w = WindowRect();
  int made = 0;
  for (const std::string& name : a.names) {
    const int i = made++;
    CreateSlot(i);
    if (slots_[i].name == name) {
      // The frame still holds the window it was last shown with.
      Paste(frames_[i], cleanAreas_[i], w.x, w.y);
      continue;
    }
    Surface picture;
    if (!hooks_.loadPicture(name.c_str(), picture)) continue;
    if (picture.Width() == kScreenWidth && picture.Height() == kScreenHeight) {
      frames_[i] = std::move(picture);
    } else {
      CopyView(frames_[i], picture, 0, 0);
    }
    KeepCleanArea(i);
    slots_[i].name = name;
  }
  return made;
}

int Effects::BuildOffsetFrames(const BgAnimArgs& a) {
  const Surface& screen = screen_.screenSurface;
  int made = 0;
  for (const BgAnimArgs::Offset& o : a.offsets) {
    const int i = made++;
    CreateSlot(i);
    Surface& frame = frames_[i];
    CopyView(frame, screen, 0, 0);
    Paste(frame, screen, o.dx, o.dy);
    const int64_t dx = o.dx;
    const int64_t dy = o.dy;
    const int level = std::clamp(o.level, 0, 256);
    if (level != 0 && screen.Width() == kScreenWidth && screen.Height() == kScreenHeight &&
        dx > -kScreenWidth && dx < kScreenWidth) {
      const int adx = static_cast<int>(dx < 0 ? -dx : dx);
      // The result goes from column |DX| on, u is read from those same columns and v from
      // column 0 of the shifted row. With DX < 0 the first |DX| columns would read v left of
      // the picture, and as many at the right edge lose their partner: both keep the shifted
      // copy.
      const int outColumn = adx;
      const int vColumn = 0;
      const int pixels = dx >= 0 ? kScreenWidth - adx : kScreenWidth - 2 * adx;
      for (int y = 0; y < kScreenHeight && pixels > 0; ++y) {
        const int64_t vy = y + dy;
        if (vy < 0 || vy >= kScreenHeight) continue;
        BlendRows(frame.Row(y) + outColumn * 3, screen.Row(y) + outColumn * 3,
                  screen.Row(static_cast<int>(vy)) + vColumn * 3, pixels, level);
      }
    }
    slots_[i].created = true;
    KeepCleanArea(i);
  }
  return made;
}

void Effects::ShowFrame(int frame) {
  platform_.Present(frames_[frame]);
}

int Effects::BgAnim(const char* arg) {
  s_.busy = true;
  const BgAnimArgs a = ParseBgAnimArgs(arg);
  if (a.form == BgAnimArgs::Form::kEnd || a.form == BgAnimArgs::Form::kRelease) {
    EndAnimation(a.form == BgAnimArgs::Form::kRelease);
    s_.busy = false;
    return 0;
  }
  if (a.speedBad) {
    const std::vector<std::string> f = SplitCommas(UpperSjis(arg ? arg : ""));
    ReportNumber("bg_anim speed", f.size() > (a.form == BgAnimArgs::Form::kOffsets ? 1u : 0u)
                                      ? f[a.form == BgAnimArgs::Form::kOffsets ? 1 : 0]
                                      : std::string());
  }
  speed_ = a.speed;
  if (a.speedOnly) {
    s_.busy = false;
    return 0;
  }
  framesInUse_ = 0;
  sequenceLength_ = 0;
  for (int i = 0; i < kSequenceLength; ++i) sequence_[i] = static_cast<uint8_t>(i);
  s_.windowPictureValid = false;
  const int made =
      a.form == BgAnimArgs::Form::kPictures ? BuildPictureFrames(a) : BuildOffsetFrames(a);
  if (a.hasSequence) {
    // Entries that name no frame made here are passed over.
    for (const int frame : a.sequence) {
      if (frame >= 0 && frame < made) sequence_[sequenceLength_++] = static_cast<uint8_t>(frame);
    }
  } else {
    sequenceLength_ = made;
  }

  if (a.form == BgAnimArgs::Form::kPictures && a.playOnce) {
    clock_.StartFrameClock();
    const int period = Clamp32(int64_t{speed_} * kSprmvFrameMs);
    for (int64_t k = 0; k < sequenceLength_;) {
      shownFrame_ = sequence_[k];
      ShowFrame(shownFrame_);
      k += clock_.WaitFrames(period);
    }
    framesInUse_ = 0;
    s_.textWindowOn = false;
    s_.busy = false;
    return 0;
  }
  if (sequenceLength_ == 0) {
    // A sequence of nothing but frames that were not made: the frames in order instead.
    for (int i = 0; i < made; ++i) sequence_[i] = static_cast<uint8_t>(i);
    sequenceLength_ = made;
  }
  framesInUse_ = made;
  frameOnScreen_ = false;
  hooks_.updateToolbar();
  if (framesInUse_ > 0) hooks_.buildScreen();
  s_.busy = false;
  return 0;
}

void Effects::EndAnimation(bool release) {
  const Rect w = WindowRect();
  const int last = shownFrame_;
  const bool haveLast = last >= 0 && last < kAnimationSlots && slots_[last].created &&
                        frames_[last].Width() == kScreenWidth &&
                        frames_[last].Height() == kScreenHeight;
  Surface clean;
  if (haveLast) {
    clean = frames_[last];
    Paste(clean, cleanAreas_[last], w.x, w.y);
  }
  // The window and text drawn into the frames go, so a later run starts from clean frames.
  for (int i = 0; i < framesInUse_; ++i) Paste(frames_[i], cleanAreas_[i], w.x, w.y);
  framesInUse_ = 0;
  if (haveLast) {
    if (!release) {
      screen_.backgroundSurface = clean;
      CopyField(s_.backgroundName, kNameSize, slots_[last].name);
    }
    // The frame shown last stays on screen: the window about to be opened is built over it,
    // not over the scene from before the animation.
    screen_.sceneSurface = clean;
    screen_.screenSurface = clean;
  }
  if (release && settings_.MemorySaveMode != 0) {
    for (int i = 0; i < kAnimationSlots; ++i) {
      slots_[i] = Slot{};
      frames_[i] = Surface();
      windowPictures_[i] = Surface();
      cleanAreas_[i] = Surface();
    }
    createdSlots_ = 0;
  }
  s_.windowPictureValid = false;
  hooks_.buildWindowPicture();
  hooks_.openTextPage();
  hooks_.updateToolbar();
  if (haveLast && s_.screenMode == 0) platform_.Present(screen_.screenSurface);
}

void Effects::BackgroundAnimationPass(unsigned idleCount) {
  if (framesInUse_ == 0) return;
  if (idleCount % static_cast<unsigned>(std::max<int32_t>(1, speed_)) == 0) {
    AdvanceBackgroundAnimation();
  }
}

void Effects::AdvanceBackgroundAnimation() {
  if (framesInUse_ == 0 || sequenceLength_ == 0) return;
  position_ += 1;
  if (position_ >= sequenceLength_ || position_ < 0) position_ = 0;
  const int frame = sequence_[position_];
  if (frame >= framesInUse_) return;
  shownFrame_ = frame;
  frameOnScreen_ = true;
  if (s_.screenMode == 0) {
    ShowFrame(frame);
  } else if (s_.screenMode == 1) {
    const Rect w = WindowRect();
    screen_.screenSurface = frames_[frame];
    Paste(screen_.screenSurface, cleanAreas_[frame], w.x, w.y);
    platform_.Present(screen_.screenSurface);
  }
}

BackgroundFrames Effects::Frames() {
  BackgroundFrames f;
  if (framesInUse_ == 0) return f;
  const auto n = static_cast<size_t>(framesInUse_);
  f.frames = std::span<Surface>(frames_.data(), n);
  f.windowPictures = std::span<Surface>(windowPictures_.data(), n);
  f.cleanAreas = std::span<const Surface>(cleanAreas_.data(), n);
  if (s_.screenMode == 0 && frameOnScreen_ && shownFrame_ >= 0 && shownFrame_ < framesInUse_) {
    f.shown = &frames_[shownFrame_];
  }
  return f;
}

// ---- manpu -------------------------------------------------------------------------------------

int Effects::Manpu(const char* arg) {
  ParamFields p;
  const int n = SplitParams(arg, p);
  if (n == 0) return 0;
  // A mark already up goes before the new one is drawn, or it would stay on the window.
  EraseMark();
  Surface picture;
  if (hooks_.loadPicture(std::string(Trim(p.text[0])).c_str(), picture)) {
    markPicture_ = std::move(picture);
  }
  markWidth_ = markPicture_.Width() / 2;
  markHeight_ = markPicture_.Height();
  if (markWidth_ <= 0 || markHeight_ <= 0) return 0;
  auto& S = s_.vars.S;
  if (n >= 2 && p.value[1] != kNotANumber) markMode_ = p.value[1];
  if (n >= 3) {
    if (p.value[2] != kNotANumber) S[kMarkX] = p.value[2];
    if (p.value[3] != kNotANumber) S[kMarkY] = p.value[3];
  }
  markX_ = S[kMarkX];
  markY_ = S[kMarkY];
  markSaved_.Resize(markWidth_, markHeight_);
  CopyView(markSaved_, screen_.sceneSurface, markX_, markY_);
  markPlain_ = markSaved_;
  markMarked_ = markSaved_;
  DrawMaskedPair(markMarked_, 0, 0, markPicture_);
  markShown_ = true;
  ShowAt(markMarked_, markX_, markY_);
  if (markMode_ == 1) Paste(screen_.screenSurface, markMarked_, markX_, markY_);
  return 0;
}

void Effects::EffectTick() {
  tickCounter_ += 1;
  if (!markShown_ || markMode_ != 2) return;
  if ((tickCounter_ & 3) != 0) return;
  ShowAt((tickCounter_ & 4) != 0 ? markMarked_ : markPlain_, markX_, markY_);
}

void Effects::EraseMark() {
  if (!markShown_) return;
  markShown_ = false;
  ShowAt(markSaved_, markX_, markY_);
}

// ---- sprmv -------------------------------------------------------------------------------------

int Effects::Sprmv(const char* arg) {
  SprmvArgs a;
  s_.windowPictureValid = false;
  if (!ParseSprmvArgs(arg, a)) return 1;
  if (a.init) {
    hooks_.resetPositions();
    return 1;
  }
  if (a.droppedGroups > 0) {
    hooks_.reportError("sprmv: " + std::to_string(a.droppedGroups) +
                       " groups past the fourth are ignored");
  }
  // The scene under a mark is about to move: the mark (and its blink) go first, or the blink
  // would keep drawing the old scene over the characters.
  EraseMark();
  hooks_.closeMessageWindow();
  const int g = static_cast<int>(a.groups.size());
  const int base = kArrangementBase[g];
  auto& S = s_.vars.S;
  struct Move {
    int64_t x0, y0, x1, y1;
    int64_t frames;
  };
  std::vector<Move> moves;
  std::string spec;
  for (int i = 0; i < g; ++i) {
    const SprmvGroup& group = a.groups[i];
    Move m{S[base + i], S[base + 10 + i], group.x, group.y, group.frames};
    // A target that is no number keeps the character where it stands on that axis.
    if (!group.xGiven) m.x1 = m.x0;
    if (!group.yGiven) m.y1 = m.y0;
    moves.push_back(m);
    if (i > 0) spec += ",";
    spec += group.name;
  }
  CopyField(s_.characterSpec, sizeof s_.characterSpec, spec);
  hooks_.loadCharacters(spec.c_str());

  s_.busy = true;
  s_.animating = true;
  s_.closeRequest = 0;
  clock_.StartFrameClock();
  int64_t t = 0;
  int64_t longest = 0;
  for (const Move& m : moves) longest = std::max(longest, m.frames);
  for (;;) {
    bool moving = false;
    for (int i = 0; i < g; ++i) {
      const Move& m = moves[i];
      int64_t x = m.x0;
      int64_t y = m.y0;
      if (m.frames != 0) {
        if (t < m.frames) {
          x = m.x0 + (m.x1 - m.x0) * t / m.frames;
          y = m.y0 + (m.y1 - m.y0) * t / m.frames;
          moving = true;
        } else {
          x = m.x1;
          y = m.y1;
        }
      }
      S[base + i] = Clamp32(x);
      S[base + 10 + i] = Clamp32(y);
    }
    if (s_.closeRequest != 0 && moving) {
      // A click: every character at its target at once (the frames between are not drawn).
      t = longest;
      continue;
    }
    if (s_.closeRequest != 0) S[kFlagRegister] = 1;
    hooks_.composeScene();
    platform_.Present(screen_.sceneSurface);
    if (!moving) break;
    t += clock_.WaitFrames(kSprmvFrameMs);
  }
  screen_.screenSurface = screen_.sceneSurface;
  // The window opens again with the next text over the scene as it is now, not as it was.
  s_.windowPictureValid = false;
  hooks_.buildWindowPicture();
  s_.busy = false;
  s_.animating = false;
  if (s_.closeRequest == 1) s_.closeRequest = 0;
  return 1;
}

}  // namespace zorvel
