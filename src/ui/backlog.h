// The history view (the last lines of read text with their voices, scrolled by a bar, arrows,
// the thumb and the wheel), the ring of the last pages as they looked, and the page rewind
// that shows them again one by one. Both views take the game area over and hand it back as
// they found it.
//
// Touches: the history, the page grid, the layer names, the mode fields (backlogOpen,
// screenMode, toolbarLocked) and S023, S028, S037, S060, S065 and S150 of the game state; the
// screen, scene, background, novel-page and window surfaces; the layers (a rewound page is
// composed from its own names); the message font (the rewound page's text) and the system
// text (the history rows). The sound, the tool bar, the quick-button bar, the window picture
// and the name plate are reached through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/layers.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "text/font.h"
#include "text/system_text.h"

namespace zorvel {

constexpr int kPageRingSize = 20;
constexpr int kPageNamesSize = 128;
constexpr int kPageVoicesSize = 256;
// Rows of history the view shows at once.
constexpr int kBacklogRows = 29;

// One page as the rewind shows it again; the layout is the save file's.
struct PageRecord {
  char text[kPageRows][kPageColumns]{};
  char names[kPageNamesSize]{};    // background name, ",", character list
  int32_t overlay = 0;             // S023 at the time
  int32_t novel = 0;               // S150 at the time
  char voices[kPageVoicesSize]{};  // the page's voice names, each followed by a blank
};

// The ring and its counter, saved and loaded with the game.
struct PageRing {
  std::array<PageRecord, kPageRingSize> records{};
  int32_t pageCounter = 0;  // pages recorded so far; record k lives in slot k mod 20
  // The newest record was made at a "=" wait and the counter stepped back over it: the next
  // record rewrites it, keeping the voices it holds. Not saved: a load works it out again.
  bool rewriting = false;

  // The record the next one goes into.
  PageRecord& Next();
  // After a load: the game waits at the "=" that made the newest record of the page it shows.
  void NoteLoaded(const EngineState& s);
};

struct BacklogHooks {
  // Plays a voice or system sound by name (nothing while skipping).
  Hook<void(const char* name)> playSystemSound;
  Hook<void()> updateToolbar;
  Hook<void()> drawQuickBar;
  // Builds the window picture (the novel page in novel mode) from the scene.
  Hook<void()> buildWindowPicture;
  // Draws a name onto the name plate of the screen surface.
  Hook<void(const char* sjisName)> drawSpeakerName;
  // Composes and shows the game screen with a numbered transition.
  Hook<void(int transition)> updateScreen;
};

class Backlog {
 public:
  Backlog(EngineState& state, Screen& screen, const GameConfig& config, const Settings& settings,
          PictureLoader& pictures, Layers& layers, Font& font, SystemText& systemText,
          Platform& platform, BacklogHooks hooks);

  // The page ring. Record at the line-start waits; the "=" wait steps the counter back after
  // recording, so that the next record rewrites the same page.
  void RecordBacklogPage();
  void StepPageCounterBack();
  void ResetPageCounter();
  // A voice started on the current page ([cv NAME]).
  void AddPageVoice(const char* name);

  // The history view.
  void OpenBacklog();
  void CloseBacklog();
  void Click(MouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void MouseUp();
  void Wheel(int delta);

  // The page rewind.
  void EnterRewind();
  // Back one page, or forward one (leaving the rewind past the newest page).
  void StepRewind(bool forward);
  void LeaveRewind();

  const PageRing& Ring() const { return ring_; }
  PageRing& Ring() { return ring_; }
  int ScrollOffset() const { return scrollOffset_; }
  // How many pages back the rewind shows (1 the newest); 0 outside it.
  int RewindDepth() const { return depth_; }
  // The voice a shown row replays; empty for a text row.
  const char* RowVoice(int row) const;
  // The last voice a row of the view was asked to replay: the sound may be off or missing,
  // so what the player asked for is kept where the state dump can show it.
  const std::string& ReplayedVoice() const { return replayedVoice_; }

  // The history view drawn again on the screen surface and shown.
  void DrawBacklog();

 private:
  int CommittedLines() const;
  int MaxScroll() const;
  // The scroll offset for a thumb dragged to y.
  void DragTo(int y);
  void SetScroll(int offset);
  void ShowRecord(int index);
  void DrawPageText(const PageRecord& record, bool novel);

  EngineState& s_;
  Screen& screen_;
  const GameConfig& config_;
  const Settings& settings_;
  PictureLoader& pictures_;
  Layers& layers_;
  Font& font_;
  SystemText& systemText_;
  Platform& platform_;
  BacklogHooks hooks_;

  PageRing ring_;
  char pageVoices_[kPageVoicesSize]{};

  // The history view while it is open.
  Surface kept_, background_, thumb_, voiceIcon_, voiceIconLit_;
  Surface upArrow_, upArrowMask_, downArrow_, downArrowMask_;
  std::string face_;
  int scrollOffset_ = 0;
  std::array<std::array<char, kHistorySlotSize>, kBacklogRows> rowVoices_{};
  int drag_ = 0;  // 0 none, 1 up arrow, 2 down arrow, 3 thumb track
  int litArrow_ = 0;
  int hoveredRow_ = -1;
  std::string replayedVoice_;

  // The rewind.
  int depth_ = 0;
  int32_t keptNovel_ = 0;
};

}  // namespace zorvel
