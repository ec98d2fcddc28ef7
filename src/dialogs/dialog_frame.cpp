#include "dialogs/dialog_frame.h"

#include <algorithm>
#include <vector>

#include "ui/imgui_engine.h"
// The caret of the active field, for the composition and the candidate window. Its debug log
// would name a forbidden function.
#define IMGUI_DEBUG_LOG(...) ((void)0)
#include <imgui_internal.h>

namespace zorvel {

void RunModalDialog(UiLayer& ui, const ModalPassFn& pass, std::function<bool()> build,
                    std::function<std::string()> describe) {
  ui.OpenDialog(std::move(build), std::move(describe));
  uint32_t nextTick = 0;
  while (ui.DialogOpen()) {
    if (!pass(nextTick)) break;
  }
  // The run may end with the dialog up: it closes unanswered.
  ui.CloseDialog();
  ui.RenderNow();
}

ImVec2 BeginDialogWindow(ImFont* font, const char* utf8Title, const char* id, float clientWidth,
                         float clientHeight, bool* closeBox) {
  const ImGuiIO& io = ImGui::GetIO();
  // Dialogs are set in 12 pixels, as their layouts were made for, caption included.
  ImGui::PushFont(font);
  const float titleBar = ImGui::GetFontSize() + 2 * ImGui::GetStyle().FramePadding.y;
  const float frameTop = io.DisplaySize.y - 600.0f;  // the game area's top in the frame
  // Centred over the game area, then moved inside the frame should it stick out anywhere.
  float x = (800.0f - clientWidth) / 2.0f;
  float y = frameTop + (600.0f - clientHeight) / 2.0f - titleBar;
  x = std::clamp(x, 0.0f, std::max(0.0f, io.DisplaySize.x - clientWidth));
  y = std::clamp(y, 0.0f, std::max(0.0f, io.DisplaySize.y - clientHeight - titleBar));
  ImGui::SetNextWindowPos(ImVec2(x, y));
  ImGui::SetNextWindowSize(ImVec2(clientWidth, clientHeight + titleBar));
  // Kept in front of the game's furniture, but not over its own drop-down lists.
  if (!ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) ImGui::SetNextWindowFocus();
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  const std::string title = std::string(utf8Title) + "###" + id;
  ImGui::Begin(title.c_str(), closeBox,
               ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                   ImGuiWindowFlags_NoScrollWithMouse);
  ImGui::PopStyleVar();
  return ImVec2(x, y + titleBar);
}

void EndDialogWindow() {
  ImGui::End();
  ImGui::PopFont();
}

int Utf8Length(const char* text) {
  int n = 0;
  for (const char* p = text; *p != 0; ++p) {
    if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++n;
  }
  return n;
}

namespace {

int LimitCharacters(ImGuiInputTextCallbackData* data) {
  const int maxChars = *static_cast<const int*>(data->UserData);
  int chars = 0;
  int i = 0;
  while (i < data->BufTextLen) {
    if ((static_cast<unsigned char>(data->Buf[i]) & 0xC0) != 0x80) {
      if (chars == maxChars) break;
      ++chars;
    }
    ++i;
  }
  if (i < data->BufTextLen) data->DeleteChars(i, data->BufTextLen - i);
  return 0;
}

}  // namespace

bool TextField(UiLayer& ui, const char* id, char* buf, size_t size, float width, int maxChars) {
  ImGui::PushItemWidth(width);
  const ImGuiInputTextFlags flags = maxChars > 0 ? ImGuiInputTextFlags_CallbackEdit : 0;
  const bool changed =
      ImGui::InputText(id, buf, size, flags, maxChars > 0 ? LimitCharacters : nullptr, &maxChars);
  ImGui::PopItemWidth();
  if (!ImGui::IsItemActive()) return changed;

  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  const ImGuiStyle& style = ImGui::GetStyle();
  float caretX = min.x + style.FramePadding.x;
  if (const ImGuiInputTextState* state = ImGui::GetInputTextState(ImGui::GetItemID())) {
    const int caret = std::clamp(state->GetCursorPos(), 0, state->CurLenW);
    std::vector<char> before(static_cast<size_t>(caret) * 4 + 1);
    ImTextStrToUtf8(before.data(), static_cast<int>(before.size()), state->TextW.Data,
                    state->TextW.Data + caret);
    caretX += ImGui::CalcTextSize(before.data()).x - state->ScrollX;
  }
  caretX = std::clamp(caretX, min.x, max.x);
  // The input method's candidate window opens under the caret, not at a corner of the window.
  ui.SetTextInputRect(caretX, min.y, std::max(1.0f, max.x - caretX), max.y - min.y);

  const std::string& composing = ui.Composition();
  if (!composing.empty()) {
    // What the input method is composing, on the field where it will land, underlined as
    // desktop fields show it until it is committed.
    ImDrawList* draw = ImGui::GetForegroundDrawList();
    const ImVec2 size = ImGui::CalcTextSize(composing.c_str());
    const ImVec2 at(caretX, min.y + style.FramePadding.y);
    draw->AddRectFilled(ImVec2(at.x, min.y + 1), ImVec2(at.x + size.x + 2, max.y - 1),
                        IM_COL32(255, 255, 255, 255));
    draw->AddText(at, IM_COL32(0, 0, 0, 255), composing.c_str());
    draw->AddLine(ImVec2(at.x, at.y + size.y), ImVec2(at.x + size.x, at.y + size.y),
                  IM_COL32(0, 0, 0, 255));
  }
  return changed;
}

bool RadioIndex(const char* utf8Label, int* value, int index) {
  if (!ImGui::RadioButton(utf8Label, *value == index)) return false;
  *value = index;
  return true;
}

void GroupBox(const ImVec2& client, const char* utf8Caption, float x, float y, float w, float h) {
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const float half = ImGui::GetFontSize() / 2.0f;
  const ImVec2 a(client.x + x, client.y + y + half);
  const ImVec2 b(client.x + x + w, client.y + y + h);
  draw->AddRect(a, b, ImGui::GetColorU32(ImGuiCol_Border));
  const ImVec2 text = ImGui::CalcTextSize(utf8Caption);
  const ImVec2 at(client.x + x + 8, client.y + y);
  draw->AddRectFilled(ImVec2(at.x - 2, at.y), ImVec2(at.x + text.x + 2, at.y + text.y),
                      ImGui::GetColorU32(ImGuiCol_WindowBg));
  draw->AddText(at, ImGui::GetColorU32(ImGuiCol_Text), utf8Caption);
}

}  // namespace zorvel
