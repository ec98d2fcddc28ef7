#include "platform/sdl/sdl_platform.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "audio/mixer.h"
#include "platform/files.h"
#include "platform/signals.h"
#include "ui/ui_layer.h"

namespace zorvel {

namespace {

// Windows reports one wheel notch as 120; the engine was written against that scale.
constexpr int kWheelNotch = 120;

constexpr int kGameWidth = 800;
constexpr int kGameHeight = 600;
constexpr int kStripHeight = UiLayer::kStripHeight;
constexpr int kFrameWidth = kGameWidth;
constexpr int kFrameHeight = kStripHeight + kGameHeight;

std::optional<MouseButton> FromSdlButton(uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return MouseButton::kLeft;
    case SDL_BUTTON_RIGHT:
      return MouseButton::kRight;
    case SDL_BUTTON_MIDDLE:
      return MouseButton::kMiddle;
    default:
      return std::nullopt;
  }
}

// Letters come back upper-case, as a key (not the character it types) is meant.
Key FromSdlKey(SDL_Keycode sym, char& ch) {
  ch = 0;
  if (sym >= SDLK_a && sym <= SDLK_z) {
    ch = static_cast<char>('A' + (sym - SDLK_a));
    return Key::kCharacter;
  }
  if (sym >= SDLK_0 && sym <= SDLK_9) {
    ch = static_cast<char>(sym);
    return Key::kCharacter;
  }
  if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) {
    ch = static_cast<char>('1' + (sym - SDLK_KP_1));
    return Key::kCharacter;
  }
  if (sym >= SDLK_F1 && sym <= SDLK_F12) {
    return static_cast<Key>(static_cast<int>(Key::kF1) + (sym - SDLK_F1));
  }
  switch (sym) {
    case SDLK_KP_0:
      ch = '0';
      return Key::kCharacter;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return Key::kEnter;
    case SDLK_SPACE:
      return Key::kSpace;
    case SDLK_ESCAPE:
      return Key::kEscape;
    case SDLK_TAB:
      return Key::kTab;
    case SDLK_BACKSPACE:
      return Key::kBackspace;
    case SDLK_UP:
      return Key::kUp;
    case SDLK_DOWN:
      return Key::kDown;
    case SDLK_LEFT:
      return Key::kLeft;
    case SDLK_RIGHT:
      return Key::kRight;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return Key::kShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return Key::kCtrl;
    case SDLK_PRINTSCREEN:
      return Key::kPrintScreen;
    default:
      return Key::kNone;
  }
}

// The character a key press types for the game, 0 for none. The game's character input is
// single-byte and only its command keys matter, so it comes from the key itself rather than
// from SDL's text input: a key pushed by a test or a remote tool types like a real one, and an
// IME's composition (which goes to the interface layer as text) types nothing twice.
char TypedCharacter(Key key, char keyCh, uint16_t mod) {
  switch (key) {
    case Key::kEnter:
      return '\r';
    case Key::kBackspace:
      return '\b';
    case Key::kTab:
      return '\t';
    case Key::kEscape:
      return 27;
    case Key::kSpace:
      return (mod & (KMOD_CTRL | KMOD_ALT)) != 0 ? 0 : ' ';
    case Key::kCharacter:
      // Ctrl or Alt with a letter is a shortcut, not typing.
      if ((mod & (KMOD_CTRL | KMOD_ALT)) != 0) return 0;
      if (keyCh >= 'A' && keyCh <= 'Z' && ((mod & KMOD_SHIFT) != 0) == ((mod & KMOD_CAPS) != 0)) {
        return static_cast<char>(keyCh - 'A' + 'a');
      }
      return keyCh;
    default:
      return 0;
  }
}

bool IsRedrawEvent(uint8_t windowEvent) {
  switch (windowEvent) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
      return true;
    default:
      return false;
  }
}

