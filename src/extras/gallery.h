// The gallery viewer: full-screen pages of thumbnails laid out by the definition script "view".
// A viewer is a picture gallery whose entries unlock as the player sees their pictures, a page
// of scene replays unlocked by E flags, a music list or a music room. Also the gallery's picture
// list, whose index of a picture is the seen bit that showing it sets.
//
// Touches: screenMode, replayOrigin, the script position and call stack (kept and restored
// around a scene replay), the wait fields, textWindowOn, skipMode, sleepCount,
// windowPictureValid and S000, S004, S028, S060, S150 of the game state; the E and seen bits
// (read only); the scene, background, work and screen surfaces and the window background; the
// script loader (the definition in configuration text, scene scripts as story). Music, the tool
// bar, pop-up items, labels and the sounds are reached through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/frame_clock.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "script/commands.h"
#include "text/system_text.h"

namespace zorvel {

constexpr int kViewerScreenMode = 6;
// Entry numbers run 1 to 50 (tracks 1 to 50 in the music room); the hit test stops at 49.
constexpr int kViewerEntries = 50;
constexpr int kViewerTabs = 18;
constexpr int kViewerLinks = 10;
// What a definition may hold: names on one line, lines in one set block, pages (tabs and links
// address pages 0 to 99).
constexpr int kViewerNamesPerLine = 50;
constexpr int kViewerLinesPerBlock = 51;
constexpr int kViewerMaxPages = 100;

// Hover codes: 1 to 49 entries, then the buttons, the tabs from 60 and the links from 80.
constexpr int kHoverNext = 51;
constexpr int kHoverPrev = 52;
constexpr int kHoverExit = 53;
constexpr int kHoverTab = 60;
constexpr int kHoverLink = 80;
constexpr int kHoverCodes = kHoverLink + kViewerLinks;
// Hover counters start here and fade one step an idle pass.
constexpr int kGlowSteps = 16;

struct ViewerRect {
  int x1 = -1, y1 = -1, x2 = -1, y2 = -1;  // x2, y2 excluded; all -1 is never hit
  bool Contains(int x, int y) const { return x >= x1 && x < x2 && y >= y1 && y < y2; }
};

struct ViewerRange {
  ViewerRect rect;
  int from = 0, to = 99;  // the pages it is shown on
  int target = 0;         // tabs: the page a click goes to
  bool OnPage(int page) const { return page >= from && page <= to; }
};

struct ViewerEntry {
  // Type 0: the entry's pictures (upper-cased) and their running numbers.
  std::vector<std::string> pictures;
  std::vector<int> numbers;
  // Type 1: the E flag that unlocks the scene, its script and label, the hover caption.
  int flag = -1;
  std::string script, label;
  // Type 1 caption, type 2 track text.
  std::string caption;
  bool defined = false;
  int state = 0;  // 0 no entry, 1 locked, 2 partly unlocked, 3 fully unlocked
};

struct ViewerPage {
  std::string normal, highlight;  // page pictures
  std::array<ViewerEntry, kViewerEntries + 1> entries{};
};

struct ViewerDefinition {
  std::string name;  // upper-cased
  int type = 0;      // 0 pictures, 1 scene replays, 2 music list, 3 music room
  std::string plate, plate2;
  int sets = 0;
  int music = 0;
  int thumbWidth = 0, thumbHeight = 0;
  ViewerRect next, prev, exitButton;
  std::array<ViewerRange, kViewerTabs> tabs{};
  std::array<ViewerRange, kViewerLinks> links{};
  std::array<std::array<int, 2>, kViewerEntries + 1> positions{};
  std::vector<ViewerPage> pages;
  // Type 0: every picture in the order of its number, and one past the last number given out.
  std::vector<std::string> numbered;
  int nextNumber = 0;
};

// Reads the viewer `name` (any case) from the decoded "view" text: the links of ":VIEW_0", the
// header and its set blocks, numbering type-0 pictures from `firstNumber`. False (and `out`
// holding only the links) when the text has no such viewer. Whatever exceeds a bound is
// dropped and said once through `log`.
bool ParseViewer(std::span<const uint8_t> text, std::string_view name, int firstNumber,
                 ViewerDefinition& out, const std::function<void(const std::string&)>& log);

struct GalleryHooks {
  // The `music` operation (0 stops).
  Hook<void(int number)> music;
  Hook<void()> updateToolbar;
  // The pop-up items 即読, 即書, 読込 and 記録 together, and the tool bar's セーブ編集.
  Hook<void(bool enabled)> enableSaveItems;
  Hook<void(bool enabled)> enableSaveEdit;
  Hook<void()> resetWaits;
  Hook<void(const char* label)> gotoLabel;
  // Ends the looping sound effect.
  Hook<void()> stopLoop;
  // False once the run must end: a pan stops at once.
  Hook<bool()> running;
};

class Gallery {
 public:
  Gallery(EngineState& state, Screen& screen, const GameConfig& config, const Settings& settings,
          ScriptLoader& loader, PictureLoader& pictures, SystemText& systemText, FrameClock& clock,
          Platform& platform, GalleryHooks hooks);

