#include "platform/ui_render/ui_renderer.h"

#include <SDL.h>
#include <imgui_impl_sdlrenderer.h>

#include <algorithm>
#include <cmath>

#include "ui/imgui_engine.h"

namespace zorvel {

UiRenderer::~UiRenderer() {
  Clear();
  SetRenderer(nullptr);
  if (host_ != nullptr) ImGui::DestroyContext(host_);
}

void UiRenderer::SetRenderer(SDL_Renderer* renderer) {
  if (host_ != nullptr) {
    ContextScope scope(host_);
    if (ImGui::GetIO().BackendRendererUserData != nullptr) ImGui_ImplSDLRenderer_Shutdown();
  }
  // The kept picture names the old atlas texture; the layer's next frame brings a new one.
  if (remapped_) Clear();
  if (atlas_ != nullptr) SDL_DestroyTexture(atlas_);
  atlas_ = nullptr;
  atlasToken_ = nullptr;
  renderer_ = renderer;
  if (renderer_ == nullptr) return;
  if (host_ == nullptr) {
    ImGuiContext* previous = ImGui::GetCurrentContext();
    host_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(previous);
  }
  ContextScope scope(host_);
  ImGui::GetIO().IniFilename = nullptr;
  ImGui_ImplSDLRenderer_Init(renderer_);
}

void UiRenderer::Clear() {
  for (ImDrawList* list : lists_) IM_DELETE(list);
  lists_.clear();
  bounds_ = ScreenRect{};
}

void UiRenderer::Keep(ImDrawData* drawData) {
  Clear();
  if (drawData == nullptr || !drawData->Valid) return;
  // Only the copy is made here: a headless run that never asks for a picture never needs a
  // renderer, a surface or the atlas texture.
  fonts_ = ImGui::GetCurrentContext() != nullptr ? ImGui::GetIO().Fonts : nullptr;
  keptToken_ = fonts_ != nullptr ? fonts_->TexID : nullptr;
  for (int i = 0; i < drawData->CmdListsCount; ++i) {
    lists_.push_back(drawData->CmdLists[i]->CloneOutput());
  }
  remapped_ = false;
  width_ = drawData->DisplaySize.x;
  height_ = drawData->DisplaySize.y;
  // The picture's vertices bound everything it draws (no anti-aliased fringe: the layer draws
  // without it); clip rectangles alone are no bound, as a window's first command may clip to
  // the whole display.
  float x0 = width_;
  float y0 = height_;
  float x1 = 0;
  float y1 = 0;
  for (const ImDrawList* list : lists_) {
    for (const ImDrawVert& v : list->VtxBuffer) {
      x0 = std::min(x0, v.pos.x);
      y0 = std::min(y0, v.pos.y);
      x1 = std::max(x1, v.pos.x);
      y1 = std::max(y1, v.pos.y);
    }
  }
  x0 = std::max(x0, 0.0f);
  y0 = std::max(y0, 0.0f);
  x1 = std::min(x1, width_);
  y1 = std::min(y1, height_);
  if (x0 < x1 && y0 < y1) {
    const int left = static_cast<int>(std::floor(x0));
    const int top = static_cast<int>(std::floor(y0));
    bounds_ = ScreenRect{left, top, static_cast<int>(std::ceil(x1)) - left,
                         static_cast<int>(std::ceil(y1)) - top};
  }
}

void UiRenderer::UploadAtlas() {
  if (fonts_ == nullptr || (atlas_ != nullptr && atlasToken_ == keptToken_)) return;
  if (atlas_ != nullptr) SDL_DestroyTexture(atlas_);
  unsigned char* pixels = nullptr;
  int width = 0;
  int height = 0;
  fonts_->GetTexDataAsRGBA32(&pixels, &width, &height);
  atlas_ = pixels == nullptr ? nullptr
                             : SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGBA32,
                                                 SDL_TEXTUREACCESS_STATIC, width, height);
  if (atlas_ != nullptr) {
    SDL_UpdateTexture(atlas_, nullptr, pixels, 4 * width);
    SDL_SetTextureBlendMode(atlas_, SDL_BLENDMODE_BLEND);
  } else {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "interface font texture: %s", SDL_GetError());
  }
  atlasToken_ = keptToken_;
}

void UiRenderer::Draw() {
  if (lists_.empty() || renderer_ == nullptr || host_ == nullptr) return;
  UploadAtlas();
  if (!remapped_) {
    // Only the atlas is known here; anything else draws untextured rather than from a pointer
    // that names no texture of this renderer.
    for (ImDrawList* list : lists_) {
      for (ImDrawCmd& cmd : list->CmdBuffer) {
        cmd.TextureId = cmd.TextureId == keptToken_ ? static_cast<ImTextureID>(atlas_) : nullptr;
      }
    }
    remapped_ = true;
  }
  ImDrawData data;
  data.Valid = true;
  data.CmdLists = lists_.data();
  data.CmdListsCount = static_cast<int>(lists_.size());
  for (const ImDrawList* list : lists_) {
    data.TotalIdxCount += list->IdxBuffer.Size;
    data.TotalVtxCount += list->VtxBuffer.Size;
  }
  data.DisplayPos = ImVec2(0, 0);
  data.DisplaySize = ImVec2(width_, height_);
  data.FramebufferScale = ImVec2(1, 1);
  ContextScope scope(host_);
  ImGui_ImplSDLRenderer_RenderDrawData(&data);
}

}  // namespace zorvel