// Where the frame lands in a renderer output: as large as fits, centred, black bars around.
SDL_Rect PictureRect(int outputWidth, int outputHeight, int frameHeight) {
  const double scale = std::min(static_cast<double>(outputWidth) / kFrameWidth,
                                static_cast<double>(outputHeight) / frameHeight);
  const int w = std::max(1, static_cast<int>(std::lround(kFrameWidth * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(frameHeight * scale)));
  return SDL_Rect{(outputWidth - w) / 2, (outputHeight - h) / 2, w, h};
}

// The picture's place moved by (dx, dy) game pixels, scaled as the picture is.
SDL_Rect MovedPicture(SDL_Rect picture, int dx, int dy) {
  picture.x += static_cast<int>(int64_t{dx} * picture.w / kFrameWidth);
  picture.y += static_cast<int>(int64_t{dy} * picture.w / kFrameWidth);
  return picture;
}

// Rectangles of the frame; an empty one has no width.
ScreenRect Intersection(const ScreenRect& a, const ScreenRect& b) {
  const int x0 = std::max(a.x, b.x);
  const int y0 = std::max(a.y, b.y);
  const int x1 = std::min(a.x + a.w, b.x + b.w);
  const int y1 = std::min(a.y + a.h, b.y + b.h);
  if (x0 >= x1 || y0 >= y1) return ScreenRect{};
  return ScreenRect{x0, y0, x1 - x0, y1 - y0};
}

ScreenRect Union(const ScreenRect& a, const ScreenRect& b) {
  if (a.w <= 0 || a.h <= 0) return b;
  if (b.w <= 0 || b.h <= 0) return a;
  const int x0 = std::min(a.x, b.x);
  const int y0 = std::min(a.y, b.y);
  return ScreenRect{x0, y0, std::max(a.x + a.w, b.x + b.w) - x0,
                    std::max(a.y + a.h, b.y + b.h) - y0};
}

// Text from game data with broken UTF-8 becomes valid UTF-8 (U+FFFD for each bad sequence)
// before it reaches the window manager.
std::string CleanUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = 0;
    uint32_t ch = 0;
    if (lead < 0x80) {
      length = 1;
      ch = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2;
      ch = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3;
      ch = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      length = 4;
      ch = lead & 0x07;
    }
    bool good = length != 0 && i + length <= text.size();
    for (size_t k = 1; good && k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      good = (next & 0xC0) == 0x80;
      ch = (ch << 6) | (next & 0x3F);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    good = good && ch >= least[length] && ch <= 0x10FFFF && (ch < 0xD800 || ch > 0xDFFF);
    if (good) {
      out.append(text, i, length);
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

}  // namespace

SdlPlatform::SdlPlatform(SettingsStore& store) : store_(store) {}

SdlPlatform::~SdlPlatform() {
  FreeCursors();
  for (const auto& [instance, pad] : controllers_) SDL_GameControllerClose(pad);
  if (controllersReady_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  ui_.SetRenderer(nullptr);
  if (uiSoft_ != nullptr) SDL_DestroyRenderer(uiSoft_);
  if (composed_ != nullptr) SDL_FreeSurface(composed_);
  if (screen_ != nullptr) SDL_DestroyTexture(screen_);
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  CloseAudio();
  if (audioReady_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (videoReady_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

bool SdlPlatform::InitVideo(std::string& error) {
  if (videoReady_) return true;
  // Closing the window is a request the engine may turn down (it can ask first), so SDL must
  // not turn it into a quit of its own.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Players read for minutes without touching anything; the screen saver may do its job.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // A windowed game gains nothing from switching the desktop compositor off.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Termination signals are the engine's to handle: they end the run without the question that
  // SDL's own handler would bring through SDL_QUIT.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  constexpr char kNoDisplay[] = "no display: set DISPLAY or run with --headless";
  const auto envSet = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != 0;
  };
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = envSet("DISPLAY") || envSet("WAYLAND_DISPLAY")
                ? std::string("cannot start the video system: ") + SDL_GetError()
                : kNoDisplay;
    return false;
  }
  // These drivers draw nowhere a player can see; a window there would run forever unseen.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 ||
      std::strcmp(driver, "dummy") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    error = kNoDisplay;
    return false;
  }
  videoReady_ = true;
  // Controllers come with the window: they only mean something to a player in front of it.
  // Without them the game is still played with the mouse and keys.
  controllersReady_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (!controllersReady_) {
    SDL_LogWarn(SDL_LOG_CATEGORY_INPUT, "no game controllers: %s", SDL_GetError());
  }
  return true;
}

bool SdlPlatform::Init(std::string& error) {
  if (window_ != nullptr) return true;
  if (!InitVideo(error)) return false;

  window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             kFrameWidth, kFrameHeight, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    error = std::string("cannot open the window: ") + SDL_GetError();
    return false;
  }
  SDL_SetWindowMinimumSize(window_, kFrameWidth / 4, kFrameHeight / 4);

  // The picture is scaled to whatever size the player gives the window.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // No vsync: the engine paces itself and presents only when the picture changed.
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
  if (renderer_ != nullptr && DrawsInSoftware(renderer_)) {
    // A renderer that rasterises on the processor composes and sends the whole window for
    // every change; the window's own surface takes only the rectangles that changed.
    SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
  }
  if (renderer_ == nullptr) {
    // Otherwise SDL would back the window's surface with a renderer again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    direct_ = SDL_GetWindowSurface(window_) != nullptr;
    if (!direct_) {
      error = std::string("cannot draw into the window: ") + SDL_GetError();
      return false;
    }
  } else {
    if (!CreateTexture(error)) return false;
    UploadAll();
  }
  SDL_ShowWindow(window_);
  SDL_StartTextInput();
  redrawPending_ = true;
  Flush();
  return true;
}

bool SdlPlatform::DrawsInSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  if ((info.flags & SDL_RENDERER_SOFTWARE) != 0) return true;
  if (info.name == nullptr || std::strncmp(info.name, "opengl", 6) != 0) return false;
  // Mesa's rasterisers call themselves accelerated; only the GL renderer string tells. The
  // renderer's context is current right after it is made.
  using GetString = const unsigned char* (*)(unsigned);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr) return false;
  constexpr unsigned kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(getString(kGlRenderer));
  if (name == nullptr) return false;
  for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"}) {
    if (std::strstr(name, software) != nullptr) {
      SDL_Log("drawing without a renderer: %s rasterises on the processor", name);
      return true;
    }
  }
  return false;
}

