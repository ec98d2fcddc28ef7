// What every modal dialog on the interface layer shares: the nested loop that runs it, the
// window that centres its client area over the game area and keeps it inside the frame, and the
// text field that takes typed text and an input method's composition.
//
// Touches: the interface layer (the dialog, the composition, the candidate window's place) and
// nothing of the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "ui/imgui_engine.h"
#include "ui/ui_layer.h"

namespace zorvel {

// One pass of the engine's nested loop (events, the timer when due, a frame); false once the
// run is ending. `nextTick` is when the 55 ms timer runs next; the pass keeps it.
using ModalPassFn = std::function<bool(uint32_t& nextTick)>;

// Shows a dialog and runs passes until `build` reports it closed or the run ends (the dialog
// then closes unanswered). `describe` names the dialog and its page for the state dump.
void RunModalDialog(UiLayer& ui, const ModalPassFn& pass, std::function<bool()> build,
                    std::function<std::string()> describe);

// Inside a dialog's build: begins its window in `font` with the caption `utf8Title`, sized so
// that the
// client area is `clientWidth` x `clientHeight`, centred over the game area and moved inside the
// frame. `closeBox`, when given, shows the caption's close box and is cleared by it. Returns the
// client area's top-left in frame coordinates; EndDialogWindow closes it.
ImVec2 BeginDialogWindow(ImFont* font, const char* utf8Title, const char* id, float clientWidth,
                         float clientHeight, bool* closeBox = nullptr);
void EndDialogWindow();

// Where widgets go next: a point of the client area whose top-left is `client`.
inline void PlaceAt(const ImVec2& client, float x, float y) {
  ImGui::SetCursorScreenPos(ImVec2(client.x + x, client.y + y));
}

// A one-line text field of `width` pixels over the UTF-8 buffer `buf`. While it has the keyboard
// an input method's composition shows at its caret, underlined, and the input method's
// candidate window is placed just below it. `maxChars` > 0 limits the characters it holds.
// True when the text changed.
bool TextField(UiLayer& ui, const char* id, char* buf, size_t size, float width, int maxChars = 0);

// A radio button whose value is the index `index` of a group whose value is `*value`; true when
// clicked (the value is then `index`).
bool RadioIndex(const char* utf8Label, int* value, int index);

// A captioned frame, as a desktop's group boxes are drawn, of the client rectangle (x, y, w, h).
void GroupBox(const ImVec2& client, const char* utf8Caption, float x, float y, float w, float h);

// Counts UTF-8 characters.
int Utf8Length(const char* text);

}  // namespace zorvel
