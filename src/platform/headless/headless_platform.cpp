#include "platform/headless/headless_platform.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "audio/mixer.h"
#include "platform/controller.h"
#include "platform/files.h"
#include "platform/png_writer.h"

namespace zorvel {

namespace {

std::string Lower(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word;
}

// Names are matched in any letter case: "enter", "ENTER" and "Enter" are one key.
bool ParseKey(const std::string& givenName, Key& key, char& ch) {
  const std::string name = givenName.size() == 1 ? givenName : Lower(givenName);
  static const struct {
    const char* name;
    Key key;
    char ch;
  } kNamed[] = {
      {"enter", Key::kEnter, '\r'},
      {"space", Key::kSpace, ' '},
      {"escape", Key::kEscape, 27},
      {"tab", Key::kTab, '\t'},
      {"backspace", Key::kBackspace, '\b'},
      {"up", Key::kUp, 0},
      {"down", Key::kDown, 0},
      {"left", Key::kLeft, 0},
      {"right", Key::kRight, 0},
      {"shift", Key::kShift, 0},
      {"ctrl", Key::kCtrl, 0},
      {"printscreen", Key::kPrintScreen, 0},
  };
  for (const auto& k : kNamed) {
    if (name == k.name) {
      key = k.key;
      ch = k.ch;
      return true;
    }
  }
  if (name.size() >= 2 && name[0] == 'f') {
    int n = 0;
    for (size_t i = 1; i < name.size(); ++i) {
      // Past F12 already: a long run of digits must not overflow the number.
      if (name[i] < '0' || name[i] > '9' || n > 12) return false;
      n = n * 10 + (name[i] - '0');
    }
    if (n < 1 || n > 12) return false;
    key = static_cast<Key>(static_cast<int>(Key::kF1) + n - 1);
    ch = 0;
    return true;
  }
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    key = Key::kCharacter;
    ch = name[0];
    return true;
  }
  return false;
}

bool ParseButton(const std::string& givenWord, MouseButton& button) {
  const std::string word = Lower(givenWord);
  if (word == "left") {
    button = MouseButton::kLeft;
  } else if (word == "right") {
    button = MouseButton::kRight;
  } else if (word == "middle") {
    button = MouseButton::kMiddle;
  } else {
    return false;
  }
  return true;
}

bool ParseInt(const std::string& word, int64_t& value) {
  if (word.empty()) return false;
  size_t i = word[0] == '-' ? 1 : 0;
  if (i == word.size()) return false;
  value = 0;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9' || value > 100000000) return false;
    value = value * 10 + (word[i] - '0');
  }
  if (word[0] == '-') value = -value;
  return true;
}

}  // namespace