bool SdlPlatform::CreateTexture(std::string& error) {
  ui_.SetRenderer(renderer_);
  if (screen_ != nullptr) SDL_DestroyTexture(screen_);
  // Without a target texture the interface cannot be scaled with the picture; the game still
  // shows, without the furniture.
  screen_ = SDL_RenderTargetSupported(renderer_) == SDL_TRUE
                ? SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                    kFrameWidth, kFrameHeight)
                : nullptr;
  if (screen_ == nullptr && !screenWarned_) {
    screenWarned_ = true;
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "the renderer cannot draw the tool bar and menus: %s",
                SDL_GetError());
  }
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  // BGR24 is an array format: bytes blue, green, red in memory, exactly the surface's layout.
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                               kFrameWidth, kFrameHeight);
  if (texture_ == nullptr) {
    error = std::string("cannot create the screen texture: ") + SDL_GetError();
    return false;
  }
  return true;
}

void SdlPlatform::SetFullScreen(bool fullScreen) {
  if (window_ == nullptr || fullScreen == FullScreen()) return;
  if (fullScreen) {
    SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
    SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
  }
  // The desktop's own mode: switching the display's mode would shuffle the player's other
  // windows and take seconds on some monitors.
  if (SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_VIDEO, "cannot %s full screen: %s", fullScreen ? "enter" : "leave",
                SDL_GetError());
    return;
  }
  if (!fullScreen && windowed_.w > 0 && windowed_.h > 0) {
    // Not every window manager gives the old size and place back by itself.
    SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
    SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
  }
  // The interface layer lays itself out the same way on its next picture; until then pointer
  // positions and the picture already follow the new layout, and the layer's last picture,
  // drawn for the old one, is not shown (a windowed tool bar would cover the game's top rows).
  uiTop_ = fullScreen ? 0 : kStripHeight;
  ui_.Keep(nullptr);
  redrawPending_ = true;
}

bool SdlPlatform::FullScreen() const {
  return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

uint32_t SdlPlatform::Ticks() {
  return SDL_GetTicks();
}

void SdlPlatform::Sleep(uint32_t ms) {
  Flush();
  SDL_Delay(ms);
}

void SdlPlatform::WaitForInput(uint32_t ms) {
  Flush();
  if (!pending_.empty() || ms == 0) return;
  // An animated cursor wakes the wait for its next picture.
  const auto shown = cursors_.find(shownCursor_);
  if (shown != cursors_.end() && shown->second.steps.size() > 1) {
    const int32_t untilStep = static_cast<int32_t>(cursorStepDue_ - SDL_GetTicks());
    ms = std::min<uint32_t>(ms, static_cast<uint32_t>(std::max(untilStep, 1)));
  }
  // The window system's own wait: no wake-ups until an event or the time is up.
  SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint32_t>(ms, 1000)));
}

bool SdlPlatform::PollEvent(InputEvent& event) {
  StepCursor();
  if (videoReady_) {
    SDL_Event sdlEvent;
    while (pending_.empty() && SDL_PollEvent(&sdlEvent)) Translate(sdlEvent);
  }
  if (pending_.empty()) {
    // Exposes and resizes are drawn once the queue is drained, so a burst of them costs one
    // window update.
    if (redrawPending_) Flush();
    return false;
  }
  event = pending_.front();
  pending_.pop_front();
  return true;
}

void SdlPlatform::Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT: {
      InputEvent close;
      close.kind = InputEvent::Kind::kClose;
      pending_.push_back(close);
      break;
    }
    case SDL_WINDOWEVENT:
      if (window_ == nullptr || event.window.windowID != SDL_GetWindowID(window_)) break;
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        InputEvent close;
        close.kind = InputEvent::Kind::kClose;
        pending_.push_back(close);
      } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                 event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        InputEvent focus;
        focus.kind = InputEvent::Kind::kFocus;
        focus.delta = event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ? 1 : 0;
        pending_.push_back(focus);
      } else if (IsRedrawEvent(event.window.event)) {
        redrawPending_ = true;
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          InputEvent repaint;
          repaint.kind = InputEvent::Kind::kRepaint;
          pending_.push_back(repaint);
        }
      }
      break;
    case SDL_RENDER_DEVICE_RESET: {
      std::string error;
      if (!CreateTexture(error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "%s", error.c_str());
        break;
      }
      UploadAll();
      redrawPending_ = true;
      // The interface's picture went with the textures; the engine draws everything again.
      InputEvent repaint;
      repaint.kind = InputEvent::Kind::kRepaint;
      pending_.push_back(repaint);
      break;
    }
    case SDL_RENDER_TARGETS_RESET:
      UploadAll();
      redrawPending_ = true;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateMouseButton(event, event.type == SDL_MOUSEBUTTONDOWN);
      break;
    case SDL_MOUSEMOTION:
      PushGameMouse(InputEvent::Kind::kMouseMove, WindowToFrame(event.motion.x, event.motion.y),
                    MouseButton::kLeft, 0);
      break;
    case SDL_MOUSEWHEEL: {
      int notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches == 0 || window_ == nullptr) break;
      int x = 0;
      int y = 0;
      SDL_GetMouseState(&x, &y);
      PushGameMouse(InputEvent::Kind::kWheel, WindowToFrame(x, y), MouseButton::kLeft,
                    notches * kWheelNotch);
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(event, event.type == SDL_KEYDOWN);
      break;
    case SDL_TEXTINPUT: {
      // The whole text for the interface layer's fields, an IME's composition included.
      InputEvent text;
      text.kind = InputEvent::Kind::kTextInput;
      text.text = CleanUtf8(event.text.text);
      pending_.push_back(text);
      break;
    }
    case SDL_TEXTEDITING: {
      // The composition so far, shown by the field until the input method commits it.
      InputEvent editing;
      editing.kind = InputEvent::Kind::kTextEditing;
      editing.text = CleanUtf8(event.edit.text);
      editing.delta = event.edit.start;
      pending_.push_back(editing);
      break;
    }
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
      TranslateController(event);
      break;
    default:
      break;
  }
}

