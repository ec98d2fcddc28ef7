// The player's platform: one resizable SDL window showing a tool bar strip above the 800 x 600
// game area, scaled as a whole to fit the window. Presents are batched (PresentBatch) and the
// window is updated at a flush. With a renderer that has a graphics processor behind it, the
// game picture is uploaded to one streaming texture and the frame is composed and scaled by it;
// where rendering would run on the processor (no GPU driver, a virtual X server), the frame is
// composed in memory and only the rectangle that changed is sent to the window's own surface.
// Either way the interface layer's last picture (tool bar, menus, boxes) is kept, so exposes
// and resizes never need the engine to draw again.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "graphics/surface.h"
#include "platform/controller.h"
#include "platform/platform.h"
#include "platform/present_batch.h"
#include "platform/ui_render/ui_renderer.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;
struct SDL_Cursor;
struct _SDL_GameController;
union SDL_Event;

namespace zorvel {

class SdlPlatform : public Platform {
 public:
  explicit SdlPlatform(SettingsStore& store);
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Opens the window. A missing Japanese font is only warned about; no window is an error.
  bool Init(std::string& error);

  // The desktop's full-screen mode (no mode change) versus the normal window, put back at the
  // size and place it had; the picture keeps its aspect either way.
  void SetFullScreen(bool fullScreen) override;
  bool FullScreen() const override;
  void WarpMouse(int x, int y) override;
  void SetTextInputRect(int x, int y, int w, int h) override;

  uint32_t Ticks() override;
  void Sleep(uint32_t ms) override;
  void WaitForInput(uint32_t ms) override;
  bool PollEvent(InputEvent& event) override;
  void Present(const Surface& gameArea) override;
  void PresentRect(const Surface& gameArea, int x, int y, int w, int h) override;
  void PresentRects(const Surface& gameArea, std::span<const ScreenRect> rects) override;
  void ShownGameArea(Surface& out) override;
  void Flush() override;
  void SetTitle(const std::string& utf8Title) override;
  // The engine asks its own interface layer; this box is for messages before an engine
  // exists (another instance running) and runs a layer of its own.
  MessageBoxAnswer ShowMessageBox(const std::string& utf8Text, const std::string& utf8Caption,
                                  MessageBoxKind kind) override;
  void PresentUi(ImDrawData* drawData, int gameTop) override;
  bool HasAudioOutput() override;
  // The default device at its preferred rate, 16-bit stereo; SDL's callback mixes.
  bool OpenAudio(Mixer& mixer) override;
  void CloseAudio() override;
  void DesktopSize(int& width, int& height) override;
  void WindowPosition(int& x, int& y) override;
  void MoveWindow(int x, int y) override;
  void SetPictureOffset(int dx, int dy) override;
  SettingsStore& Settings() override { return store_; }
  // Colour cursors, one SDL cursor a picture; the platform steps the shown one's pictures at
  // their own times while events are polled and waited for.
  bool RegisterCursor(int number, const CursorAnimation& animation) override;
  void ShowCursor(int number) override;

  // The window itself, for tests that size and move it as a player would.
  SDL_Window* Window() const { return window_; }

 private:
  struct FramePoint {
    int x = 0;  // frame coordinates: the strip (when shown) on rows 0..23, game area below
    int y = 0;
  };

  // A window's size and place on the desktop.
  struct WindowPlace {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
  };

  bool InitVideo(std::string& error);
  bool CreateTexture(std::string& error);

  void Translate(const SDL_Event& event);
  void TranslateMouseButton(const SDL_Event& event, bool down);
  void TranslateKey(const SDL_Event& event, bool down);
  void TranslateController(const SDL_Event& event);
  void PushPad(PadButton button, bool down);
  void OpenController(int deviceIndex);
  void CloseController(int32_t instance);
  void PushGameMouse(InputEvent::Kind kind, FramePoint point, MouseButton button, int delta);

  // True for a renderer that rasterises on the processor (Mesa's llvmpipe and its kin).
  static bool DrawsInSoftware(SDL_Renderer* renderer);
  // The window's size in pixels; false before it exists or while it has none.
  bool OutputSize(int& width, int& height) const;
  FramePoint WindowToFrame(int windowX, int windowY) const;
  int FrameHeight() const;
  // The texture path: sends the shown game area (all of it, or a rectangle) to the texture,
  // and composes and presents the whole frame.
  void UploadAll();
  void UploadGame(const ScreenRect& r);
  void Redraw();
  // The window-surface path: composes what changed (the game's rectangle, the interface
  // layer's old and new places) and sends only that to the window, all of it after a resize.
  bool ComposedReady(const SDL_Surface* windowSurface);
  void ShowDirect(const ScreenRect* game);

  SettingsStore& store_;
  bool videoReady_ = false;
  bool audioTried_ = false;
  bool audioReady_ = false;
  bool audioOutput_ = false;
  uint32_t audioDevice_ = 0;
  bool controllersReady_ = false;

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* screen_ = nullptr;  // game picture and interface composed at frame size
  // Without a renderer: the frame in the window surface's format, the interface drawn over it
  // by a software renderer of its own, and where that picture lies.
  bool direct_ = false;
  SDL_Surface* composed_ = nullptr;
  SDL_Renderer* uiSoft_ = nullptr;
  ScreenRect uiShown_;

  UiRenderer ui_;
  int uiTop_ = 24;  // where the game area starts in the frame the interface layer drew
  PresentBatch batch_;
  bool uiChanged_ = false;  // the interface layer's picture changed since the last flush
  std::string title_;

  // Open controllers by SDL instance id, and the ones whose right trigger is held down.
  std::map<int32_t, _SDL_GameController*> controllers_;
  std::map<int32_t, bool> triggerHeld_;
  // The game-area point the pointer was last reported at, where controller presses act.
  int pointerX_ = 0;
  int pointerY_ = 0;
  // The window as it was before full screen, put back on leaving it.
  WindowPlace windowed_;

  struct AnimatedSdlCursor {
    std::vector<SDL_Cursor*> pictures;
    std::vector<CursorAnimation::Step> steps;
  };
  // Shows the next picture of the shown cursor once its step's time is up.
  void StepCursor();
  void FreeCursors();
  std::map<int, AnimatedSdlCursor> cursors_;
  int shownCursor_ = 0;
  size_t cursorStep_ = 0;
  uint32_t cursorStepDue_ = 0;

  std::deque<InputEvent> pending_;
  bool redrawPending_ = false;
  // A full-screen shake moves the picture inside the screen by this many game pixels.
  int pictureDx_ = 0;
  int pictureDy_ = 0;
  bool screenWarned_ = false;
};

}  // namespace zorvel
