// Recollection mode: the menu of reached scenes by category that `kaisou` opens, the ten
// playlists the player drags scenes into, and the replays of one scene or a whole playlist
// through the "k_" scripts, after each of which the menu comes back. The scene list is the
// configuration script "sys_flashbak"; a scene unlocks when the game first loads its script.
//
// Touches: the game state's script position and call stack, its modes (screenMode,
// replayOrigin, skipMode, textWindowOn), S026 and S060 and the scene-unlock bits;
// ScreenSurface, and for the scene preview BackgroundSurface, SceneSurface and the character
// arrangement (through Layers); the playlists that GlobalData keeps and writes to "kaiso.dat".
// Everything else goes through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/layers.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "save/global_data.h"
#include "text/system_text.h"

namespace zorvel {

class JsonWriter;

constexpr int kFlashbackCategories = 6;
constexpr int kFlashbackSubPages = 8;
// One unlock bit a line, and the bank has 2000 of them.
constexpr int kFlashbackLines = 2000;
constexpr int kPlaylistCount = 10;
constexpr int kPlaylistLength = 50;
// Only so many rows fit the panel; the rest of a playlist's 50 places stays 0.
constexpr int kPlaylistRows = 25;
constexpr int kGridCells = 150;

// The scene list of "sys_flashbak": a category is the names of its sub-pages; the display list
// and the script list run in parallel, and a line's index in them is its scene number.
struct FlashbackList {
  std::vector<std::vector<std::string>> categories;  // upper-cased sub-page names
  std::vector<std::string> display;                  // Shift-JIS, upper-cased
  std::vector<std::string> scripts;                  // "" for labels, headings and ":END"
};

// Reads the configuration text (0-ended lines). What it cannot take (a seventh category, a
// ninth sub-page, lines past the unlock bits) is left out and said once in `problems`.
FlashbackList ParseFlashbackList(std::span<const uint8_t> text,
                                 std::vector<std::string>* problems = nullptr);

// The scene numbers of a playlist in play order; 0 ends it.
using Playlist = std::array<int32_t, kPlaylistLength>;

// A drag ends. `fromRow` is the dragged entry's row in `list`, or -1 for a scene from the grid;
// `targetRow` the panel row under the drop point, or -1 outside the panel. An entry dropped
// outside leaves the list; a scene dropped outside changes nothing.
void DropOnPlaylist(Playlist& list, int fromRow, int32_t scene, int targetRow);

struct RecollectionHooks {
  Hook<void()> resetWaits;
  Hook<void()> updateToolbar;
  // The `music` command with a number.
  Hook<void(int number)> music;
  Hook<void()> stopLoopingEffect;
  // The quit menu's replay items, shown only while a replay runs here.
  Hook<void(bool sceneSkip, bool endRecollection)> showReplayItems;
  // The pop-up items 即読, 即書, 読込 and 記録, taken away while a replay runs.
  Hook<void(bool enabled)> enableSaveItems;
  // The naming dialog: the current name in, the new one out; nullopt when cancelled.
  Hook<std::optional<std::string>(const std::string& sjisName)> askPlaylistName;
};

class Recollection {
 public:
  Recollection(EngineState& state, Screen& screen, PictureLoader& pictures, ScriptLoader& loader,
               Layers& layers, SystemText& text, Platform& platform,
               RecollectionPlaylists& playlists, RecollectionHooks hooks);

  // `kaisou`.
  void Register(CommandTable& table);

  // Start-up: the scene list from "sys_flashbak"; a game without one has no scenes.
  void ReadRecollectionList();
  void SetList(FlashbackList list);
  const FlashbackList& List() const { return list_; }
  // A script load reports its scene; listed scenes unlock themselves and their heading.
  void UnlockScene(const std::string& upperName);

  void OpenRecollection();
  // Input in the menu (screenMode 8), and the 55 ms tick.
  void ScreenClick(MouseButton button, int x, int y);
  void ScreenMouseMove(int x, int y);
  void ScreenMouseUp(int x, int y);
  void RecollectionTick();

  // A replay started here ended (`exit`, `end` at depth 0, `vend`, シーンスキップ): the next
  // queued scene, or the menu. `abandon` drops the rest of the queue (回想モード終了).
  void EndRecollectionScene(bool abandon);
  bool ReplayRunning() const { return s_.replayOrigin == 2; }

  // Drawing the whole menu: the tabs, the grid of the current sub-page and the playlist panel.
  void DrawMenu();

  // What the menu holds, for the state dump (the `recollection` object).
  void Dump(JsonWriter& j) const;