void SdlPlatform::TranslateMouseButton(const SDL_Event& event, bool down) {
  const std::optional<MouseButton> button = FromSdlButton(event.button.button);
  if (!button) return;
  // The strip too: the interface layer decides what a press there means.
  PushGameMouse(down ? InputEvent::Kind::kMouseDown : InputEvent::Kind::kMouseUp,
                WindowToFrame(event.button.x, event.button.y), *button, 0);
}

void SdlPlatform::TranslateKey(const SDL_Event& event, bool down) {
  InputEvent key;
  key.kind = down ? InputEvent::Kind::kKeyDown : InputEvent::Kind::kKeyUp;
  key.key = FromSdlKey(event.key.keysym.sym, key.ch);
  if (key.key == Key::kNone) return;
  key.repeat = event.key.repeat != 0;
  key.alt = (event.key.keysym.mod & KMOD_ALT) != 0;
  if (down && key.alt && key.key == Key::kEnter) {
    // Alt+Enter is the window's, not a key the game reads.
    if (!key.repeat) {
      InputEvent toggle;
      toggle.kind = InputEvent::Kind::kToggleFullScreen;
      pending_.push_back(toggle);
    }
    return;
  }
  pending_.push_back(key);
  if (!down) return;
  // Repeats type again, as held keys do.
  if (const char typed = TypedCharacter(key.key, key.ch, event.key.keysym.mod); typed != 0) {
    InputEvent character;
    character.kind = InputEvent::Kind::kKeyChar;
    character.key = key.key;
    character.ch = typed;
    character.repeat = key.repeat;
    pending_.push_back(character);
  }
}

void SdlPlatform::TranslateController(const SDL_Event& event) {
  // Press above the upper mark, release below the lower one: a trigger resting half-way does
  // not flicker between the two.
  constexpr int kTriggerPress = 16000;
  constexpr int kTriggerRelease = 8000;
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
      OpenController(event.cdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      CloseController(event.cdevice.which);
      break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      const bool down = event.type == SDL_CONTROLLERBUTTONDOWN;
      switch (event.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A:
          PushPad(PadButton::kA, down);
          break;
        case SDL_CONTROLLER_BUTTON_B:
          PushPad(PadButton::kB, down);
          break;
        case SDL_CONTROLLER_BUTTON_X:
          PushPad(PadButton::kX, down);
          break;
        case SDL_CONTROLLER_BUTTON_Y:
          PushPad(PadButton::kY, down);
          break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
          PushPad(PadButton::kUp, down);
          break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
          PushPad(PadButton::kDown, down);
          break;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
          PushPad(PadButton::kLeftShoulder, down);
          break;
        case SDL_CONTROLLER_BUTTON_START:
          PushPad(PadButton::kStart, down);
          break;
        default:
          break;
      }
      break;
    }
    case SDL_CONTROLLERAXISMOTION: {
      if (event.caxis.axis != SDL_CONTROLLER_AXIS_TRIGGERRIGHT) break;
      bool& held = triggerHeld_[event.caxis.which];
      if (!held && event.caxis.value > kTriggerPress) {
        held = true;
        PushPad(PadButton::kRightTrigger, true);
      } else if (held && event.caxis.value < kTriggerRelease) {
        held = false;
        PushPad(PadButton::kRightTrigger, false);
      }
      break;
    }
    default:
      break;
  }
}

void SdlPlatform::PushPad(PadButton button, bool down) {
  for (const InputEvent& e : PadEvents(button, down, pointerX_, pointerY_)) pending_.push_back(e);
}

void SdlPlatform::OpenController(int deviceIndex) {
  if (!controllersReady_) return;
  SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
  if (pad == nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_INPUT, "cannot open the controller %d: %s", deviceIndex,
                SDL_GetError());
    return;
  }
  const SDL_JoystickID instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
  // SDL announces controllers present at start-up once more; the handle is shared, so the
  // second open only adds a reference to drop.
  if (!controllers_.emplace(instance, pad).second) SDL_GameControllerClose(pad);
}

void SdlPlatform::CloseController(int32_t instance) {
  // A trigger held while the cable came out would otherwise skip for ever.
  if (auto held = triggerHeld_.find(instance); held != triggerHeld_.end()) {
    if (held->second) PushPad(PadButton::kRightTrigger, false);
    triggerHeld_.erase(held);
  }
  auto open = controllers_.find(instance);
  if (open == controllers_.end()) return;
  SDL_GameControllerClose(open->second);
  controllers_.erase(open);
}

void SdlPlatform::PushGameMouse(InputEvent::Kind kind, FramePoint point, MouseButton button,
                                int delta) {
  InputEvent mouse;
  mouse.kind = kind;
  mouse.x = std::clamp(point.x, 0, kGameWidth - 1);
  // The strip's rows are negative; a point outside the frame goes to its nearest edge.
  mouse.y = std::clamp(point.y - uiTop_, -uiTop_, kGameHeight - 1);
  mouse.button = button;
  mouse.delta = delta;
  pointerX_ = mouse.x;
  pointerY_ = mouse.y;
  pending_.push_back(mouse);
}

