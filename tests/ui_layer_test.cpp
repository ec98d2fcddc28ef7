// The window's furniture on the interface layer, drawn headless: menus, boxes and the tool bar
// as a player sees them over the game area, and which input the layer keeps from the game.
#include "ui/ui_layer.h"

#include <gtest/gtest.h>

#include <functional>

#include "fixture.h"
#include "platform/forgetful_settings_store.h"
#include "ui/imgui_engine.h"

namespace zorvel::test {
namespace {

MenuItem Item(const char* label, bool enabled = true, bool visible = true) {
  return MenuItem{label, enabled, visible};
}

// The right-click menu of a game in play; 即読 and 即書 are not available.
std::vector<MenuItem> GameMenu() {
  return {Item("自動再生"),
          Item("早送"),
          Item("回顧（ログ）"),
          Item("窓消"),
          Item("直前の音声を再生"),
          Item("即読", false),
          Item("即書", false),
          Item("読込"),
          Item("記録"),
          Item("設定"),
          Item("表紙へ戻る"),
          Item("終了")};
}

class UiLayerTest : public ::testing::Test {
 protected:
  UiLayerTest() : platform_(store_), layer_(platform_) {
    platform_.Present(Solid(800, 600, 40, 90, 140));
    layer_.SetToolbar(
        {Item("終了"), Item("読込"), Item("記録"), Item("設定"), Item("セーブ編集", true, false)});
    Draw();
  }

  void Draw() {
    now_ += 16;
    layer_.Render(now_);
  }
  // Game-area coordinates, as the platforms report them.
  bool Press(int x, int y, MouseButton button = MouseButton::kLeft) {
    return Feed(InputEvent::Kind::kMouseDown, x, y, button);
  }
  bool Release(int x, int y, MouseButton button = MouseButton::kLeft) {
    return Feed(InputEvent::Kind::kMouseUp, x, y, button);
  }
  void Click(int x, int y, MouseButton button = MouseButton::kLeft) {
    Feed(InputEvent::Kind::kMouseMove, x, y, button);
    Press(x, y, button);
    Release(x, y, button);
    Draw();
  }
  bool Feed(InputEvent::Kind kind, int x, int y, MouseButton button = MouseButton::kLeft) {
    InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    return layer_.Feed(e);
  }
  bool Key(zorvel::Key key) {
    InputEvent e;
    e.kind = InputEvent::Kind::kKeyDown;
    e.key = key;
    const bool taken = layer_.Feed(e);
    e.kind = InputEvent::Kind::kKeyUp;
    layer_.Feed(e);
    Draw();
    return taken;
  }
  // Opens the game menu at a game-area point, as a right click there would.
  void OpenGameMenu(int x, int y) {
    layer_.OpenMenu(GameMenu(), x, y + layer_.GameTop());
    Draw();
  }
  Surface Shown(bool withStrip = false) {
    platform_.Flush();
    Surface s;
    platform_.ShownPicture(s, withStrip);
    return s;
  }

