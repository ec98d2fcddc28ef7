// The window's furniture on Dear ImGui: the tool bar, the pop-up menus and the message boxes,
// and the base of every dialog. The engine owns one UiLayer; it feeds it the platform's input
// events, asks it to draw a frame when something on it changed, and hands the draw data to the
// platform, which renders it over the game area (a window's renderer, or headless a software
// renderer onto the shown picture, so a screenshot shows the furniture as a player sees it).
//
// Frame coordinates: 800 wide; the game area starts at row GameTop() (24 in a window, where the
// tool bar strip fills rows 0 to 23; 0 in full screen, where the tool bar is drawn over the
// game area while it is shown).
//
// Touches: its own ImGui context and the platform's PresentUi. Never the game state: what a
// click on the tool bar or a menu item does is the engine's.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

struct ImGuiContext;
struct ImFont;

namespace zorvel {

struct MenuItem {
  std::string label;  // UTF-8
  bool enabled = true;
  bool visible = true;
};

class UiLayer {
 public:
  static constexpr int kStripHeight = 24;
  static constexpr int kFrameWidth = 800;

  explicit UiLayer(Platform& platform);
  ~UiLayer();
  UiLayer(const UiLayer&) = delete;
  UiLayer& operator=(const UiLayer&) = delete;

  // Where the game area sits in the frame and whether the tool bar is shown (in full screen it
  // shows only while the pointer is at the top left).
  void SetLayout(int gameTop, bool toolbarShown);
  int GameTop() const { return gameTop_; }
  bool ToolbarShown() const { return toolbarShown_; }

  // Input. True when the layer takes the event, so the game must not see it: a press or wheel
  // over the tool bar strip, an open menu or message box, or a key while one is open. Moves are
  // always seen by both (the game tracks the pointer too), and so is a release. A key or button
  // already held when a menu, box or dialog opens was pressed for what came before: until it is
  // let go, neither its repeats nor its release (nor text it types) reach the widgets.
  bool Feed(const InputEvent& event);

  // The tool bar: captions left to right (hidden ones take no room) and which may be used.
  void SetToolbar(const std::vector<MenuItem>& buttons);
  const std::vector<MenuItem>& Toolbar() const;
  // The index of a button clicked since the last call, or -1.
  int TakeToolbarClick();

  // A pop-up menu at a frame position, kept on the frame. It closes when an item is chosen, on
  // Escape, on a left click outside it and on a right click anywhere.
  void OpenMenu(const std::vector<MenuItem>& items, int frameX, int frameY);
  bool MenuOpen() const;
  // Once the menu has closed: the chosen item's index, or -1 when it was dismissed. Empty while
  // it is open or when no menu was opened since the last call.
  std::optional<int> TakeMenuResult();

  // A message box centred over the game area: the text, a caption and OK (and Cancel for
  // kOkCancel). Enter answers OK, Escape Cancel (OK for a box without Cancel).
  void OpenMessageBox(const std::string& utf8Text, const std::string& utf8Caption,
                      MessageBoxKind kind);
  bool MessageBoxOpen() const;
  std::optional<MessageBoxAnswer> TakeMessageBoxAnswer();

  // A modal dialog: `build` makes its window and widgets with ImGui calls each frame and returns
  // false once the dialog has closed. While it is open every press, key and wheel goes to it.
  // `describe` names the dialog and the page it shows, for the state dump.
  void OpenDialog(std::function<bool()> build, std::function<std::string()> describe = {});
  bool DialogOpen() const;
  // "" when no dialog is open.
  std::string DialogName() const;
  // What an input method is composing now (UTF-8), shown by the field that has the keyboard.
  const std::string& Composition() const;
  // The field that has the keyboard, in frame coordinates, for the input method's candidate
  // window; passed on to the platform when it moves.
  void SetTextInputRect(float x, float y, float w, float h);
  // Takes the dialog down at once (its owner closed it between frames).
  void CloseDialog();
  // Where the game area's top-left lies in the frame (dialogs place themselves over it).
  float FrameY(int gameY) const { return static_cast<float>(gameY + gameTop_); }

  // Builds a frame and presents it when anything on the layer may look different since the
  // last one (input, a change of the tool bar or layout, an open menu or box), or when forced.
  // `nowMs` drives ImGui's clock.
  void Render(uint32_t nowMs, bool force = false);
  // A frame at once, at the platform's time (a dialog just closed).
  void RenderNow();

  // False when no face covering Japanese was found: the layer still works, with ImGui's own
  // face (labels may then show as boxes); the reason went to the log once.
  bool HasJapaneseFace() const;
  // The face of the dialogs' text, at 12 pixels.
  ImFont* DialogFont() const;

 private:
  struct State;

  // A menu, box or dialog is opening: what is held now was pressed for something else.
  void ForgetHeldInput();
  void CloseMenu(std::optional<int> result);
  void AnswerBox(MessageBoxAnswer answer);
  void SetMouseButton(int button, bool down);
  // One ImGui frame of the furniture; `present` renders it into draw data, otherwise it only
  // lets ImGui see the input so far.
  void RunFrame(bool present);
  void BuildWidgets();

  Platform& platform_;
  ImGuiContext* context_ = nullptr;
  int gameTop_ = kStripHeight;
  bool toolbarShown_ = true;
  State* state_ = nullptr;
};

}  // namespace zorvel