int SdlPlatform::FrameHeight() const {
  return uiTop_ + kGameHeight;
}

bool SdlPlatform::OutputSize(int& width, int& height) const {
  width = 0;
  height = 0;
  if (window_ == nullptr) return false;
  if (renderer_ != nullptr) {
    SDL_GetRendererOutputSize(renderer_, &width, &height);
  } else {
    SDL_GetWindowSizeInPixels(window_, &width, &height);
  }
  return width > 0 && height > 0;
}

SdlPlatform::FramePoint SdlPlatform::WindowToFrame(int windowX, int windowY) const {
  int windowWidth = 0;
  int windowHeight = 0;
  int outputWidth = 0;
  int outputHeight = 0;
  if (!OutputSize(outputWidth, outputHeight)) return {};
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  if (windowWidth <= 0 || windowHeight <= 0) return {};
  // Window coordinates are in points; the output may have more pixels than that (high DPI).
  const double px = (windowX + 0.5) * outputWidth / windowWidth;
  const double py = (windowY + 0.5) * outputHeight / windowHeight;
  const SDL_Rect picture = PictureRect(outputWidth, outputHeight, FrameHeight());
  return FramePoint{static_cast<int>(std::floor((px - picture.x) * kFrameWidth / picture.w)),
                    static_cast<int>(std::floor((py - picture.y) * FrameHeight() / picture.h))};
}

void SdlPlatform::SetTextInputRect(int x, int y, int w, int h) {
  int windowWidth = 0;
  int windowHeight = 0;
  int outputWidth = 0;
  int outputHeight = 0;
  if (!OutputSize(outputWidth, outputHeight)) return;
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  if (windowWidth <= 0 || windowHeight <= 0) return;
  // Frame pixels to window points, through the scaled and letterboxed picture.
  const SDL_Rect picture = PictureRect(outputWidth, outputHeight, FrameHeight());
  const double sx = static_cast<double>(picture.w) / kFrameWidth;
  const double sy = static_cast<double>(picture.h) / FrameHeight();
  const double toPointsX = static_cast<double>(windowWidth) / outputWidth;
  const double toPointsY = static_cast<double>(windowHeight) / outputHeight;
  SDL_Rect rect;
  rect.x = static_cast<int>((picture.x + x * sx) * toPointsX);
  rect.y = static_cast<int>((picture.y + y * sy) * toPointsY);
  rect.w = std::max(1, static_cast<int>(w * sx * toPointsX));
  rect.h = std::max(1, static_cast<int>(h * sy * toPointsY));
  SDL_SetTextInputRect(&rect);
}

void SdlPlatform::WarpMouse(int x, int y) {
  int windowWidth = 0;
  int windowHeight = 0;
  int outputWidth = 0;
  int outputHeight = 0;
  if (!OutputSize(outputWidth, outputHeight)) return;
  SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
  if (windowWidth <= 0 || windowHeight <= 0) return;
  const SDL_Rect picture = PictureRect(outputWidth, outputHeight, FrameHeight());
  const double px = picture.x + (x + 0.5) * picture.w / kFrameWidth;
  const double py = picture.y + (y + uiTop_ + 0.5) * picture.h / FrameHeight();
  SDL_WarpMouseInWindow(window_, static_cast<int>(px * windowWidth / outputWidth),
                        static_cast<int>(py * windowHeight / outputHeight));
  // A controller press right after acts where the pointer went, before its move event arrives.
  pointerX_ = std::clamp(x, 0, kGameWidth - 1);
  pointerY_ = std::clamp(y, -uiTop_, kGameHeight - 1);
}

void SdlPlatform::PresentUi(ImDrawData* drawData, int gameTop) {
  const int top = std::clamp(gameTop, 0, kStripHeight);
  // A new layout moves everything: the whole window is drawn again.
  if (top != uiTop_) redrawPending_ = true;
  uiTop_ = top;
  ui_.Keep(drawData);
  uiChanged_ = true;
}

void SdlPlatform::UploadAll() {
  if (texture_ == nullptr) return;
  // The strip's rows are black under the tool bar.
  const std::vector<uint8_t> black(static_cast<size_t>(kFrameWidth) * 3 * kStripHeight, 0);
  const SDL_Rect strip{0, 0, kFrameWidth, kStripHeight};
  SDL_UpdateTexture(texture_, &strip, black.data(), kFrameWidth * 3);
  UploadGame(ScreenRect{0, 0, kGameWidth, kGameHeight});
}

void SdlPlatform::UploadGame(const ScreenRect& r) {
  if (texture_ == nullptr) return;
  const Surface& shown = batch_.Shown();
  const SDL_Rect area{r.x, kStripHeight + r.y, r.w, r.h};
  SDL_UpdateTexture(texture_, &area, shown.Row(r.y) + r.x * 3, shown.Stride());
}

