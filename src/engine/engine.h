// The one engine object: owns the game state, the archives, the configuration, the settings
// and every subsystem for the life of the process, and drives them from the idle pass, the
// 55 ms timer and input.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/movie.h"
#include "audio/music.h"
#include "audio/sound.h"
#include "core/engine_state.h"
#include "dialogs/name_entry_dialog.h"
#include "dialogs/settings_dialog.h"
#include "dialogs/small_dialogs.h"
#include "extras/extras.h"
#include "graphics/animation.h"
#include "graphics/effects.h"
#include "graphics/frame_clock.h"
#include "graphics/layers.h"
#include "graphics/message_window.h"
#include "graphics/objects.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "graphics/transitions.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "save/global_data.h"
#include "save/save_games.h"
#include "save/save_screens.h"
#include "script/commands.h"
#include "script/expressions.h"
#include "script/flow_commands.h"
#include "script/interpreter.h"
#include "text/font.h"
#include "text/message_text.h"
#include "text/system_text.h"
#include "translation/translation.h"
#include "ui/player_input.h"
#include "ui/player_ui.h"
#include "ui/ui_layer.h"

namespace zorvel {

// What a host that runs many short engines one after the other (the script fuzzer) keeps between
// them: each new engine borrows the state and the pictures, starts from them as a fresh engine
// would, and gives them back when it ends.
struct EngineStock {
  SurfaceStock surfaces;
  std::unique_ptr<EngineState> state;
};

struct EngineOptions {
  std::string gameDir = ".";
  std::string saveDir;  // empty: the game directory
  // False for hosts that run thousands of short engines (the script fuzzer): save files then
  // live in memory for the engine's life and nothing is written to disk.
  bool writeSaveFiles = true;
  uint32_t randomSeed = 0;
  bool seedGiven = false;
  EngineStock* stock = nullptr;  // null: allocate everything
  // A PO file shown in place of the scripts' texts; empty: the `Translation` setting decides.
  std::string translationFile;
};

struct ShownMessageBox {
  std::string text;  // UTF-8
  std::string caption;
  bool ok = true;
};

class Engine : public ScriptHost {
 public:
  static constexpr uint32_t kTimerInterval = 55;
  static constexpr uint32_t kIdlePassMs = 20;

  Engine(Platform& platform, EngineOptions options);
  ~Engine() override;

  // Start-up, then idle passes and timer ticks until the window closes or the platform stops
  // the run; then Shutdown. Returns the process exit code.
  int Run();

  // Start-up sequence of the main window.
  void Start();
  void StartMainScript();
  // Every attempt to close the window; true when the close is allowed.
  bool RequestClose() override;
  void Shutdown();

  void AppIdle();
  void Timer1Timer();
  void PBPaint();
  void HandleEvent(const InputEvent& event);

  void ResetWaits() override;
  void UpdateToolbar();
  // Word wrap for text in a language written with spaces (a translation in use); the WordWrap
  // setting turns it on as well.
  void SetWordWrap(bool on) { text_.SetWordWrap(on); }

  // State as JSON (texts in UTF-8), as --dump-state and the `dump` event write it.
  std::string DumpState(int exitCode) const;
  const Surface& GameArea() const;

  EngineState& State() { return *state_; }
  const EngineState& State() const { return *state_; }
  const GameConfig& Config() const { return config_; }
  const Settings& CurrentSettings() const { return settings_; }
  const DeveloperLog& DevLog() const { return devLog_; }
  const PlayerInput& Input() const { return input_; }
  UiLayer& Ui() { return ui_; }
  const Backlog& BacklogScreen() const { return backlog_; }
  Font& MessageFont() { return font_; }
  const HiddenWindow& HiddenScreen() const { return hidden_; }
  const Choices& ChoiceList() const { return choices_; }
  const ClickMap& Map() const { return clickMap_; }
  const Cursors& MapCursors() const { return cursors_; }
  SaveScreens& Saves() { return saves_; }
  const Movie& MoviePlayer() const { return movie_; }
  Recollection& RecollectionScreen() { return recollection_; }
  const QuickBar& Bar() const { return quickBar_; }
  const StaffRoll& Rolls() const { return staffRoll_; }
  const SelectionTree& Tree() const { return tree_; }
  const Gallery& Viewer() const { return gallery_; }
  Sound& Audio() { return sound_; }
  const std::vector<ShownMessageBox>& MessageBoxes() const { return messageBoxes_; }
  bool Closed() const { return closed_; }
  Interpreter& Interp() { return interpreter_; }
  const Layers& LayerState() const { return layers_; }
  const Screen& Surfaces() const { return screen_; }
  const Objects& ObjectSlots() const { return objects_; }
  const Animation& Animations() const { return animation_; }
  Expressions& Expr() { return expressions_; }
  SettingsDialog& SettingsScreen() { return settingsDialog_; }
  NameEntryDialog& NameEntry() { return nameEntry_; }
  PlaylistNameDialog& PlaylistNaming() { return playlistName_; }
  ChoicePresetDialog& ChoicePresets() { return choicePresets_; }
  // A translation's texts are shown in place of the scripts' (the text layout wraps words then).
  bool TranslationInUse() const { return translation_.InUse(); }
  const Translation& CurrentTranslation() const { return translation_; }

  // The playlist naming dialog over the current name (Shift-JIS): the new name, at most 30
  // bytes and never a split character, or nothing when the player cancelled.
  std::optional<std::string> AskPlaylistName(const std::string& sjisCurrent) {
    return playlistName_.AskPlaylistName(sjisCurrent);
  }

