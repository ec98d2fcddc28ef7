// Dear ImGui for engine code. Its header marks the formatting calls with a printf format
// attribute, and the engine's forbidden-names header poisons that very name; the attribute only
// checks format strings, so engine code goes without it.
#pragma once

#ifndef IMGUI_USE_STB_SPRINTF
#define IMGUI_USE_STB_SPRINTF
#endif
#include <imgui.h>
#include <imgui_freetype.h>

namespace zorvel {

// Makes a context current for a scope; several (the engine's layer, a platform's own box, the
// renderer's copy) may live at once.
class ContextScope {
 public:
  explicit ContextScope(ImGuiContext* context) : previous_(ImGui::GetCurrentContext()) {
    ImGui::SetCurrentContext(context);
  }
  ~ContextScope() { ImGui::SetCurrentContext(previous_); }
  ContextScope(const ContextScope&) = delete;
  ContextScope& operator=(const ContextScope&) = delete;

 private:
  ImGuiContext* previous_;
};

}  // namespace zorvel