  ForgetfulSettingsStore store_;
  HeadlessPlatform platform_;
  UiLayer layer_;
  uint32_t now_ = 0;
};

TEST_F(UiLayerTest, DrawsTheFurnitureOverTheGameArea) {
  ASSERT_TRUE(layer_.HasJapaneseFace()) << "install fonts-ipafont-gothic";
  ExpectGolden(Shown(true), "ui_toolbar", 8);

  OpenGameMenu(300, 150);
  ExpectGolden(Shown(), "ui_game_menu", 8);
  // The game's own picture stays without the furniture: engine code draws from it.
  Surface game;
  platform_.ShownGameArea(game);
  EXPECT_EQ(PixelAt(game, 320, 160), (std::array<uint8_t, 3>{40, 90, 140}));
  Key(Key::kEscape);

  layer_.OpenMenu({Item("タイトルへ戻る"), Item("ゲーム終了")}, 4, 24);
  Draw();
  ExpectGolden(Shown(), "ui_quit_menu", 8);
  Key(Key::kEscape);

  layer_.OpenMessageBox("終了しますか？", "確認", MessageBoxKind::kOkCancel);
  Draw();
  ExpectGolden(Shown(), "ui_message_box", 8);
}

TEST_F(UiLayerTest, MenuNearTheEdgeStaysOnTheFrame) {
  OpenGameMenu(790, 590);
  const Surface shown = Shown();
  // The menu opened up and to the left of the point, so the corner keeps the game's colour
  // and the area above-left of it shows the menu.
  EXPECT_EQ(PixelAt(shown, 799, 599), (std::array<uint8_t, 3>{40, 90, 140}));
  EXPECT_NE(PixelAt(shown, 760, 560), (std::array<uint8_t, 3>{40, 90, 140}));
}

TEST_F(UiLayerTest, MenuItemsAndDismissals) {
  // Rows are 20 pixels from 2 below the menu's top; the menu opens at the point.
  const auto row = [](int index) { return 150 + 2 + index * 20 + 10; };
  struct Case {
    const char* name;
    std::function<void()> act;
    std::optional<int> result;  // nullopt: the menu is still open
  };
  const Case cases[] = {
      {"first item", [&] { Click(340, row(0)); }, 0},
      {"last item", [&] { Click(340, row(11)); }, 11},
      {"Escape", [this] { EXPECT_TRUE(Key(Key::kEscape)); }, -1},
      {"left click outside", [this] { Click(100, 500); }, -1},
      {"right click on an item", [&] { Click(340, row(0), MouseButton::kRight); }, -1},
      {"disabled item", [&] { Click(340, row(5)); }, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenGameMenu(300, 150);
    ASSERT_TRUE(layer_.MenuOpen());
    c.act();
    EXPECT_EQ(layer_.MenuOpen(), !c.result.has_value());
    EXPECT_EQ(layer_.TakeMenuResult(), c.result);
    if (layer_.MenuOpen()) Key(Key::kEscape);
    EXPECT_EQ(layer_.TakeMenuResult(), c.result ? std::nullopt : std::optional<int>(-1));
  }
}

TEST_F(UiLayerTest, HiddenMenuItemsTakeNoRow) {
  std::vector<MenuItem> items = GameMenu();
  items[0].visible = false;
  layer_.OpenMenu(items, 300, 150 + layer_.GameTop());
  Draw();
  Click(340, 150 + 2 + 10);
  EXPECT_EQ(layer_.TakeMenuResult(), 1);
}

TEST_F(UiLayerTest, PressesTakenByTheLayer) {
  // Nothing open: the game area is the game's, the strip is the layer's.
  EXPECT_FALSE(Press(400, 300));
  EXPECT_FALSE(Release(400, 300));
  EXPECT_EQ(layer_.TakeToolbarClick(), -1);
  EXPECT_TRUE(Press(100, -12));
  EXPECT_FALSE(Release(100, -12));
  Draw();
  EXPECT_EQ(layer_.TakeToolbarClick(), 1);  // the second button, 読込
  EXPECT_EQ(layer_.TakeToolbarClick(), -1);

  // A press that leaves the button before its release is no click.
  EXPECT_TRUE(Press(30, -12));
  Release(400, 300);
  EXPECT_EQ(layer_.TakeToolbarClick(), -1);

  // A disabled button answers nothing.
  layer_.SetToolbar({Item("終了", false)});
  Draw();
  Click(30, -12);
  EXPECT_EQ(layer_.TakeToolbarClick(), -1);

  // An open menu takes every press and key, and the moves are still the game's too.
  OpenGameMenu(300, 150);
  EXPECT_FALSE(Feed(InputEvent::Kind::kMouseMove, 320, 170));
  EXPECT_TRUE(Press(320, 170));
  EXPECT_FALSE(Release(320, 170));
  EXPECT_EQ(layer_.TakeMenuResult(), 0);
  EXPECT_FALSE(Press(320, 170));
}

TEST_F(UiLayerTest, MessageBoxAnswers) {
  struct Case {
    const char* name;
    MessageBoxKind kind;
    std::function<void()> act;
    MessageBoxAnswer answer;
  };
  // The box is centred over the game area; its buttons sit on its bottom right.
  const Case cases[] = {
      {"Enter", MessageBoxKind::kOkCancel, [this] { Key(Key::kEnter); }, MessageBoxAnswer::kOk},
      {"Escape", MessageBoxKind::kOkCancel, [this] { Key(Key::kEscape); },
       MessageBoxAnswer::kCancel},
      {"Escape without Cancel", MessageBoxKind::kOk, [this] { Key(Key::kEscape); },
       MessageBoxAnswer::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    layer_.OpenMessageBox("終了しますか？", "確認", c.kind);
    Draw();
    EXPECT_TRUE(Press(5, 5));  // outside the box: taken, and no answer
    Release(5, 5);
    EXPECT_TRUE(layer_.MessageBoxOpen());
    c.act();
    EXPECT_FALSE(layer_.MessageBoxOpen());
    EXPECT_EQ(layer_.TakeMessageBoxAnswer(), c.answer);
    EXPECT_EQ(layer_.TakeMessageBoxAnswer(), std::nullopt);
  }
}

// Whatever was held when a dialog opened is not the dialog's: its release, its repeats and a
// held modifier reach none of its widgets, and no text from before lands in its fields. A
// dialog that watches every key and button tells what it saw.
TEST_F(UiLayerTest, InputHeldWhenADialogOpensIsNotTheDialogs) {
  struct Seen {
    bool enterPressed = false, enterReleased = false, downPressed = false, ctrl = false;
    bool mouseClicked = false, mouseReleased = false;
    std::string typed;
  };
  Seen seen;
  bool open = false;
  char field[32] = {};
  auto probe = [&] {
    if (!open) return false;
    ImGui::SetNextWindowPos(ImVec2(100, 100));
    ImGui::SetNextWindowSize(ImVec2(300, 200));
    ImGui::Begin("probe");
    const auto key = [](ImGuiKey k) { return ImGui::GetKeyIndex(k); };
    seen.enterPressed |= ImGui::IsKeyPressed(key(ImGuiKey_Enter));
    seen.enterReleased |= ImGui::IsKeyReleased(key(ImGuiKey_Enter));
    seen.downPressed |= ImGui::IsKeyPressed(key(ImGuiKey_DownArrow));
    seen.ctrl |= ImGui::GetIO().KeyCtrl;
    seen.mouseClicked |= ImGui::IsMouseClicked(ImGuiMouseButton_Left);
    seen.mouseReleased |= ImGui::IsMouseReleased(ImGuiMouseButton_Left);
    ImGui::SetKeyboardFocusHere();
    ImGui::InputText("##field", field, sizeof field);
    seen.typed = field;
    ImGui::End();
    return true;
  };
  const auto keyEvent = [this](zorvel::Key k, bool down, bool repeat = false, char ch = 0) {
    InputEvent e;
    e.kind = down ? InputEvent::Kind::kKeyDown : InputEvent::Kind::kKeyUp;
    e.key = k;
    e.ch = ch;
    e.repeat = repeat;
    layer_.Feed(e);
  };
  const auto text = [this](const char* utf8) {
    InputEvent e;
    e.kind = InputEvent::Kind::kTextInput;
    e.text = utf8;
    layer_.Feed(e);
  };
  const auto frames = [this](int n) {
    for (int i = 0; i < n; ++i) layer_.Render(now_ += 16, true);
  };

  // Held before the opening: Enter, Down, Ctrl, Z (which typed its letter) and the left button
  // on the strip.
  keyEvent(zorvel::Key::kEnter, true);
  keyEvent(zorvel::Key::kDown, true);
  keyEvent(zorvel::Key::kCtrl, true);
  Feed(InputEvent::Kind::kMouseMove, 700, -12);
  Press(700, -12);
  frames(1);
  keyEvent(zorvel::Key::kCharacter, true, false, 'Z');
  text("z");
  open = true;
  layer_.OpenDialog(probe);
  frames(2);
  // In the dialog: Ctrl is let go (it would keep text out of the field), Down repeats, Z
  // repeats and types again, the pointer moves onto the dialog; then the rest is let go.
  keyEvent(zorvel::Key::kCtrl, false);
  keyEvent(zorvel::Key::kDown, true, true);
  keyEvent(zorvel::Key::kCharacter, true, true, 'Z');
  text("z");
  Feed(InputEvent::Kind::kMouseMove, 200, 150);
  frames(30);  // long enough for a held key to repeat
  Release(200, 150);
  keyEvent(zorvel::Key::kEnter, false);
  keyEvent(zorvel::Key::kDown, false);
  keyEvent(zorvel::Key::kCharacter, false, false, 'Z');
  frames(2);
  EXPECT_FALSE(seen.enterPressed);
  EXPECT_FALSE(seen.enterReleased);
  EXPECT_FALSE(seen.downPressed);
  EXPECT_FALSE(seen.ctrl);  // in the frames before its release
  EXPECT_FALSE(seen.mouseClicked);
  EXPECT_FALSE(seen.mouseReleased);
  EXPECT_EQ(seen.typed, "");

  // What the player does in the dialog is the dialog's.
  keyEvent(zorvel::Key::kEnter, true);
  keyEvent(zorvel::Key::kEnter, false);
  Click(200, 150);
  keyEvent(zorvel::Key::kCharacter, true, false, 'A');
  text("a");
  keyEvent(zorvel::Key::kCharacter, false, false, 'A');
  frames(2);
  keyEvent(zorvel::Key::kCtrl, true);
  frames(1);
  keyEvent(zorvel::Key::kCtrl, false);
  frames(1);
  EXPECT_TRUE(seen.enterPressed);
  EXPECT_TRUE(seen.enterReleased);
  EXPECT_TRUE(seen.ctrl);
  EXPECT_TRUE(seen.mouseClicked);
  EXPECT_TRUE(seen.mouseReleased);
  EXPECT_EQ(seen.typed, "a");
  open = false;
  Draw();
}

}  // namespace
}  // namespace zorvel::test