  // ScriptHost.
  bool OutputChar(const char* bytes, int advance) override;
  void OpenTextPage() override;
  void AutoWaitTicks() override;
  void RecordBacklogPage() override { backlog_.RecordBacklogPage(); }
  void StepBacklogPageBack() override { backlog_.StepPageCounterBack(); }
  void AddPageVoice(const char* name) override { backlog_.AddPageVoice(name); }
  void PlaySystemSound(const char* name) override;
  bool Skipping() const override { return state_->skipMode != 0; }
  void PassageUnread() override;
  bool WholeLinesAtOnce() const override { return settings_.Delay != 0; }
  void StopSkip() override;
  void BreakSkipAndAuto(int force) override;
  void AskQuitAfterAnimation() override;
  bool EffectsCut() const override { return Skipping() && settings_.EFX_CUT != 0; }
  void CountFinishedGame() override;
  void ResetEffects(const char* how) override;
  void RedrawQuickButtons() override { quickBar_.DrawQuickBar(); }
  void RunGraTag(const char* name) override { layers_.GraTag(name); }
  void DrawSpeakerName() override { text_.DrawSpeakerName(s_.speakerName); }
  void DrawRuby(const char* text) override { text_.DrawRuby(text); }
  void SetTextColour() override { text_.SetTextColour(); }
  bool WordWrap() const override { return text_.WordWrap(); }
  void StartWord(int letters) override { text_.StartWord(letters); }
  void CloseMessageWindow() override { window_.CloseMessageWindow(); }
  void RunClrbTag(const char* arg) override { layers_.ClrbTag(arg); }
  void UpdateScreen(int transition) override { layers_.UpdateScreen(transition); }
  void InvalidateWindowPicture() override { s_.windowPictureValid = false; }
  void RedrawWindowForNovelMode() override { window_.BuildWindowPicture(); }
  void ReturnFromReplay() override;

 private:
  void ReadSettingsIntoState();
  // The translation named on the command line or by the `Translation` setting, if any.
  void LoadTranslation();
  LayerHooks MakeLayerHooks();
  MessageTextHooks MakeTextHooks();
  QuickBarHooks MakeQuickBarHooks();
  SaveGameHooks MakeSaveGameHooks();
  SoundHooks MakeSoundHooks();
  SettingsDialogHooks MakeSettingsDialogHooks();
  StaffRollHooks MakeStaffRollHooks();
  SelectionTreeHooks MakeSelectionTreeHooks();
  // One pass of a roll's loop: input, and the timer when it is due (music keeps streaming).
  // False once the run must end.
  bool RollPass();
  const std::vector<uint8_t>* LoadConfigScript(const char* name);
  EffectHooks MakeEffectHooks();
  GalleryHooks MakeGalleryHooks();
  AnimationHooks MakeAnimationHooks();
  RecollectionHooks MakeRecollectionHooks();
  ClickMapHooks MakeClickMapHooks();
  // The message font from the settings (face, size, bold), with its common glyphs cached.
  void LoadFont();
  // The window at the stored place, kept on the desktop.
  void PlaceWindow();
  // Presents ScreenSurface with a numbered transition.
  void RunTransition(int transition);
  // Pumps pending input once, as blocking loops do between frames.
  void PumpEvents();
  // The game cannot be played: says so in the player's words, logs why, ends the run.
  void RefuseGameData(const std::string& why);
  // A termination signal: the close work without the question.
  void CloseAtOnce();
  void CloseWindow();
  bool Ask(const char* sjisText, const char* sjisCaption, MessageBoxKind kind);
  void SleepUntil(uint32_t deadline);
  // One pass of a nested loop (menus, message boxes): input, the timer when due, a frame of the
  // interface layer. False once the run must end.
  bool ModalPass(uint32_t& nextTick);
  int RunMenu(const std::vector<MenuItem>& items, int frameX, int frameY);
  void SaveScreenshot();
  PlayerInput MakePlayerInput();

  Platform& platform_;
  EngineOptions options_;
  std::unique_ptr<EngineState> state_;
  EngineState& s_;

  ArchiveSet archives_;
  ScriptLoader loader_;
  GameConfig config_;
  Settings settings_;
  SettingsLocation settingsWhere_;
  std::string cdDir_ = "NULL";

  Translation translation_;
  RandomGenerator random_;
  DeveloperLog devLog_;
  Expressions expressions_;
  CommandTable commands_;
  Interpreter interpreter_;
  FlowCommands flow_;

  Screen screen_;
  PictureLoader pictures_;
  Layers layers_;
  FrameClock frameClock_;
  Transitions transitions_;
  Font font_;
  SystemText systemText_;
  MessageText text_;
  MessageWindow window_;
  Sound sound_;
  Music music_;
  Movie movie_;
  Effects effects_;
  Objects objects_;
  Animation animation_;
  GlobalData globalData_;
  Gallery gallery_;
  Recollection recollection_;
  Backlog backlog_;
  QuickBar quickBar_;
  Cursors cursors_;
  Choices choices_;
  HiddenWindow hidden_;
  ClickMap clickMap_;
  StaffRoll staffRoll_;
  SelectionTree tree_;
  SaveGames saveGames_;
  SaveScreens saves_;
  SettingsDialog settingsDialog_;
  NameEntryDialog nameEntry_;
  PlaylistNameDialog playlistName_;
  ChoicePresetDialog choicePresets_;
  UiLayer ui_;
  PlayerInput input_;
  // When the main loop's next timer tick is due (0 before Run starts).
  uint32_t nextTick_ = 0;
  // Set while a menu or message box runs its own loop: the game sees no input meanwhile.
  bool modalUi_ = false;
  // When a roll's loop runs the timer next (0: at its first pass).
  uint32_t rollTick_ = 0;

  bool hasWaveDevice_ = false;
  bool closed_ = false;
  int exitCode_ = 0;
  std::vector<ShownMessageBox> messageBoxes_;
};

}  // namespace zorvel
