// The engine's only window onto the outside world. Engine code never calls SDL, the C
// library's file, clock or process functions directly; it asks an implementation of this
// interface (sdl/ for players, headless/ for tests and automation).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct ImDrawData;

namespace zorvel {

class Mixer;
class Surface;

struct ScreenRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

enum class MouseButton { kLeft, kRight, kMiddle };

// Keys the engine reacts to, independent of the windowing system's key codes.
enum class Key {
  kNone,
  kEnter,
  kSpace,
  kEscape,
  kTab,
  kBackspace,
  kUp,
  kDown,
  kLeft,
  kRight,
  kShift,
  kCtrl,
  kF1,
  kF2,
  kF3,
  kF4,
  kF5,
  kF6,
  kF7,
  kF8,
  kF9,
  kF10,
  kF11,
  kF12,
  kCharacter,  // a letter or digit; InputEvent::ch holds it
  kPrintScreen,
};

struct InputEvent {
  enum class Kind {
    kMouseDown,
    kMouseUp,
    kMouseMove,
    kWheel,
    kKeyDown,
    kKeyUp,
    kKeyChar,           // a character key was typed (after kKeyDown); ch holds it
    kClose,             // the window's close box
    kRepaint,           // the window system lost part of the picture: the game area is drawn again
    kTextInput,         // text typed or composed (IME); text holds it in UTF-8
    kToggleFullScreen,  // Alt+Enter
    kOpenMenu,          // a controller's Start: the right-click menu wherever the pointer is
    kFocus,             // the window gained (delta 1) or lost (delta 0) the keyboard focus
    kTextEditing,       // an input method's composition so far (text, UTF-8; empty: none)
  };
  Kind kind = Kind::kMouseMove;
  // Game-area coordinates (0..799, 0..599). The tool bar strip above the game area has y from
  // -24 to -1, and a pointer outside both is reported clamped to the nearest pixel of them.
  int x = 0;
  int y = 0;
  MouseButton button = MouseButton::kLeft;
  int delta = 0;  // wheel: > 0 away from the player
  Key key = Key::kNone;
  char ch = 0;
  bool repeat = false;  // key down: sent by the keyboard's auto-repeat
  bool alt = false;     // key down: Alt was held
  std::string text;
};

// One picture of an animated cursor: straight (not premultiplied) 0xAARRGGBB pixels, rows top to
// bottom, and the hot spot inside it.
struct CursorFrame {
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<uint32_t> argb;
};

// A cursor as the window shows it: the pictures, and the steps it cycles through, each showing
// one picture for its time.
struct CursorAnimation {
  struct Step {
    int frame = 0;
    uint32_t ms = 0;
  };
  std::vector<CursorFrame> frames;
  std::vector<Step> steps;
};

enum class MessageBoxKind { kOk, kOkCancel, kError };
enum class MessageBoxAnswer { kOk, kCancel };

// Registry-like persistent store: key path + section + value name -> text. Values are UTF-8.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> Read(const std::string& keyPath, const std::string& section,
                                          const std::string& name) = 0;
  // Returns false when the value could not be written (the old file is then untouched).
  virtual bool Write(const std::string& keyPath, const std::string& section,
                     const std::string& name, const std::string& value) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Milliseconds since some fixed start; wraps like the system tick count.
  virtual uint32_t Ticks() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // Sleeps up to `ms`, but returns as soon as input is waiting to be polled.
  virtual void WaitForInput(uint32_t ms) { Sleep(ms); }

  // Next pending input event, if any. Never blocks.
  virtual bool PollEvent(InputEvent& event) = 0;

  // Draws the 800 x 600 game area (the whole surface, or only the given rectangle of it) onto
  // the window. Presents are batched: the window shows them at the next Flush, and a platform
  // flushes before it sleeps, so whatever the engine drew is on screen while it waits.
  virtual void Present(const Surface& gameArea) = 0;
  virtual void PresentRect(const Surface& gameArea, int x, int y, int w, int h) = 0;
  // Several rectangles of one picture with a single window update after all of them, so an
  // effect that uncovers hundreds of spans a frame costs one repaint, not hundreds.
  virtual void PresentRects(const Surface& gameArea, std::span<const ScreenRect> rects) {
    for (const ScreenRect& r : rects) PresentRect(gameArea, r.x, r.y, r.w, r.h);
  }
  // What the window's game area shows now (800 x 600), for drawing straight onto the window:
  // the presents not yet flushed included.
  virtual void ShownGameArea(Surface& out) = 0;
  // A whole game-area picture that nobody may look at before the next one need not be drawn.
  // Where the platform can tell (a virtual clock that keeps one picture and has no screenshot
  // due), it takes `draw` instead, which draws the picture and presents it: it is called before
  // anything reads the window or presents onto it, and dropped when another promise replaces it
  // unread. False, keeping nothing, when the picture must be drawn now. The caller keeps what
  // `draw` refers to alive and unchanged until KeepPromise or a later promise.
  virtual bool PromisePicture(std::function<void()> draw) {
    (void)draw;
    return false;
  }
  // Draws the promised picture now, if one is pending.
  virtual void KeepPromise() {}
  // Forgets a pending promise unread: what it would have drawn is about to go from the window.
  virtual void DropPromise() {}
  // Updates the window with what the presents (and the interface layer's picture) changed since
  // the last flush, in one window update that costs what changed; nothing when no pixel did.
  // The engine flushes once a pass of its loops, and once a frame in its animations.
  virtual void Flush() {}
  // A movie owns the game area while it plays: only its own picture (`owner`) reaches the
  // window, and what the game draws meanwhile waits in the game's surfaces until the area is
  // handed back (null).
  void HandGameAreaTo(const Surface* owner) { gameAreaOwner_ = owner; }
  bool GameAreaTaken() const { return gameAreaOwner_ != nullptr; }

  virtual void SetTitle(const std::string& utf8Title) = 0;
  virtual MessageBoxAnswer ShowMessageBox(const std::string& utf8Text,
                                          const std::string& utf8Caption, MessageBoxKind kind) = 0;
  // False for a platform that shows nothing at all (the fuzzer's): pictures meant only for the
  // player, such as the interface layer's frames, need not be drawn for it.
  virtual bool ShowsPictures() { return true; }

  // True when message boxes are answered by the platform (headless: the events file) rather
  // than by the player in the window's own box on the interface layer.
  virtual bool AnswersMessageBoxes() { return false; }

  // The interface layer's picture for the current frame (Dear ImGui draw data in frame
  // coordinates: the game area starts at row `gameTop`, 24 in a window, 0 in full screen, and
  // the frame is 800 wide and gameTop + 600 high), drawn over the game area and the tool bar
  // strip until the next call. Null draws nothing over them.
  virtual void PresentUi(ImDrawData* drawData, int gameTop) {
    (void)drawData;
    (void)gameTop;
  }

  // Full screen: the desktop's own full-screen mode, the picture scaled to fit and letterboxed.
  // Leaving it restores the window exactly, its size and place included.
  virtual void SetFullScreen(bool on) { fullScreen_ = on; }
  virtual bool FullScreen() const { return fullScreen_; }
  // Where the text field that has the keyboard lies, in the interface layer's frame
  // coordinates: an input method opens its candidate window there.
  virtual void SetTextInputRect(int x, int y, int w, int h) {
    (void)x;
    (void)y;
    (void)w;
    (void)h;
  }
  // Moves the pointer to a game-area position; the resulting mouse move arrives as an event.
  virtual void WarpMouse(int x, int y) {
    (void)x;
    (void)y;
  }

  // Cursors by number: a number from 1 up takes an animation (true when the window can show
  // it), and ShowCursor puts a registered one on the pointer over the game area, stepping its
  // pictures at their own pace; 0, or a number never registered, shows the default arrow.
  virtual bool RegisterCursor(int number, const CursorAnimation& animation) {
    (void)number;
    (void)animation;
    return false;
  }
  virtual void ShowCursor(int number) { (void)number; }

  virtual bool HasAudioOutput() = 0;
  // False for a virtual clock (headless), on which time passes only as the engine sleeps: what
  // runs on its own time, such as the movie player, then runs as fast as it can, is waited for
  // and plays its sound to nowhere.
  virtual bool RealTimeClock() { return true; }
  // Starts an output that pulls stereo frames from `mixer` (after telling it the output's rate)
  // until CloseAudio; false when there is none, and the game then runs silent.
  virtual bool OpenAudio(Mixer& mixer) {
    (void)mixer;
    return false;
  }
  // Stops pulling; after it returns the mixer is no longer touched.
  virtual void CloseAudio() {}
  virtual void DesktopSize(int& width, int& height) = 0;
  // The main window's top-left corner on the desktop, for shaking it; a full-screen window
  // stays where it is.
  virtual void WindowPosition(int& x, int& y) {
    x = 0;
    y = 0;
  }
  virtual void MoveWindow(int, int) {}
  // Draws the game picture moved by (dx, dy) inside the screen, the uncovered edge black, until
  // it is set back to (0, 0): what a shake does in full screen, where there is no window to move.
  virtual void SetPictureOffset(int dx, int dy) {
    (void)dx;
    (void)dy;
  }
  // One step of a shake (effects, `special`): the window at (left0 + dx, top0 + dy), or in full
  // screen the picture moved by (dx, dy) inside it. EndShake puts both back.
  void ShakeTo(int left0, int top0, int dx, int dy) {
    if (FullScreen()) {
      SetPictureOffset(dx, dy);
    } else {
      MoveWindow(static_cast<int>(std::clamp<int64_t>(int64_t{left0} + dx, INT32_MIN, INT32_MAX)),
                 static_cast<int>(std::clamp<int64_t>(int64_t{top0} + dy, INT32_MIN, INT32_MAX)));
    }
  }
  void EndShake(int left0, int top0) {
    SetPictureOffset(0, 0);
    if (!FullScreen()) MoveWindow(left0, top0);
  }
  virtual SettingsStore& Settings() = 0;

  // True once the run should end without a close request (headless: --run-ms reached or
  // nothing left to happen).
  virtual bool ShouldStop() { return false; }
  // True once SIGTERM or SIGINT asked the process to end.
  virtual bool TerminationRequested();
  // True when no input can arrive any more (headless: the events file is used up), so a menu
  // or box waiting for the player would wait for ever.
  virtual bool InputExhausted() { return false; }
  // Told when the game has nothing left to do until input arrives (headless ends early then).
  virtual void NoteIdleWithoutWork(bool) {}

 protected:
  // Whether `picture` may be shown in the game area now; every Present checks it first.
  bool MayPresent(const Surface& picture) const {
    return gameAreaOwner_ == nullptr || gameAreaOwner_ == &picture;
  }

 private:
  bool fullScreen_ = false;
  const Surface* gameAreaOwner_ = nullptr;
};

}  // namespace zorvel