void SdlPlatform::Redraw() {
  if (renderer_ == nullptr || texture_ == nullptr) return;
  int outputWidth = 0;
  int outputHeight = 0;
  SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
  // The frame shows the strip's rows only while the layout has a strip (not in full screen).
  const SDL_Rect frameRows{0, kStripHeight - uiTop_, kFrameWidth, FrameHeight()};
  const SDL_Rect composed{0, 0, kFrameWidth, FrameHeight()};
  const SDL_Texture* shown = texture_;
  if (screen_ != nullptr && SDL_SetRenderTarget(renderer_, screen_) == 0) {
    // Composed at frame size and scaled as a whole, so the furniture scales with the picture.
    SDL_RenderCopy(renderer_, texture_, &frameRows, &composed);
    ui_.Draw();
    SDL_SetRenderTarget(renderer_, nullptr);
    shown = screen_;
  }
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (outputWidth > 0 && outputHeight > 0) {
    const SDL_Rect picture =
        MovedPicture(PictureRect(outputWidth, outputHeight, FrameHeight()), pictureDx_, pictureDy_);
    SDL_RenderCopy(renderer_, const_cast<SDL_Texture*>(shown),
                   shown == screen_ ? &composed : &frameRows, &picture);
  }
  SDL_RenderPresent(renderer_);
}

bool SdlPlatform::ComposedReady(const SDL_Surface* windowSurface) {
  // The composed frame takes the window surface's own format where it has 32 bits a pixel, so
  // copying and scaling into the window converts nothing.
  const uint32_t format = windowSurface->format->BitsPerPixel == 32
                              ? windowSurface->format->format
                              : static_cast<uint32_t>(SDL_PIXELFORMAT_XRGB8888);
  if (composed_ != nullptr && composed_->format->format == format) return true;
  ui_.SetRenderer(nullptr);
  if (uiSoft_ != nullptr) SDL_DestroyRenderer(uiSoft_);
  if (composed_ != nullptr) SDL_FreeSurface(composed_);
  uiSoft_ = nullptr;
  composed_ = SDL_CreateRGBSurfaceWithFormat(0, kFrameWidth, kFrameHeight, 32, format);
  if (composed_ != nullptr) uiSoft_ = SDL_CreateSoftwareRenderer(composed_);
  if (uiSoft_ == nullptr) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "cannot compose the window's picture: %s",
                 SDL_GetError());
    return false;
  }
  // The interface's last picture went with the old renderer; the layer draws it again.
  ui_.SetRenderer(uiSoft_);
  redrawPending_ = true;
  return true;
}

void SdlPlatform::ShowDirect(const ScreenRect* game) {
  SDL_Surface* window = SDL_GetWindowSurface(window_);
  if (window == nullptr || !ComposedReady(window)) return;
  const int height = FrameHeight();
  const ScreenRect frame{0, 0, kFrameWidth, height};
  const ScreenRect ui = ui_.Empty() ? ScreenRect{} : Intersection(ui_.Bounds(), frame);
  const bool whole = redrawPending_;
  ScreenRect region;
  if (whole) {
    region = frame;
  } else {
    if (game != nullptr)
      region = Union(region, ScreenRect{game->x, game->y + uiTop_, game->w, game->h});
    // Where the interface's old picture lay, the game shows again.
    if (uiChanged_) region = Union(Union(region, uiShown_), ui);
  }
  // The interface is drawn whole, so all of it is composed afresh under it first: drawn over
  // its own last picture, its translucent edges would darken.
  const bool drawUi = ui.w > 0 && Intersection(region, ui).w > 0;
  if (drawUi) region = Union(region, ui);
  region = Intersection(region, frame);
  uiShown_ = ui;
  if (region.w <= 0) return;

  // The game's rows (black above them on the strip) in the composed frame's format.
  auto* pixels = static_cast<uint8_t*>(composed_->pixels);
  const Surface& shown = batch_.Shown();
  for (int row = region.y; row < region.y + region.h; ++row) {
    uint8_t* to = pixels + static_cast<ptrdiff_t>(row) * composed_->pitch + region.x * 4;
    if (row < uiTop_) {
      std::memset(to, 0, static_cast<size_t>(region.w) * 4);
    } else {
      SDL_ConvertPixels(region.w, 1, SDL_PIXELFORMAT_BGR24, shown.Row(row - uiTop_) + region.x * 3,
                        shown.Stride(), composed_->format->format, to, composed_->pitch);
    }
  }
  if (drawUi) {
    ui_.Draw();
    SDL_RenderFlush(uiSoft_);
  }

  int outputWidth = 0;
  int outputHeight = 0;
  if (!OutputSize(outputWidth, outputHeight)) return;
  // The window surface may lag behind a resize by an event; the picture goes where it fits now.
  outputWidth = std::min(outputWidth, window->w);
  outputHeight = std::min(outputHeight, window->h);
  const SDL_Rect picture =
      MovedPicture(PictureRect(outputWidth, outputHeight, height), pictureDx_, pictureDy_);
  if (whole) SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 0, 0));
  SDL_Rect src{region.x, region.y, region.w, region.h};
  SDL_Rect dst;
  if (picture.w == kFrameWidth && picture.h == height) {
    dst = SDL_Rect{picture.x + src.x, picture.y + src.y, src.w, src.h};
    SDL_BlitSurface(composed_, &src, window, &dst);
  } else {
    if (!whole) {
      // A pixel more on each side: the filter reads the neighbours of the edge pixels.
      const ScreenRect grown =
          Intersection(ScreenRect{region.x - 1, region.y - 1, region.w + 2, region.h + 2}, frame);
      src = SDL_Rect{grown.x, grown.y, grown.w, grown.h};
    }
    const auto scaleX = [&](int x) { return picture.x + x * picture.w / kFrameWidth; };
    const auto scaleY = [&](int y) { return picture.y + y * picture.h / height; };
    dst.x = scaleX(src.x);
    dst.y = scaleY(src.y);
    dst.w = std::max(1, scaleX(src.x + src.w) - dst.x);
    dst.h = std::max(1, scaleY(src.y + src.h) - dst.y);
    if (composed_->format->format != window->format->format ||
        SDL_SoftStretchLinear(composed_, &src, window, &dst) != 0) {
      SDL_BlitScaled(composed_, &src, window, &dst);
    }
  }
  if (whole) {
    SDL_UpdateWindowSurface(window_);
  } else {
    SDL_UpdateWindowSurfaceRects(window_, &dst, 1);
  }
}

