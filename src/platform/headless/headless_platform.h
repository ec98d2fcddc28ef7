// The platform for tests and automation: a virtual clock (a sleep advances time at once), timed
// input from an events file or from test code, message boxes answered from a queue, and the
// window's picture kept for screenshots. Presents reach that picture as a window's would: at a
// flush, and a sleep flushes first.
#pragma once

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/surface.h"
#include "platform/platform.h"
#include "platform/present_batch.h"
#include "platform/ui_render/ui_renderer.h"

struct SDL_Surface;
struct SDL_Renderer;

namespace zorvel {

struct TimedEvent {
  enum class Verb { kInput, kMessageBox, kScreenshot, kDump };
  uint32_t ms = 0;
  Verb verb = Verb::kInput;
  InputEvent input;
  bool answerOk = true;  // kMessageBox
  std::string file;      // kScreenshot, kDump
};

// Parses the events file format ("MS VERB ARGS", "#" comments). False with a message naming the
// line on a bad line.
bool ParseEvents(const std::string& text, std::vector<TimedEvent>& out, std::string& error);

class HeadlessPlatform : public Platform {
 public:
  // Without a run limit a headless run ends once nothing is left to happen: no events remain
  // and the game has waited for input for this long (or after kMaxRunMs in any case).
  static constexpr uint32_t kQuietMsBeforeStop = 1000;
  static constexpr uint32_t kMaxRunMs = 10 * 60 * 1000;
  static constexpr int kAudioRate = 44100;

  explicit HeadlessPlatform(SettingsStore& store) : store_(store) {}
  ~HeadlessPlatform() override;
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  void AddEvent(const TimedEvent& event);
  void AddEvents(const std::vector<TimedEvent>& events);
  void SetRunMs(std::optional<uint32_t> ms) { runMs_ = ms; }
  void SetDumpHandler(std::function<void(const std::string&)> handler) {
    dumpHandler_ = std::move(handler);
  }
  void SetDesktopSize(int width, int height) {
    desktopWidth_ = width;
    desktopHeight_ = height;
  }

  // What the window's game area shows: the presents up to the last flush.
  const Surface& LastFrame() const {
    KeepPromiseOf(promise_);
    return batch_.Shown();
  }
  // Window updates so far (a flush that changed pixels or the interface layer's picture), and a
  // hook that sees every flush of presents, right after LastFrame() took them in, also one that
  // changed no pixel: tests record the frames of an animation with it.
  uint64_t PresentCount() const { return presentCount_; }
  // Off for runs that read the picture only at a flush (screenshots, the end of the run) and
  // never count updates: the command line and benchmarks. Presents then go straight into the
  // kept picture, a flush compares nothing and PresentCount stays where it was; every picture
  // read at a flush is the same as with counting on. LastFrame() read between flushes shows the
  // presents so far.
  void SetCountPresents(bool on) { batch_.SetSinglePicture(!on); }
  void SetPresentHook(std::function<void()> hook) { presentHook_ = std::move(hook); }
  // Every place the window was put, starting with (0, 0).
  const std::vector<std::pair<int, int>>& WindowPositions() const { return windowPositions_; }
  const std::string& Title() const { return title_; }
  // What a player would see: the shown game area with the interface layer's last picture (menus,
  // boxes, in full screen the tool bar) drawn over it, 800 x 600; with the strip, the whole
  // frame (the tool bar strip above the game area when the layout has one). Screenshots use it.
  void ShownPicture(Surface& out, bool withStrip = false);

