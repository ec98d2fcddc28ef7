#include "audio/movie.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <filesystem>

#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr size_t kStride = Movie::kWidth * 4;
// The renderer's fast paths want the rows on 64-byte boundaries.
constexpr size_t kAlignment = 64;
constexpr uint64_t kPositionReply = 1;
constexpr uint64_t kDurationReply = 2;
// Under a virtual clock the engine waits for the player in slices this long, and gives up on a
// player that has said nothing for this many of them (two seconds).
constexpr double kWaitSeconds = 0.005;
constexpr int kMaxQuietWaits = 400;

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The entry of `dir` named `name`: the exact name when it exists, else the first entry whose
// name differs only in ASCII case.
std::optional<std::string> FindEntry(const std::string& dir, const std::string& name) {
  std::error_code error;
  const std::string exact = JoinPath(dir, name);
  if (std::filesystem::exists(exact, error)) return exact;
  for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (SameNameIgnoringCase(entry, name)) return JoinPath(dir, entry);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ResolveMoviePath(const std::string& gameDir, std::string_view sjisPath,
                                            std::string& why) {
  why.clear();
  // Converted first: a two-byte Shift-JIS character may end in the byte of `\`, which the
  // conversion keeps inside the character.
  std::string path = SjisToUtf8(sjisPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if ((!path.empty() && path[0] == '/') || drive) {
    why = "is an absolute path";
    return std::nullopt;
  }
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    if (name == "..") {
      why = "leaves the game directory";
      return std::nullopt;
    }
    if (!name.empty() && name != ".") names.push_back(std::move(name));
    start = end + 1;
  }
  if (names.empty()) return std::nullopt;
  std::string at = gameDir;
  for (const std::string& name : names) {
    std::optional<std::string> next = FindEntry(at, name);
    if (!next) return std::nullopt;
    at = std::move(*next);
  }
  if (!FileExists(at)) return std::nullopt;
  return at;
}

Movie::Movie(EngineState& state, Platform& platform, std::string gameDir, MovieHooks hooks)
    : s_(state), platform_(platform), gameDir_(std::move(gameDir)), hooks_(std::move(hooks)) {}

Movie::~Movie() {
  Destroy();
  if (playing_) platform_.HandGameAreaTo(nullptr);
}

void Movie::Register(CommandTable& table) {
  table.Register(kMovie, [this](const char* arg) { return MovieCommand(arg); });
}

int Movie::MovieCommand(const char* arg) {
  std::string_view text(arg);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  std::string why;
  const std::optional<std::string> path = ResolveMoviePath(gameDir_, text, why);
  if (!path) {
    LogMessage("movie \"" + SjisToUtf8(text) + "\" " +
               (why.empty() ? std::string("is missing beside the game") : why) +
               "; it is not played");
    return 0;
  }
  EndMovie();
  if (platform_.ShowsPictures()) {
    if (!Open(*path)) return 0;
  } else {
    // Nobody would see it: the movie ends as soon as a click or the countdown may end it.
    finished_ = true;
  }
  playing_ = true;
  countdown_ = kGuardTicks;
  s_.busy = true;
  // The script goes on beneath the movie: what it draws meanwhile waits in the screen surfaces
  // and shows when the movie ends.
  platform_.HandGameAreaTo(&frame_);
  if (handle_ != nullptr) platform_.Present(frame_);
  return 0;
}

bool Movie::Open(const std::string& path) {
  mpv_handle* handle = mpv_create();
  if (handle == nullptr) {
    LogMessage("movie " + path + ": the movie player cannot start; it is not played");
    return false;
  }
  // A player for the game's own files only: no user configuration, scripts, key bindings,
  // on-screen display or subtitles found beside the file.
  for (const auto& [name, value] :
       {std::pair{"config", "no"},
        {"terminal", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"osc", "no"},
        {"load-scripts", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"ytdl", "no"},
        {"sub-auto", "no"},
        {"audio-display", "no"},
        {"osd-level", "0"},
        {"hwdec", "no"},
        {"keep-open", "no"},
        {"idle", "yes"},
        {"vo", "libmpv"},
        // Rendering happens on the engine's thread, which must not wait for a frame's time.
        {"video-timing-offset", "0"}}) {
    mpv_set_option_string(handle, name, value);
  }
  // The movie's sound goes to the system's sound device, beside the engine's mixer; where
  // there is none it plays to nowhere, keeping the movie's timing. Under a virtual clock the
  // player waits, paused, to be stepped frame by frame (KeepUp), and its sound goes nowhere.
  if (!platform_.RealTimeClock()) {
    for (const auto& [name, value] : {std::pair{"pause", "yes"},
                                      {"ao", "null"},
                                      {"untimed", "yes"},
                                      {"ao-null-untimed", "yes"},
                                      // Threads would only take turns with the stepping
                                      // engine: decoding costs less without them.
                                      {"vd-lavc-threads", "1"},
                                      {"demuxer-thread", "no"}}) {
      mpv_set_option_string(handle, name, value);
    }
  } else if (!platform_.HasAudioOutput()) {
    mpv_set_option_string(handle, "ao", "null");
  }
  if (mpv_initialize(handle) < 0) {
    mpv_terminate_destroy(handle);
    LogMessage("movie " + path + ": the movie player cannot start; it is not played");
    return false;
  }
  mpv_request_log_messages(handle, "error");
  mpv_observe_property(handle, kPositionReply, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(handle, kDurationReply, "duration", MPV_FORMAT_DOUBLE);
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
      {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_create(&render_, handle, params) < 0) {
    render_ = nullptr;
    mpv_terminate_destroy(handle);
    LogMessage("movie " + path + ": the movie player cannot draw; it is not played");
    return false;
  }
  handle_ = handle;
  path_ = path;
  startTicks_ = platform_.Ticks();
  // The first step is towards the first frame, which a paused player shows by itself.
  stepping_ = !platform_.RealTimeClock();
  mpv_set_wakeup_callback(
      handle_, [](void* self) { static_cast<Movie*>(self)->eventsPending_ = true; }, this);
  mpv_render_context_set_update_callback(
      render_, [](void* self) { static_cast<Movie*>(self)->frameDue_ = true; }, this);
  const char* load[] = {"loadfile", path.c_str(), nullptr};
  if (const int error = mpv_command(handle_, load); error < 0) {
    Destroy();
    LogMessage("movie " + path + ": " + mpv_error_string(error) + "; it is not played");
    return false;
  }
  if (buffer_.empty()) {
    buffer_.resize(kStride * kHeight + kAlignment);
    const auto address = reinterpret_cast<uintptr_t>(buffer_.data());
    pixels_ = buffer_.data() + (kAlignment - address % kAlignment) % kAlignment;
  }
  // The movie's area is black until its first frame.
  frame_.Resize(kWidth, kHeight);
  frame_.Fill(0, 0, 0);
  return true;
}

bool Movie::TakeEvents(double wait) {
  if (handle_ == nullptr) return false;
  if (!eventsPending_.exchange(false) && wait <= 0) return false;
  bool any = false;
  for (const mpv_event* event = mpv_wait_event(handle_, wait); event->event_id != MPV_EVENT_NONE;
       event = mpv_wait_event(handle_, 0)) {
    any = true;
    switch (event->event_id) {
      case MPV_EVENT_END_FILE: {
        finished_ = true;
        const auto* end = static_cast<const mpv_event_end_file*>(event->data);
        if (end != nullptr && end->reason == MPV_END_FILE_REASON_ERROR) {
          failed_ = true;
          LogMessage("movie " + path_ + ": cannot be played: " + mpv_error_string(end->error));
        }
        break;
      }
      case MPV_EVENT_SHUTDOWN:
        finished_ = true;
        break;
      case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<const mpv_event_property*>(event->data);
        if (property->format != MPV_FORMAT_DOUBLE || property->data == nullptr) break;
        const double value = *static_cast<const double*>(property->data);
        if (event->reply_userdata == kPositionReply) position_ = value;
        if (event->reply_userdata == kDurationReply) duration_ = value;
        break;
      }
      case MPV_EVENT_LOG_MESSAGE: {
        const auto* message = static_cast<const mpv_event_log_message*>(event->data);
        std::string text = message->text != nullptr ? message->text : "";
        while (!text.empty() && text.back() == '\n') text.pop_back();
        LogMessage("movie " + path_ + ": " + (message->prefix ? message->prefix : "") + ": " +
                   text);
        break;
      }
      default:
        break;
    }
  }
  return any;
}

double Movie::Elapsed() const {
  return static_cast<uint32_t>(platform_.Ticks() - startTicks_) / 1000.0;
}

void Movie::ShowNewFrame() {
  if (handle_ == nullptr) return;
  TakeEvents();
  if (platform_.RealTimeClock()) {
    RenderFrame();
  } else {
    KeepUp(Elapsed());
  }
}

void Movie::KeepUp(double target) {
  for (int quiet = 0; !finished_ && !stalled_;) {
    RenderFrame();
    if (stepping_ && (!frameShown_ || position_ == stepFrom_)) {
      if (++quiet > kMaxQuietWaits) {
        // No picture comes (a movie of sound alone): it plays on by its length only.
        stalled_ = true;
        break;
      }
      if (TakeEvents(kWaitSeconds)) quiet = 0;
      continue;
    }
    stepping_ = false;
    if (position_ >= target) break;
    const char* step[] = {"frame-step", nullptr};
    mpv_command_async(handle_, 0, step);
    stepping_ = true;
    stepFrom_ = position_;
    frameShown_ = false;
  }
}

void Movie::RenderFrame() {
  if (!frameDue_.exchange(false)) return;
  if ((mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME) == 0) return;
  // A frame nobody sees before the next is only stepped past; should anyone look, the player
  // draws it then, as it is still the player's current frame (Destroy forgets the promise).
  if (platform_.PromisePicture([this] { DrawFrame(false); })) {
    if (!DrawFrame(true)) platform_.DropPromise();
    return;
  }
  DrawFrame(false);
}

bool Movie::DrawFrame(bool skip) {
  int size[2] = {kWidth, kHeight};
  char format[] = "bgr0";
  size_t stride = kStride;
  int skipRendering = skip ? 1 : 0;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                               {MPV_RENDER_PARAM_SW_FORMAT, format},
                               {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                               {MPV_RENDER_PARAM_SW_POINTER, pixels_},
                               {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (mpv_render_context_render(render_, params) < 0) return false;
  frameShown_ = true;
  if (skip) return true;
  // The last frame's pixels may still be with the window; this one is drawn whole.
  frame_.WillOverwrite();
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* src = pixels_ + static_cast<size_t>(y) * kStride;
    uint8_t* dst = frame_.Row(y);
    for (int x = 0; x < kWidth; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  platform_.Present(frame_);
  return true;
}

bool Movie::Over() {
  if (handle_ == nullptr || platform_.RealTimeClock()) return finished_;
  // Under a virtual clock the movie lasts its own length in the engine's time, whatever frame
  // the stepped player has reached, so that a run ends the same every time.
  for (int quiet = 0; !failed_ && !duration_ && !finished_ && quiet < kMaxQuietWaits;) {
    RenderFrame();
    quiet = TakeEvents(kWaitSeconds) ? 0 : quiet + 1;
  }
  if (failed_ || !duration_) return true;
  return Elapsed() >= *duration_;
}

bool Movie::TickMovie() {
  if (countdown_ == 0) return false;
  TakeEvents();
  if (countdown_ > 1) {
    countdown_ -= 1;
  } else if (Over()) {
    EndMovie();
  }
  return true;
}

void Movie::Click() {
  if (Playing() && countdown_ == 1) EndMovie();
}

void Movie::Repaint() {
  if (handle_ != nullptr) platform_.Present(frame_);
}

void Movie::EndMovie() {
  if (!Playing()) return;
  Destroy();
  playing_ = false;
  countdown_ = 0;
  platform_.HandGameAreaTo(nullptr);
  hooks_.restoreGameArea();
  // Full screen here is the desktop's own, which a picture drawn into the game area never
  // leaves, so nothing is switched around the end.
  s_.busy = false;
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
}

void Movie::Destroy() {
  if (handle_ != nullptr) platform_.DropPromise();
  if (handle_ != nullptr) {
    // Stopped first so that the sound ends at once, not when the player's threads have gone.
    const char* stop[] = {"stop", nullptr};
    mpv_command(handle_, stop);
  }
  // The renderer must go before the player it draws for.
  if (render_ != nullptr) {
    mpv_render_context_free(render_);
    render_ = nullptr;
  }
  if (handle_ != nullptr) {
    mpv_terminate_destroy(handle_);
    handle_ = nullptr;
  }
  eventsPending_ = false;
  frameDue_ = false;
  finished_ = false;
  failed_ = false;
  stepping_ = false;
  stalled_ = false;
  frameShown_ = false;
  position_ = -1;
  stepFrom_ = -1;
  duration_.reset();
}

}  // namespace zorvel