  // Hover codes: none, a grid cell, a playlist row, a button, a playlist selector cell.
  static constexpr int kHoverNone = 0;
  static constexpr int kHoverEntry = 200;
  static constexpr int kHoverButton = 300;
  static constexpr int kHoverSelector = 400;
  // Grid cells count from here, so that the first cell is not "none".
  static constexpr int kHoverCell = 1000;

  int Category() const { return category_; }
  int SubPage() const { return subPages_[static_cast<size_t>(category_)]; }
  int SelectedPlaylist() const { return selected_; }
  int Hover() const { return hover_; }
  bool Dragging() const { return drag_.active; }
  bool Previewing() const { return preview_.running; }
  // The scene in grid cell c, 0 for none.
  int32_t CellScene(int cell) const { return cells_[static_cast<size_t>(cell)]; }
  const std::array<int32_t, kPlaylistLength>& Queue() const { return queue_; }
  int QueuePosition() const { return queuePos_; }
  const RecollectionPlaylists& Playlists() const { return playlists_; }

 private:
  struct ReturnRecord {
    char scriptName[kNameSize]{};
    int32_t scriptPos = 0;
    int32_t callDepth = 0;
    char callNames[kMaxCallDepth][kNameSize]{};
    int32_t callReturns[kMaxCallDepth]{};
  };
  struct Drag {
    bool active = false;
    int fromRow = -1;  // the playlist row, -1 for a scene from the grid
    int32_t scene = 0;
    int grabX = 0, grabY = 0;  // the pointer's offset inside the label
    int labelX = 0, labelY = 0;
  };
  struct Preview {
    bool running = false;
    std::vector<std::string> lines;
    size_t next = 0;
    int countdown = 0;
    bool shown = false;
  };
  // The dragged text on the label's grey.
  void MakeLabel(int32_t scene);
  // Hover at the pointer again after a redraw, with its highlight.
  void Rehover();

  int CategoryCount() const;
  int SubPageCount(int category) const;
  // The current sub-page's label in the display list, or -1.
  int PageLabel() const;
  void DrawTabs();
  void DrawGrid();
  void DrawPanel();
  const std::string& SceneText(int32_t scene) const;
  // The line's text decoded once for drawing; empty for no line.
  std::u32string_view SceneCodes(int32_t scene) const;
  bool Unlocked(int32_t scene) const;
  int HoverAt(int x, int y) const;
  void ShowHighlight(int code);
  void RemoveHighlight(int code);
  // ScreenSurface with the drag label and the preview over it goes to the window.
  void Show();
  void LeaveMenu();
  void PlayScene(int32_t scene);
  void PlayPlaylist();
  // Starts the queued scenes from the current position; false when none could start.
  bool StartQueued();
  void ReturnToMenu();
  void Rename();
  void StartPreview(int32_t scene);
  void PreviewStep();
  void StopPreview();
  Playlist& Selected() { return playlists_.entries[static_cast<size_t>(selected_)]; }

  EngineState& s_;
  Screen& screen_;
  PictureLoader& pictures_;
  ScriptLoader& loader_;
  Layers& layers_;
  SystemText& text_;
  Platform& platform_;
  RecollectionPlaylists& playlists_;
  RecollectionHooks hooks_;

  FlashbackList list_;
  std::vector<std::u32string> codes_;  // the display list decoded
  Surface menu_, menuLit_, strip_;
  // The playlist panel and its name as last drawn, and what they were drawn for.
  Surface panel_, nameArea_;
  std::vector<int32_t> panelKey_;
  // The tabs and grid of the pages drawn since the menu opened, with the unlock bits they
  // were drawn for.
  struct DrawnPage {
    int category = 0, subPage = 0;
    std::vector<uint8_t> unlocked;
    Surface picture;
    std::array<int32_t, kGridCells> cells{};
  };
  static constexpr size_t kKeptPages = kFlashbackSubPages;
  std::vector<DrawnPage> drawnPages_;
  Surface label_;
  // The preview as shown: a thumbnail as it is, or the scene scaled down.
  Surface previewShown_;
  int pointerX_ = 0, pointerY_ = 0;
  std::array<int, kFlashbackCategories> subPages_{};
  std::array<int32_t, kGridCells> cells_{};
  int category_ = 0;
  int selected_ = 0;
  int hover_ = kHoverNone;
  // Timer ticks left in which a second press counts as a double click.
  int doubleClickTicks_ = 0;
  Drag drag_;
  Preview preview_;
  std::array<int32_t, kPlaylistLength> queue_{};
  int queuePos_ = 0;
  ReturnRecord record_;
};

}  // namespace zorvel