  uint32_t Ticks() override { return now_; }
  // Time passes at once, and the virtual sound device plays what that time holds. A screenshot
  // due while the engine sleeps shows what the window shows then: the frame drawn before the
  // sleep, not the one drawn after it.
  void Sleep(uint32_t ms) override;
  bool PollEvent(InputEvent& event) override;
  void Present(const Surface& gameArea) override;
  // Only the rectangle reaches the kept frame, as only it would reach a real window.
  void PresentRect(const Surface& gameArea, int x, int y, int w, int h) override;
  void PresentRects(const Surface& gameArea, std::span<const ScreenRect> rects) override;
  void ShownGameArea(Surface& out) override;
  void Flush() override;
  // Promises are taken only when no update is counted and no present hook watches: then the
  // picture is read only by screenshots and the engine, which keep the promise first.
  bool PromisePicture(std::function<void()> draw) override;
  void KeepPromise() override;
  void DropPromise() override { promise_ = nullptr; }
  void SetTitle(const std::string& utf8Title) override { title_ = utf8Title; }
  MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                  MessageBoxKind kind) override;
  bool AnswersMessageBoxes() override { return true; }
  void PresentUi(ImDrawData* drawData, int gameTop) override;
  bool HasAudioOutput() override { return audioOutput_; }
  bool RealTimeClock() override { return false; }
  bool OpenAudio(Mixer& mixer) override;
  void CloseAudio() override;
  // A system without any sound device: the game runs silent and wait_v_end does not wait.
  void SetAudioOutput(bool on) { audioOutput_ = on; }
  // The virtual device's rate, before the engine opens it (hosts that run thousands of short
  // engines mix at a low rate; nothing listens to them).
  void SetAudioRate(int rate) { audioRate_ = rate; }
  // Everything the virtual device plays from now on (silence while no mixer is attached) goes
  // to a 16-bit stereo WAV; FinishAudioOut fixes up its header and closes it.
  bool SetAudioOut(const std::string& path, std::string& error);
  bool FinishAudioOut();
  // Keeps what the virtual device plays in memory, for tests.
  void KeepAudio(bool on) { keepAudio_ = on; }
  const std::vector<int16_t>& KeptAudio() const { return kept_; }
  void DesktopSize(int& width, int& height) override {
    width = desktopWidth_;
    height = desktopHeight_;
  }
  void WindowPosition(int& x, int& y) override {
    x = windowPositions_.back().first;
    y = windowPositions_.back().second;
  }
  void MoveWindow(int x, int y) override { windowPositions_.emplace_back(x, y); }
  // Screenshots show the picture moved; every offset set is kept, in order.
  void SetPictureOffset(int dx, int dy) override {
    if (pictureOffset_ == std::pair{dx, dy}) return;
    pictureOffset_ = {dx, dy};
    pictureOffsets_.emplace_back(dx, dy);
  }
  const std::vector<std::pair<int, int>>& PictureOffsets() const { return pictureOffsets_; }
  // The pointer is moved as asked and the move arrives as the window system would send it.
  void WarpMouse(int x, int y) override;
  void SetTextInputRect(int x, int y, int w, int h) override { textInputRect_ = {x, y, w, h}; }
  // Where the last text field with the keyboard asked the input method to show its candidates.
  ScreenRect TextInputRect() const { return textInputRect_; }
  bool InputExhausted() override { return next_ >= events_.size(); }
  const std::vector<std::pair<int, int>>& PointerWarps() const { return warps_; }
  void SetFullScreen(bool on) override;
  // Every switch of the full-screen mode, in order.
  const std::vector<bool>& FullScreenSwitches() const { return fullScreenSwitches_; }
  SettingsStore& Settings() override { return store_; }
  // Cursors are kept by number; the one shown is remembered (0 the default arrow, also for a
  // number never registered).
  bool RegisterCursor(int number, const CursorAnimation& animation) override;
  void ShowCursor(int number) override;
  int ShownCursor() const { return shownCursor_; }
  // The registered animation of a cursor number, or null.
  const CursorAnimation* Cursor(int number) const;
  bool ShouldStop() override;
  void NoteIdleWithoutWork(bool idle) override;

 private:
  // The software renderer for the interface layer's picture, made on first need.
  bool UiRendererReady();
  SettingsStore& store_;
  uint32_t now_ = 0;
  std::vector<TimedEvent> events_;  // sorted by time, stable
  size_t next_ = 0;
  std::vector<TimedEvent> answers_;  // message box answers, in time order
  std::optional<uint32_t> runMs_;
  std::optional<uint32_t> quietSince_;
  std::function<void(const std::string&)> dumpHandler_;
  ScreenRect textInputRect_;
  void PullAudio(uint32_t ms);
  void WriteScreenshot(const std::string& file);

  PresentBatch batch_;
  bool uiChanged_ = false;
  uint64_t presentCount_ = 0;
  std::function<void()> presentHook_;
  // Mutable: reading the picture keeps it. The drawing reaches the platform through the
  // engine's own reference, not through this const view.
  mutable std::function<void()> promise_;
  static void KeepPromiseOf(std::function<void()>& promise);
  std::vector<std::pair<int, int>> windowPositions_{{0, 0}};
  std::pair<int, int> pictureOffset_{0, 0};
  std::vector<std::pair<int, int>> pictureOffsets_;
  std::vector<std::pair<int, int>> warps_;
  std::vector<bool> fullScreenSwitches_;
  std::string title_;
  // The interface layer's picture, drawn by a software renderer only when a screenshot asks.
  UiRenderer ui_;
  int uiTop_ = 24;
  SDL_Surface* uiSurface_ = nullptr;
  SDL_Renderer* uiRenderer_ = nullptr;
  static constexpr size_t kPullFrames = 1024;
  bool audioOutput_ = true;
  int audioRate_ = kAudioRate;
  Mixer* mixer_ = nullptr;
  uint64_t audioRemainder_ = 0;
  std::array<int16_t, 2 * kPullFrames> pull_{};
  bool keepAudio_ = false;
  std::vector<int16_t> kept_;
  std::FILE* wav_ = nullptr;
  std::string wavPath_;
  uint64_t wavFrames_ = 0;
  bool wavFailed_ = false;
  std::map<int, CursorAnimation> cursors_;
  int shownCursor_ = 0;
  int desktopWidth_ = 1920;
  int desktopHeight_ = 1080;
};

}  // namespace zorvel