void SdlPlatform::Flush() {
  if (window_ == nullptr) return;
  ScreenRect game;
  const bool gameChanged = batch_.Take(game);
  if (!gameChanged && !uiChanged_ && !redrawPending_) return;
  if (direct_) {
    ShowDirect(gameChanged ? &game : nullptr);
  } else {
    if (gameChanged) UploadGame(game);
    Redraw();
  }
  uiChanged_ = false;
  redrawPending_ = false;
}

void SdlPlatform::PresentRects(const Surface& gameArea, std::span<const ScreenRect> rects) {
  if (!MayPresent(gameArea)) return;
  for (const ScreenRect& r : rects) batch_.Copy(gameArea, r);
}

void SdlPlatform::WindowPosition(int& x, int& y) {
  x = 0;
  y = 0;
  if (window_ != nullptr) SDL_GetWindowPosition(window_, &x, &y);
}

void SdlPlatform::SetPictureOffset(int dx, int dy) {
  if (dx == pictureDx_ && dy == pictureDy_) return;
  pictureDx_ = dx;
  pictureDy_ = dy;
  // The edge the picture leaves must turn black, so the whole window is drawn again.
  redrawPending_ = true;
  Flush();
}

void SdlPlatform::MoveWindow(int x, int y) {
  if (window_ == nullptr || FullScreen()) return;
  SDL_SetWindowPosition(window_, x, y);
}

void SdlPlatform::Present(const Surface& gameArea) {
  if (!MayPresent(gameArea)) return;
  batch_.Copy(gameArea, ScreenRect{0, 0, kGameWidth, kGameHeight});
}

void SdlPlatform::PresentRect(const Surface& gameArea, int x, int y, int w, int h) {
  if (!MayPresent(gameArea)) return;
  batch_.Copy(gameArea, ScreenRect{x, y, w, h});
}

void SdlPlatform::ShownGameArea(Surface& out) {
  out = batch_.Drawn();
}

void SdlPlatform::SetTitle(const std::string& utf8Title) {
  // Re-encoded so a title from game data with broken UTF-8 reaches the window manager intact.
  title_ = CleanUtf8(utf8Title);
  if (window_ != nullptr) SDL_SetWindowTitle(window_, title_.c_str());
}

MessageBoxAnswer SdlPlatform::ShowMessageBox(const std::string& utf8Text,
                                             const std::string& utf8Caption, MessageBoxKind kind) {
  const MessageBoxAnswer escapeAnswer =
      kind == MessageBoxKind::kOkCancel ? MessageBoxAnswer::kCancel : MessageBoxAnswer::kOk;
  if (window_ == nullptr) {
    // Nowhere to draw (the window failed to open): at least the terminal hears about it, and
    // a question gets the cautious answer.
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    return escapeAnswer;
  }
  if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window_);
  SDL_RaiseWindow(window_);

  // SDL's own box would block in the windowing system where no termination signal reaches it;
  // this loop answers a signal like the close box.
  UiLayer layer(*this);
  layer.SetLayout(FullScreen() ? 0 : kStripHeight, false);
  layer.OpenMessageBox(utf8Text, utf8Caption, kind);
  layer.Render(SDL_GetTicks(), true);
  std::optional<MessageBoxAnswer> answer;
  while (!answer) {
    if (TerminationSignalled()) {
      answer = MessageBoxAnswer::kCancel;
      break;
    }
    InputEvent event;
    bool any = false;
    while (!answer && PollEvent(event)) {
      any = true;
      if (event.kind == InputEvent::Kind::kClose) {
        answer = escapeAnswer;
      } else if (event.kind == InputEvent::Kind::kToggleFullScreen) {
        SetFullScreen(!FullScreen());
        layer.SetLayout(FullScreen() ? 0 : kStripHeight, false);
      } else {
        layer.Feed(event);
        if (!layer.MessageBoxOpen()) answer = layer.TakeMessageBoxAnswer();
      }
    }
    if (answer) break;
    layer.Render(SDL_GetTicks(), redrawPending_);
    Flush();
    // Sleeps in the windowing system's own wait; the timeout only bounds a lost wake-up.
    if (!any) SDL_WaitEventTimeout(nullptr, 100);
  }
  PresentUi(nullptr, uiTop_);
  Flush();
  return *answer;
}