bool ParseEvents(const std::string& text, std::vector<TimedEvent>& out, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  int pointerX = 0;
  int pointerY = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    auto fail = [&](const std::string& why) {
      error = "events line " + std::to_string(number) + ": " + why;
      return false;
    };
    int64_t ms = 0;
    if (!ParseInt(w[0], ms) || ms < 0) return fail("time must be a number of milliseconds");
    if (w.size() < 2) return fail("missing verb");
    const std::string verb = Lower(w[1]);
    TimedEvent e;
    e.ms = static_cast<uint32_t>(ms);
    InputEvent& in = e.input;
    auto xy = [&](size_t at) {
      int64_t x = 0;
      int64_t y = 0;
      if (w.size() <= at + 1 || !ParseInt(w[at], x) || !ParseInt(w[at + 1], y)) return false;
      in.x = static_cast<int>(std::clamp<int64_t>(x, 0, 799));
      // Negative rows are the tool bar strip above the game area.
      in.y = static_cast<int>(std::clamp<int64_t>(y, -24, 599));
      pointerX = in.x;
      pointerY = in.y;
      return true;
    };
    if (verb == "pad") {
      // A controller button at the last pointer position of the file; pressed and let go
      // unless "down" or "up" says which.
      PadButton button{};
      if (w.size() < 3 || !ParsePadButton(w[2], button)) return fail("pad needs a button");
      const std::string phase = w.size() > 3 ? Lower(w[3]) : std::string();
      if (!phase.empty() && phase != "down" && phase != "up") return fail("pad takes down or up");
      for (const bool down : {true, false}) {
        if ((down && phase == "up") || (!down && phase == "down")) continue;
        for (const InputEvent& input : PadEvents(button, down, pointerX, pointerY)) {
          e.input = input;
          out.push_back(e);
        }
      }
      continue;
    }
    if (verb == "text") {
      // Typed or composed text for the interface layer: the rest of the line.
      const size_t at = line.find(w[1]) + w[1].size();
      const size_t start = line.find_first_not_of(" \t", at);
      if (start == std::string::npos) return fail("text needs the text");
      in.kind = InputEvent::Kind::kTextInput;
      in.text = line.substr(start);
      out.push_back(e);
      continue;
    }
    if (verb == "compose") {
      // An input method's composition so far; without text, the composition ends.
      const size_t at = line.find(w[1]) + w[1].size();
      const size_t start = line.find_first_not_of(" \t", at);
      in.kind = InputEvent::Kind::kTextEditing;
      in.text = start == std::string::npos ? std::string() : line.substr(start);
      out.push_back(e);
      continue;
    }
    if (verb == "fullscreen") {
      in.kind = InputEvent::Kind::kToggleFullScreen;
      out.push_back(e);
      continue;
    }
    if (verb == "click") {
      if (!xy(2)) return fail("click needs X Y");
      if (w.size() > 4 && !ParseButton(w[4], in.button)) return fail("unknown button " + w[4]);
      in.kind = InputEvent::Kind::kMouseDown;
      out.push_back(e);
      e.input.kind = InputEvent::Kind::kMouseUp;
      out.push_back(e);
      continue;
    }
    if (verb == "press" || verb == "release") {
      if (!xy(2) || w.size() < 5 || !ParseButton(w[4], in.button)) {
        return fail(verb + " needs X Y BUTTON");
      }
      in.kind = verb == "press" ? InputEvent::Kind::kMouseDown : InputEvent::Kind::kMouseUp;
    } else if (verb == "move") {
      if (!xy(2)) return fail("move needs X Y");
      in.kind = InputEvent::Kind::kMouseMove;
    } else if (verb == "wheel") {
      int64_t delta = 0;
      if (w.size() < 3 || !ParseInt(w[2], delta)) return fail("wheel needs DELTA");
      in.kind = InputEvent::Kind::kWheel;
      in.delta = static_cast<int>(delta);
    } else if (verb == "key" || verb == "keydown" || verb == "keyup") {
      if (w.size() < 3 || !ParseKey(w[2], in.key, in.ch)) {
        return fail("unknown key " + (w.size() > 2 ? w[2] : std::string()));
      }
      if (verb != "keyup") {
        in.kind = InputEvent::Kind::kKeyDown;
        out.push_back(e);
        if (in.ch != 0) {
          e.input.kind = InputEvent::Kind::kKeyChar;
          out.push_back(e);
        }
      }
      if (verb != "keydown") {
        e.input.kind = InputEvent::Kind::kKeyUp;
        out.push_back(e);
      }
      continue;
    } else if (verb == "focus") {
      // The window gains or loses the keyboard focus (another application comes to the front).
      const std::string state = w.size() < 3 ? std::string() : Lower(w[2]);
      if (state != "on" && state != "off") return fail("focus needs on or off");
      in.kind = InputEvent::Kind::kFocus;
      in.delta = state == "on" ? 1 : 0;
    } else if (verb == "close") {
      in.kind = InputEvent::Kind::kClose;
    } else if (verb == "msgbox") {
      const std::string answer = w.size() < 3 ? std::string() : Lower(w[2]);
      if (answer != "ok" && answer != "cancel") return fail("msgbox needs ok or cancel");
      e.verb = TimedEvent::Verb::kMessageBox;
      e.answerOk = answer == "ok";
    } else if (verb == "screenshot" || verb == "dump") {
      if (w.size() < 3) return fail(verb + " needs FILE");
      e.verb = verb == "dump" ? TimedEvent::Verb::kDump : TimedEvent::Verb::kScreenshot;
      // The file name is the rest of the line, so it may contain blanks.
      const size_t at = line.find(w[1]) + w[1].size();
      e.file = line.substr(line.find_first_not_of(" \t", at));
      while (!e.file.empty() &&
             (e.file.back() == ' ' || e.file.back() == '\t' || e.file.back() == '\r')) {
        e.file.pop_back();
      }
    } else {
      return fail("unknown verb " + verb);
    }
    out.push_back(e);
  }
  return true;
}