  // Binds `viewer`.
  void Register(CommandTable& table);

  // Start-up: the picture list from "VIEW_1", continued by "2_VIEW_1" when the game has it.
  void CreatePictureList();
  void ReadConfiguration(const char* name);
  // The index of an upper-cased picture name in the list, or -1; and the list's length.
  int PictureIndex(const std::string& upperName) const;
  int PictureCount() const { return static_cast<int>(pictureList_.size()); }

  void OpenViewer(const char* name);
  void ViewerMouseMove(int x, int y);
  void ViewerClick(MouseButton button, int x, int y);
  void ViewerIdle();
  // A scene replay started here has ended.
  void ReturnToViewer();

  // For the state dump and tests.
  const ViewerDefinition& Definition() const { return def_; }
  bool Open() const { return s_.screenMode == kViewerScreenMode; }
  int Page() const { return page_; }
  int HoverCode() const { return hover_; }
  bool FullView() const { return fullView_; }
  // The picture the full view shows, "" outside it.
  const std::string& FullViewPicture() const { return fullViewName_; }
  int PlayingTrack() const { return playing_; }
  // Whether an idle pass has a glow to fade.
  bool Fading() const;

 private:
  struct ReturnRecord {
    char scriptName[kNameSize]{};
    int32_t scriptPos = 0;
    int32_t callDepth = 0;
    char callNames[kMaxCallDepth][kNameSize]{};
    int32_t callReturns[kMaxCallDepth]{};
  };

  int Viewer(const char* arg);
  bool ReadDefinition(const std::string& name, int firstNumber, ViewerDefinition& out) const;
  // Whether a picture of an entry, with its running number, has been seen.
  bool Seen(const std::string& picture, int number) const;
  void ComputeStates();
  int PageCount() const;
  // Entry n of the current page (an empty one outside the pages).
  const ViewerEntry& Entry(int n) const;
  // A page picture into a screen surface; a missing one leaves the surface as it was.
  void LoadPage(const std::string& name, Surface& into);
  void DrawPage();
  int HitTest(int x, int y) const;
  // The rectangle of a hover code; false for codes without one.
  bool ItemRect(int code, ViewerRect& rect) const;
  void Highlight(int code);
  void ShowCaption(int entry);
  void ShowNextPicture();
  // Shows the full-view picture at (ox, oy) of it.
  void ShowView(int ox, int oy);
  void Pan(bool vertical, int from, int to);
  void LeaveFullView();
  void StartReplay(int entry);
  void CloseViewer(bool musicRoom);
  void FreePictures();

  EngineState& s_;
  Screen& screen_;
  const GameConfig& config_;
  const Settings& settings_;
  ScriptLoader& loader_;
  PictureLoader& pictures_;
  SystemText& systemText_;
  FrameClock& clock_;
  Platform& platform_;
  GalleryHooks hooks_;

  std::vector<std::string> pictureList_;
  std::unordered_map<std::string, int> firstIndex_;
  // Where the second gallery's numbering starts.
  int continuedFrom_ = 0;
  ViewerDefinition def_;
  Surface plate_, plate2_, fullPicture_;
  std::array<int, kHoverCodes> glow_{};
  int page_ = 0;
  int hover_ = 0;
  bool fullView_ = false;
  int fullEntry_ = 0;
  int pictureIndex_ = 0;
  int panState_ = 0;
  bool panning_ = false;
  std::string fullViewName_;
  int playing_ = 0;
  int lastTrack_ = 0;
  int idlePasses_ = 0;
  ReturnRecord record_;
};

}  // namespace zorvel