bool SdlPlatform::HasAudioOutput() {
  // Asked once: opening the audio system is slow on some set-ups, and the answer matters only
  // when the engine decides whether to play sound at all.
  if (!audioTried_) {
    audioTried_ = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
      audioReady_ = true;
      audioOutput_ = SDL_GetNumAudioDevices(0) > 0;
      // The audio system watches for devices on a thread of its own that wakes ten times a
      // second; a game that stays silent does not need it.
      if (!audioOutput_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioReady_ = false;
      }
    }
  }
  return audioOutput_;
}

namespace {

void MixInto(void* mixer, Uint8* stream, int bytes) {
  static_cast<Mixer*>(mixer)->Mix(reinterpret_cast<int16_t*>(stream),
                                  static_cast<size_t>(bytes) / (2 * sizeof(int16_t)));
}

}  // namespace

bool SdlPlatform::OpenAudio(Mixer& mixer) {
  CloseAudio();
  if (!HasAudioOutput()) return false;
  SDL_AudioSpec want{};
  want.freq = 48000;
  // The rate the device runs at anyway, so SDL need not resample after the mixer did.
  if (SDL_AudioSpec preferred{}; SDL_GetDefaultAudioInfo(nullptr, &preferred, 0) == 0 &&
                                 preferred.freq >= 8000 && preferred.freq <= 192000) {
    want.freq = preferred.freq;
  }
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = MixInto;
  want.userdata = &mixer;
  SDL_AudioSpec have{};
  audioDevice_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (audioDevice_ == 0) {
    LogMessage(std::string("no sound: cannot open the audio device: ") + SDL_GetError());
    return false;
  }
  // Paused until the mixer knows the rate it mixes for.
  mixer.SetDeviceRate(have.freq);
  SDL_PauseAudioDevice(audioDevice_, 0);
  return true;
}

void SdlPlatform::CloseAudio() {
  if (audioDevice_ != 0) SDL_CloseAudioDevice(audioDevice_);
  audioDevice_ = 0;
}

void SdlPlatform::DesktopSize(int& width, int& height) {
  width = 1024;
  height = 768;
  std::string error;
  if (!InitVideo(error)) return;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    width = mode.w;
    height = mode.h;
  }
}

bool SdlPlatform::RegisterCursor(int number, const CursorAnimation& animation) {
  if (!videoReady_ || number < 1 || animation.frames.empty() || animation.steps.empty()) {
    return false;
  }
  AnimatedSdlCursor made;
  for (const CursorFrame& frame : animation.frames) {
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(frame.argb.data()), frame.width, frame.height, 32, frame.width * 4,
        SDL_PIXELFORMAT_ARGB8888);
    SDL_Cursor* cursor = picture ? SDL_CreateColorCursor(picture, frame.hotX, frame.hotY) : nullptr;
    if (picture) SDL_FreeSurface(picture);
    if (cursor == nullptr) {
      LogMessage("cursor " + std::to_string(number) + " cannot be made: " + SDL_GetError());
      for (SDL_Cursor* c : made.pictures) SDL_FreeCursor(c);
      return false;
    }
    made.pictures.push_back(cursor);
  }
  made.steps = animation.steps;
  const auto old = cursors_.find(number);
  if (old != cursors_.end()) {
    if (shownCursor_ == number) SDL_SetCursor(SDL_GetDefaultCursor());
    for (SDL_Cursor* c : old->second.pictures) SDL_FreeCursor(c);
    if (shownCursor_ == number) shownCursor_ = 0;
  }
  cursors_[number] = std::move(made);
  return true;
}

void SdlPlatform::ShowCursor(int number) {
  if (!videoReady_) return;
  const auto it = cursors_.find(number);
  if (it == cursors_.end()) {
    shownCursor_ = 0;
    SDL_SetCursor(SDL_GetDefaultCursor());
    return;
  }
  if (shownCursor_ == number) return;
  shownCursor_ = number;
  cursorStep_ = 0;
  const CursorAnimation::Step& step = it->second.steps.front();
  SDL_SetCursor(it->second.pictures[static_cast<size_t>(step.frame)]);
  cursorStepDue_ = SDL_GetTicks() + step.ms;
}

void SdlPlatform::StepCursor() {
  const auto it = cursors_.find(shownCursor_);
  if (it == cursors_.end() || it->second.steps.size() < 2) return;
  const uint32_t now = SDL_GetTicks();
  if (static_cast<int32_t>(now - cursorStepDue_) < 0) return;
  const auto& steps = it->second.steps;
  cursorStep_ = (cursorStep_ + 1) % steps.size();
  SDL_SetCursor(it->second.pictures[static_cast<size_t>(steps[cursorStep_].frame)]);
  // Late by more than a step (the window was busy): the next step is timed from now.
  cursorStepDue_ += steps[cursorStep_].ms;
  if (static_cast<int32_t>(now - cursorStepDue_) >= 0) cursorStepDue_ = now + steps[cursorStep_].ms;
}

void SdlPlatform::FreeCursors() {
  if (cursors_.empty()) return;
  SDL_SetCursor(SDL_GetDefaultCursor());
  for (auto& [number, cursor] : cursors_) {
    for (SDL_Cursor* c : cursor.pictures) SDL_FreeCursor(c);
  }
  cursors_.clear();
  shownCursor_ = 0;
}

}  // namespace zorvel