namespace {

void PutLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The canonical 44-byte header of 16-bit PCM.
std::array<uint8_t, 44> WavHeader(uint32_t rate, uint64_t frames) {
  const uint32_t data =
      static_cast<uint32_t>(std::min<uint64_t>(frames * 4, uint64_t{0xFFFFFFFF} - 36));
  std::array<uint8_t, 44> h{};
  std::memcpy(h.data(), "RIFF", 4);
  PutLe(h.data() + 4, 36 + data, 4);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  PutLe(h.data() + 16, 16, 4);
  PutLe(h.data() + 20, 1, 2);
  PutLe(h.data() + 22, 2, 2);
  PutLe(h.data() + 24, rate, 4);
  PutLe(h.data() + 28, rate * 4, 4);
  PutLe(h.data() + 32, 4, 2);
  PutLe(h.data() + 34, 16, 2);
  std::memcpy(h.data() + 36, "data", 4);
  PutLe(h.data() + 40, data, 4);
  return h;
}

}  // namespace

void HeadlessPlatform::Sleep(uint32_t ms) {
  Flush();
  // Only screenshots are taken here: input and dumps wait for the engine to ask for them, as a
  // window's messages wait in its queue while the program sleeps.
  const uint64_t end = uint64_t{now_} + ms;
  for (size_t i = next_; i < events_.size() && events_[i].ms < end;) {
    if (events_[i].verb == TimedEvent::Verb::kScreenshot && events_[i].ms >= now_) {
      WriteScreenshot(events_[i].file);
      events_.erase(events_.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  now_ += ms;
  PullAudio(ms);
}

void HeadlessPlatform::WriteScreenshot(const std::string& file) {
  KeepPromise();
  Flush();
  Surface shown;
  ShownPicture(shown);
  WritePng(file, shown);
}

bool HeadlessPlatform::OpenAudio(Mixer& mixer) {
  if (!audioOutput_) return false;
  mixer.SetDeviceRate(audioRate_);
  mixer_ = &mixer;
  return true;
}

void HeadlessPlatform::CloseAudio() {
  mixer_ = nullptr;
}

void HeadlessPlatform::PullAudio(uint32_t ms) {
  if (mixer_ == nullptr && wav_ == nullptr) return;
  // Whole frames per sleep; the fraction carries over so the count never drifts from the clock.
  const uint64_t due = static_cast<uint64_t>(audioRate_) * ms + audioRemainder_;
  uint64_t frames = due / 1000;
  audioRemainder_ = due % 1000;
  while (frames > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, kPullFrames));
    if (mixer_ != nullptr) {
      mixer_->Mix(pull_.data(), n);
    } else {
      std::fill(pull_.begin(), pull_.begin() + 2 * n, int16_t{0});
    }
    if (keepAudio_) kept_.insert(kept_.end(), pull_.begin(), pull_.begin() + 2 * n);
    if (wav_ != nullptr && !wavFailed_) {
      uint8_t bytes[4 * kPullFrames];
      for (size_t i = 0; i < 2 * n; ++i) PutLe(bytes + 2 * i, static_cast<uint16_t>(pull_[i]), 2);
      if (std::fwrite(bytes, 4, n, wav_) != n) wavFailed_ = true;
      wavFrames_ += n;
    }
    frames -= n;
  }
}

bool HeadlessPlatform::SetAudioOut(const std::string& path, std::string& error) {
  wav_ = std::fopen(path.c_str(), "wb");
  if (wav_ == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  wavPath_ = path;
  wavFrames_ = 0;
  wavFailed_ = false;
  const auto header = WavHeader(static_cast<uint32_t>(audioRate_), 0);
  if (std::fwrite(header.data(), 1, header.size(), wav_) != header.size()) wavFailed_ = true;
  return true;
}

bool HeadlessPlatform::FinishAudioOut() {
  if (wav_ == nullptr) return true;
  const auto header = WavHeader(static_cast<uint32_t>(audioRate_), wavFrames_);
  bool ok = !wavFailed_ && std::fseek(wav_, 0, SEEK_SET) == 0 &&
            std::fwrite(header.data(), 1, header.size(), wav_) == header.size();
  ok = std::fclose(wav_) == 0 && ok;
  wav_ = nullptr;
  if (!ok) LogMessage("cannot write " + wavPath_);
  return ok;
}

void HeadlessPlatform::WarpMouse(int x, int y) {
  warps_.emplace_back(x, y);
  TimedEvent move;
  move.ms = now_;
  move.input.kind = InputEvent::Kind::kMouseMove;
  move.input.x = x;
  move.input.y = y;
  AddEvent(move);
}

void HeadlessPlatform::SetFullScreen(bool on) {
  Platform::SetFullScreen(on);
  fullScreenSwitches_.push_back(on);
}

void HeadlessPlatform::AddEvent(const TimedEvent& event) {
  AddEvents({event});
}

void HeadlessPlatform::AddEvents(const std::vector<TimedEvent>& events) {
  events_.reserve(events_.size() + events.size());
  for (const TimedEvent& e : events) {
    if (e.verb == TimedEvent::Verb::kMessageBox) {
      answers_.push_back(e);
    } else {
      events_.push_back(e);
    }
  }
  // Events files and harnesses mostly give events in order already; a check is cheaper than a
  // sort that allocates.
  auto byTime = [](const TimedEvent& a, const TimedEvent& b) { return a.ms < b.ms; };
  for (auto* list : {&events_, &answers_}) {
    const auto from =
        list == &events_ ? list->begin() + static_cast<ptrdiff_t>(next_) : list->begin();
    if (!std::is_sorted(from, list->end(), byTime)) std::stable_sort(from, list->end(), byTime);
  }
}

bool HeadlessPlatform::PollEvent(InputEvent& event) {
  while (next_ < events_.size() && events_[next_].ms <= now_) {
    const TimedEvent& e = events_[next_++];
    switch (e.verb) {
      case TimedEvent::Verb::kInput:
        event = e.input;
        quietSince_.reset();
        return true;
      case TimedEvent::Verb::kScreenshot:
        WriteScreenshot(e.file);
        break;
      case TimedEvent::Verb::kDump:
        if (dumpHandler_) dumpHandler_(e.file);
        break;
      case TimedEvent::Verb::kMessageBox:
        break;
    }
  }
  return false;
}

bool HeadlessPlatform::PromisePicture(std::function<void()> draw) {
  if (!batch_.SinglePicture() || presentHook_) return false;
  promise_ = std::move(draw);
  return true;
}

void HeadlessPlatform::KeepPromise() {
  KeepPromiseOf(promise_);
}

void HeadlessPlatform::KeepPromiseOf(std::function<void()>& promise) {
  if (!promise) return;
  // Taken out first: the drawing presents, and a present keeps the promise.
  const std::function<void()> draw = std::move(promise);
  promise = nullptr;
  draw();
}

void HeadlessPlatform::Present(const Surface& gameArea) {
  if (!MayPresent(gameArea)) return;
  KeepPromise();
  batch_.Copy(gameArea, ScreenRect{0, 0, gameArea.Width(), gameArea.Height()});
}

void HeadlessPlatform::PresentRect(const Surface& gameArea, int x, int y, int w, int h) {
  if (!MayPresent(gameArea)) return;
  KeepPromise();
  batch_.Copy(gameArea, ScreenRect{x, y, w, h});
}

void HeadlessPlatform::PresentRects(const Surface& gameArea, std::span<const ScreenRect> rects) {
  if (!MayPresent(gameArea)) return;
  KeepPromise();
  for (const ScreenRect& r : rects) batch_.Copy(gameArea, r);
}

void HeadlessPlatform::Flush() {
  const bool presented = batch_.Marked();
  ScreenRect changed;
  if (batch_.SinglePicture()) {
    batch_.Settle();
  } else if (batch_.Take(changed) || uiChanged_) {
    ++presentCount_;
  }
  uiChanged_ = false;
  if (presented && presentHook_) presentHook_();
}

void HeadlessPlatform::ShownGameArea(Surface& out) {
  KeepPromise();
  out = batch_.Drawn();
}

MessageBoxAnswer HeadlessPlatform::ShowMessageBox(const std::string&, const std::string&,
                                                  MessageBoxKind) {
  for (auto it = answers_.begin(); it != answers_.end(); ++it) {
    if (it->ms <= now_) {
      const bool ok = it->answerOk;
      answers_.erase(it);
      return ok ? MessageBoxAnswer::kOk : MessageBoxAnswer::kCancel;
    }
  }
  return MessageBoxAnswer::kOk;
}

HeadlessPlatform::~HeadlessPlatform() {
  FinishAudioOut();
  ui_.SetRenderer(nullptr);
  if (uiRenderer_ != nullptr) SDL_DestroyRenderer(uiRenderer_);
  if (uiSurface_ != nullptr) SDL_FreeSurface(uiSurface_);
}

void HeadlessPlatform::PresentUi(ImDrawData* drawData, int gameTop) {
  uiTop_ = std::clamp(gameTop, 0, 24);
  ui_.Keep(drawData);
  uiChanged_ = true;
}

bool HeadlessPlatform::UiRendererReady() {
  if (uiRenderer_ != nullptr) return true;
  // A software renderer needs no video driver, so SDL is never started here. It is made only
  // when a picture is asked for: runs that take none (the fuzzer, most tests) never pay for it.
  uiSurface_ = SDL_CreateRGBSurfaceWithFormat(0, 800, 624, 32, SDL_PIXELFORMAT_XRGB8888);
  if (uiSurface_ != nullptr) uiRenderer_ = SDL_CreateSoftwareRenderer(uiSurface_);
  if (uiRenderer_ == nullptr) {
    LogMessage(std::string("headless: cannot draw the interface layer: ") + SDL_GetError());
    return false;
  }
  ui_.SetRenderer(uiRenderer_);
  return true;
}

void HeadlessPlatform::ShownPicture(Surface& out, bool withStrip) {
  KeepPromise();
  Surface moved;
  if (pictureOffset_ != std::pair{0, 0}) {
    moved.Resize(800, 600);
    CopyView(moved, batch_.Shown(), -pictureOffset_.first, -pictureOffset_.second);
  }
  const Surface& game = pictureOffset_ != std::pair{0, 0} ? moved : batch_.Shown();
  if (ui_.Empty() && !withStrip) {
    out = game;
    return;
  }
  const int top = uiTop_;
  const int height = top + 600;
  // A test may present a picture of another size; only what fits the game area counts.
  const int gameWidth = std::min(game.Width(), 800);
  const int gameHeight = std::min(game.Height(), 600);
  if (ui_.Empty() || !UiRendererReady()) {
    out.Resize(800, withStrip ? height : 600);
    out.Fill(0, 0, 0);
    for (int row = 0; row < gameHeight; ++row) {
      std::memcpy(out.Row(row + (withStrip ? top : 0)), game.Row(row),
                  static_cast<size_t>(gameWidth) * 3);
    }
    return;
  }
  // The surface's bytes are blue, green, red, unused: the game picture's order plus a pad.
  auto* pixels = static_cast<uint8_t*>(uiSurface_->pixels);
  const int pitch = uiSurface_->pitch;
  for (int row = 0; row < height; ++row) {
    uint8_t* to = pixels + static_cast<ptrdiff_t>(row) * pitch;
    std::memset(to, 0, 800 * 4);
    if (row < top || row - top >= gameHeight) continue;
    const uint8_t* from = game.Row(row - top);
    for (int x = 0; x < gameWidth; ++x) {
      to[x * 4] = from[x * 3];
      to[x * 4 + 1] = from[x * 3 + 1];
      to[x * 4 + 2] = from[x * 3 + 2];
      to[x * 4 + 3] = 255;
    }
  }
  ui_.Draw();
  SDL_RenderFlush(uiRenderer_);
  const int first = withStrip ? 0 : top;
  out.Resize(800, height - first);
  for (int row = first; row < height; ++row) {
    const uint8_t* from = pixels + static_cast<ptrdiff_t>(row) * pitch;
    uint8_t* to = out.Row(row - first);
    for (int x = 0; x < 800; ++x) {
      to[x * 3] = from[x * 4];
      to[x * 3 + 1] = from[x * 4 + 1];
      to[x * 3 + 2] = from[x * 4 + 2];
    }
  }
}

void HeadlessPlatform::NoteIdleWithoutWork(bool idle) {
  if (!idle) {
    quietSince_.reset();
  } else if (!quietSince_) {
    quietSince_ = now_;
  }
}

bool HeadlessPlatform::ShouldStop() {
  if (runMs_) return now_ >= *runMs_;
  if (now_ >= kMaxRunMs) return true;
  return next_ >= events_.size() && quietSince_ && now_ - *quietSince_ >= kQuietMsBeforeStop;
}

bool HeadlessPlatform::RegisterCursor(int number, const CursorAnimation& animation) {
  if (number < 1 || animation.frames.empty() || animation.steps.empty()) return false;
  cursors_[number] = animation;
  return true;
}

void HeadlessPlatform::ShowCursor(int number) {
  shownCursor_ = cursors_.contains(number) ? number : 0;
}

const CursorAnimation* HeadlessPlatform::Cursor(int number) const {
  const auto it = cursors_.find(number);
  return it == cursors_.end() ? nullptr : &it->second;
}

}  // namespace zorvel
