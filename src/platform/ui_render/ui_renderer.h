// Draws the interface layer's pictures with an SDL_Renderer (a window's, or a software one over
// a plain surface) through ImGui's SDL_Renderer backend. The draw data handed to PresentUi lives
// only until the layer's next frame, and the window must be able to paint it again on an expose
// or under a new game picture, so the renderer keeps its own copy. Texture ids in the draw data
// are the layer's token for the font atlas of the ImGui context current during PresentUi; the
// atlas is uploaded once per token.
#pragma once

#include <vector>

#include "platform/platform.h"

struct ImDrawData;
struct ImDrawList;
struct ImFontAtlas;
struct ImGuiContext;
struct SDL_Renderer;
struct SDL_Texture;

namespace zorvel {

class UiRenderer {
 public:
  UiRenderer() = default;
  ~UiRenderer();
  UiRenderer(const UiRenderer&) = delete;
  UiRenderer& operator=(const UiRenderer&) = delete;

  // The renderer to draw with (null before destroying it); call again after a device reset.
  // The kept picture is dropped.
  void SetRenderer(SDL_Renderer* renderer);
  // Keeps a copy of the frame's draw data (null: nothing to draw); needs no renderer yet. Call
  // while the layer's context is current, as PresentUi is.
  void Keep(ImDrawData* drawData);
  bool Empty() const { return lists_.empty(); }
  // The frame rectangle that holds everything the kept picture draws (empty for none).
  const ScreenRect& Bounds() const { return bounds_; }
  // Draws the kept picture in frame coordinates onto the renderer's current target.
  void Draw();

 private:
  void Clear();
  void UploadAtlas();

  SDL_Renderer* renderer_ = nullptr;
  ImFontAtlas* fonts_ = nullptr;  // of the layer whose picture is kept
  void* keptToken_ = nullptr;     // its atlas token in the kept picture
  bool remapped_ = false;         // the kept picture's texture ids name this renderer's atlas
  SDL_Texture* atlas_ = nullptr;
  void* atlasToken_ = nullptr;
  ImGuiContext* host_ = nullptr;  // holds the backend's state; never builds a frame
  std::vector<ImDrawList*> lists_;
  float width_ = 0;
  float height_ = 0;
  ScreenRect bounds_;
};

}  // namespace zorvel
