#include "engine/engine.h"

#include <cstring>
#include <memory>

#include "core/exit_codes.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Message texts, Shift-JIS.
constexpr char kNoGameData[] =
    "\x83\x51\x81\x5B\x83\x80\x83\x66\x81\x5B\x83\x5E\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDF"
    "\x82\xDC\x82\xB9\x82\xF1\x81\x42";  // ゲームデータを読み込めません。
constexpr char kErrorCaption[] = "Error!";
constexpr char kQuitQuestion[] =
    "\x83\x51\x81\x5B\x83\x80\x82\xF0\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
// ゲームを終了しますか？
constexpr char kConfirmCaption[] = "\x8A\x6D\x94\x46";  // 確認

// The key and section that count finished games, whatever the game configures.
constexpr char kClearKeyPath[] = "Software\\Brinmoor";
constexpr char kClearSection[] = "tova";
constexpr int kGameClearedFlag = 999;

std::unique_ptr<EngineState> NewState(EngineStock* stock) {
  if (stock == nullptr || stock->state == nullptr) return std::make_unique<EngineState>();
  std::unique_ptr<EngineState> state = std::move(stock->state);
  // Value-initialised in place, exactly as make_unique leaves a new one.
  std::destroy_at(state.get());
  std::construct_at(state.get());
  return state;
}

}  // namespace

Engine::Engine(Platform& platform, EngineOptions options)
    : platform_(platform),
      options_(std::move(options)),
      state_(NewState(options_.stock)),
      s_(*state_),
      archives_(options_.gameDir),
      loader_(archives_, s_),
      expressions_(s_.vars, random_, devLog_, [this] { UpdateToolbar(); }),
      commands_(s_, *this),
      interpreter_(s_, loader_, expressions_, commands_, *this),
      flow_(s_, loader_, interpreter_, expressions_, *this),
      screen_(platform, options_.stock ? &options_.stock->surfaces : nullptr),
      pictures_(archives_),
      layers_(screen_, s_, pictures_, platform, MakeLayerHooks()),
      frameClock_(platform, [this] { PumpEvents(); }),
      transitions_(
          screen_, s_, settings_, frameClock_, random_, platform,
          TransitionHooks{[this] { UpdateToolbar(); }, [this] { window_.DrawWindowAndText(); },
                          [this](const char* name, Surface& picture) {
                            return pictures_.LoadPicture(name, picture);
                          }}),
      font_(config_, s_.vars, platform),
      text_(s_, config_, settings_, screen_, font_, systemText_, platform, MakeTextHooks()),
      window_(screen_, s_, config_, settings_, platform, frameClock_,
              MessageWindowHooks{[this] { text_.RedrawText(); },
                                 [this](int mode) { quickBar_.DrawQuickBar(mode); },
                                 [this](int mode) { cursors_.DrawMeter(mode); },
                                 [this] { return effects_.BackgroundAnimationRunning(); },
                                 [this] { return effects_.Frames(); }}),
      sound_(archives_, s_, settings_, platform, MakeSoundHooks()),
      music_(sound_.Device(), archives_, s_, settings_,
             MusicHooks{[this] { return sound_.SoundReady(); },
                        [this] { return sound_.WindowActive(); },
                        [this] { sound_.RefreshMasterVolume(); }}),
      movie_(s_, platform, options_.gameDir,
             MovieHooks{[this] { PBPaint(); }, [this] { UpdateToolbar(); }}),
      effects_(screen_, s_, config_, settings_, frameClock_, platform, MakeEffectHooks()),
      objects_(screen_, pictures_, frameClock_, platform,
               ObjectHooks{[this](const char* text) { return expressions_.Evaluate(text); }}),
      animation_(screen_, s_, archives_, frameClock_, platform, MakeAnimationHooks()),
      globalData_(s_, platform.Settings(), settingsWhere_, settings_),
      gallery_(s_, screen_, config_, settings_, loader_, pictures_, systemText_, frameClock_,
               platform, MakeGalleryHooks()),
      recollection_(s_, screen_, pictures_, loader_, layers_, systemText_, platform,
                    globalData_.Playlists(), MakeRecollectionHooks()),
      backlog_(s_, screen_, config_, settings_, pictures_, layers_, font_, systemText_, platform,
               BacklogHooks{[this](const char* name) { PlaySystemSound(name); },
                            [this] { UpdateToolbar(); }, [this] { quickBar_.DrawQuickBar(); },
                            [this] { window_.BuildWindowPicture(); },
                            [this](const char* name) { text_.DrawSpeakerName(name); },
                            [this](int transition) { layers_.UpdateScreen(transition); }}),
      quickBar_(s_, screen_, config_, settings_, systemText_, platform, saves_,
                MakeQuickBarHooks()),
      cursors_(s_, screen_, pictures_, frameClock_, platform, options_.gameDir),
      choices_(s_, screen_, config_, settings_, font_, expressions_, interpreter_, frameClock_,
               platform,
               ChoiceHooks{[this](const char* name) { PlaySystemSound(name); },
                           [this] { OpenTextPage(); },
                           [this] {
                             return std::pair{input_.MouseX(), input_.MouseY()};
                           }}),
      hidden_(s_, screen_, platform, options_.gameDir,
              HiddenWindowHooks{[this] { UpdateToolbar(); }, [this] { quickBar_.DrawQuickBar(); },
                                [this] { sound_.StopVoice(); },
                                [this](bool muted) { muted ? sound_.Mute() : sound_.Unmute(); }}),
      clickMap_(s_, screen_, loader_, interpreter_, expressions_, platform, MakeClickMapHooks()),
      staffRoll_(s_, screen_, systemText_, platform, MakeStaffRollHooks()),
      tree_(s_, screen_, font_, platform, MakeSelectionTreeHooks()),
      saveGames_(s_, screen_, config_, settings_, platform.Settings(), settingsWhere_, systemText_,
                 frameClock_, platform, backlog_.Ring(), MakeSaveGameHooks()),
      saves_(s_, ui_, saveGames_,
             SaveScreenHooks{[this](uint32_t& nextTick) { return ModalPass(nextTick); }}),
      settingsDialog_(ui_, platform.Settings(), settingsWhere_, settings_, config_,
                      MakeSettingsDialogHooks()),
      nameEntry_(s_, ui_, platform.Settings(), settingsWhere_, settings_, config_,
                 NameEntryHooks{[this](uint32_t& nextTick) { return ModalPass(nextTick); }}),
      playlistName_(ui_,
                    SmallDialogHooks{[this](uint32_t& nextTick) { return ModalPass(nextTick); }}),
      choicePresets_(s_, ui_, config_,
                     SmallDialogHooks{[this](uint32_t& nextTick) { return ModalPass(nextTick); }}),
      ui_(platform),
      input_(MakePlayerInput()) {
  flow_.Register(commands_);
  layers_.Register(commands_);
  transitions_.Register(commands_);
  window_.Register(commands_);
  choices_.Register(commands_);
  clickMap_.Register(commands_);
  cursors_.Register(commands_);
  saves_.Register(commands_);
  sound_.Register(commands_);
  music_.Register(commands_);
  movie_.Register(commands_);
  nameEntry_.Register(commands_);
  staffRoll_.Register(commands_);
  tree_.Register(commands_);
  effects_.Register(commands_);
  gallery_.Register(commands_);
  objects_.Register(commands_);
  animation_.Register(commands_);
  recollection_.Register(commands_);
  // The surfaces exist from the start so that even a run that ends early has a picture.
  screen_.CreateSurfaces();
  loader_.SetUnlockHook([this](const std::string& name) { recollection_.UnlockScene(name); });
}

Engine::~Engine() {
  // The subsystems that refer to the state end after this; the stock keeps it alive for them.
  if (options_.stock) options_.stock->state = std::move(state_);
}

void Engine::Start() {
  random_.Seed(options_.randomSeed);
  s_.vars.S.fill(0);
  hasWaveDevice_ = platform_.HasAudioOutput();

  if (std::string why; !archives_.OpenScriptArchives(why)) {
    RefuseGameData(why);
    return;
  }
  // The game configuration.
  if (loader_.LoadScript("_config", kLoadConfig)) {
    std::vector<std::string> problems;
    config_ = ParseConfig(loader_.ConfigText(), &problems);
    for (const std::string& p : problems) LogMessage("_config: " + p);
  }

  settingsWhere_ = LocateSettings(config_.MAKER_REG, config_.GAME_ID);
  if (!settingsWhere_.valid) {
    LogMessage("settings location \"" + SjisToUtf8(config_.MAKER_REG) + "\" [" +
               SjisToUtf8(config_.GAME_ID) +
               "] would leave the settings directory; settings are not read or written");
  }
  globalData_.SetDirectory(
      options_.writeSaveFiles
          ? ResolveSaveDirectory(options_.saveDir, options_.gameDir, config_.GAME_ID)
          : std::string());
  cdDir_ = ReadCdDir(platform_.Settings(), settingsWhere_);
  platform_.SetTitle(SjisToUtf8(config_.TITLE));
  ReadSettingsIntoState();
  LoadTranslation();
  PlaceWindow();
  LoadFont();

  screen_.screenSurface.Fill(0, 0, 0);
  screen_.PresentScreen();

  archives_.OpenArchives(config_, cdDir_);

  screen_.LoadSystemPictures(pictures_, config_);
  screen_.BuildWindowBackground(settings_, config_.TXW_SIZE_X, config_.TXW_SIZE_Y);

  ResetWaits();

  s_.vars.E.Clear();
  s_.vars.F.Clear();
  s_.vars.seen.Clear();
  s_.vars.unlocked.Clear();
  s_.vars.V.fill(0);
  s_.vars.reserved.fill(0);

  s_.vars.S[kClearCount] = settings_.Clear;
  globalData_.LoadGlobalData();

  s_.historyLen = 0;
  s_.historyLines = 0;
  std::memset(s_.history, 0, sizeof s_.history);

  auto& S = s_.vars.S;
  S[kSavePermission] = 3;
  S[5] = 0;
  S[8] = 8;
  UpdateToolbar();

  layers_.Reset();
  S[kLastAutoLevel] = 5;
  S[32] = 520;
  S[33] = 30;
  S[kTextColour] = kWhite;
  SetTextColour();

  effects_.Reset("INIT");

  s_.textWindowOn = false;
  S[kNovelMode] = 0;
  s_.questionKind = 0;
  s_.backlogOpen = false;
  S[kRecording] = S[kRecording2] = S[kRecording3] = 0;
  backlog_.ResetPageCounter();
  s_.animating = false;
  s_.closeRequest = 0;

  std::memset(s_.stringVars, 0, sizeof s_.stringVars);
  CopyField(s_.stringVars[0], kStringVarSize, settings_.PlayerName);
  CopyField(s_.stringVars[1], kStringVarSize, settings_.PlayerName2);

  S[31] = 0;
  s_.startPending = true;

  objects_.InitObjects();
  gallery_.CreatePictureList();
  gallery_.ReadConfiguration("VIEW_1");
  recollection_.ReadRecollectionList();
  tree_.ReadTrees();
  cursors_.LoadCursorsAndMeter();
}

void Engine::LoadTranslation() {
  std::string path = options_.translationFile;
  if (path.empty()) path = SjisToUtf8(settings_.Translation);
  if (path.empty()) return;
  if (path[0] != '/') path = JoinPath(options_.gameDir, path);
  const auto bytes = ReadWholeFile(path);
  if (!bytes) {
    const std::string why = ReadProblem(path);
    LogMessage("translation " + path + " cannot be read" + (why.empty() ? "" : ": " + why) +
               "; the game shows its own texts");
    return;
  }
  std::vector<std::string> messages;
  translation_.Load(*bytes, path, messages);
  for (const std::string& m : messages) LogMessage(m);
  if (!translation_.InUse()) {
    LogMessage("translation " + path + " translates no text; the game shows its own texts");
    return;
  }
  interpreter_.UseTranslation(&translation_);
  // Translations are written in languages with spaces between words.
  text_.SetWordWrap(true);
  // A speaker's colour is looked up by the name the plate shows.
  for (SpeakerColour& speaker : config_.speakers) {
    if (!speaker.defined) continue;
    speaker.translatedName.clear();
    for (const auto& [script, lines] : translation_.Scripts()) {
      for (const auto& [line, text] : lines) {
        if (text.id == speaker.name) speaker.translatedName = text.str;
      }
      if (!speaker.translatedName.empty()) break;
    }
  }
}

ClickMapHooks Engine::MakeClickMapHooks() {
  return ClickMapHooks{.playSystemSound = [this](const char* name) { PlaySystemSound(name); },
                       .takeAsChoice = [this](int chosen) { choices_.RecordTaken(chosen); },
                       .redrawMessageWindow = [this] { window_.DrawWindowAndText(); },
                       .setMapCursor = [this](int n) { cursors_.SetMapCursor(n); },
                       .pointer =
                           [this] {
                             return std::pair{input_.MouseX(), input_.MouseY()};
                           },
                       .textWidth =
                           [this](const char* text, int height) {
                             const std::string& face = settings_.FontName.empty()
                                                           ? config_.FONT_NAME
                                                           : settings_.FontName;
                             return systemText_.Measure(text, face, height);
                           }};
}

LayerHooks Engine::MakeLayerHooks() {
  return LayerHooks{
      .runTransition = [this](int n) { RunTransition(n); },
      .backgroundAnimationRunning = [this] { return effects_.BackgroundAnimationRunning(); },
      .removeMarkIcon = [this] { effects_.EraseMark(); },
      .buildWindowPicture = [this] { window_.BuildWindowPicture(); },
      .drawWindowAndText = [this] { window_.DrawWindowAndText(); },
      .galleryIndex = [this](const std::string& name) { return gallery_.PictureIndex(name); },
      .galleryCount = [this] { return gallery_.PictureCount(); },
      .countCharacterChange = [this] { globalData_.CountCharacterChange(); },
      .pumpEvents =
          [this] {
            PumpEvents();
            return !closed_ && !platform_.ShouldStop();
          },
      .skipping = [this] { return Skipping(); },
      .evaluate = [this](const char* text) { return expressions_.Evaluate(text); }};
}

GalleryHooks Engine::MakeGalleryHooks() {
  return GalleryHooks{.music = [this](int number) { music_.MusicCommand(number); },
                      .updateToolbar = [this] { UpdateToolbar(); },
                      .enableSaveItems = [this](bool enabled) { input_.EnableSaveItems(enabled); },
                      .enableSaveEdit = [this](bool enabled) { input_.EnableSaveEdit(enabled); },
                      .resetWaits = [this] { ResetWaits(); },
                      .gotoLabel = [this](const char* label) { interpreter_.GotoLabel(label); },
                      .stopLoop = [this] { sound_.StopLoop(); },
                      .running =
                          [this] {
                            return !closed_ && !platform_.ShouldStop() &&
                                   !platform_.TerminationRequested();
                          }};
}

void Engine::ReturnFromReplay() {
  if (s_.replayOrigin == 1) gallery_.ReturnToViewer();
  if (s_.replayOrigin == 2) recollection_.EndRecollectionScene(false);
}

MessageTextHooks Engine::MakeTextHooks() {
  return MessageTextHooks{
      .drawWindowAndText = [this] { window_.DrawWindowAndText(); },
      .drawQuickBar = [this](int mode) { quickBar_.DrawQuickBar(mode); },
      .crossfadeByType = [this](int type) { transitions_.CrossfadeByType(type); },
      .backgroundAnimationRunning = [this] { return effects_.BackgroundAnimationRunning(); },
      .backgroundFrames = [this] { return effects_.Frames(); },
      .skipping = [this] { return Skipping(); },
      .closeBacklogLine = [this] { interpreter_.CommitHistoryLine(); }};
}

EffectHooks Engine::MakeEffectHooks() {
  return EffectHooks{
      .loadConfigScript = [this](const char* name) -> const std::vector<uint8_t>* {
        return loader_.LoadScript(name, kLoadConfig) ? &loader_.ConfigText() : nullptr;
      },
      .loadPicture = [this](const char* name,
                            Surface& picture) { return pictures_.LoadPicture(name, picture); },
      .buildWindowPicture = [this] { window_.BuildWindowPicture(); },
      .buildScreen = [this] { layers_.BuildScreen(); },
      .openTextPage = [this] { OpenTextPage(); },
      .updateToolbar = [this] { UpdateToolbar(); },
      .composeScene = [this] { layers_.ComposeScene(); },
      .loadCharacters = [this](const char* spec) { layers_.LoadCharacters(spec); },
      .resetPositions = [this] { layers_.ResetPositions(); },
      .closeMessageWindow = [this] { window_.CloseMessageWindow(); },
      .reportError =
          [this](const std::string& message) {
            devLog_.Report(DeveloperLog::kInvalidExpression, message);
          }};
}

AnimationHooks Engine::MakeAnimationHooks() {
  return AnimationHooks{
      .updateToolbar = [this] { UpdateToolbar(); },
      .evaluate = [this](const char* text) { return expressions_.Evaluate(text); },
      .playSound = [this](StreamSource& source, uint64_t offset,
                          uint32_t size) { music_.PlayAnimationSound(source, offset, size); },
      .startStream =
          [this](std::unique_ptr<StreamSource> source, uint64_t offset) {
            music_.StartAnimationStream(std::move(source), offset);
          },
      .stopSound = [this] { music_.StopAnimationSound(); },
      .stopStream = [this] { music_.StopStream(); },
      .askQuit = [this] { AskQuitAfterAnimation(); }};
}

SoundHooks Engine::MakeSoundHooks() {
  return SoundHooks{.skipping = [this] { return Skipping(); },
                    .addPageVoice = [this](const char* name) { backlog_.AddPageVoice(name); },
                    .appendHistory = [this](const char* bytes,
                                            int len) { interpreter_.AppendHistory(bytes, len); },
                    .commitHistoryLine = [this] { interpreter_.CommitHistoryLine(); }};
}

SaveGameHooks Engine::MakeSaveGameHooks() {
  return SaveGameHooks{
      .playSystemSound = [this](const char* name) { PlaySystemSound(name); },
      .drawQuickBar = [this] { quickBar_.DrawQuickBar(); },
      .updateToolbar = [this] { UpdateToolbar(); },
      .breakSkipAndAuto = [this](int force) { BreakSkipAndAuto(force); },
      .stopAllSounds = [this] { sound_.StopAllSounds(); },
      .stopLoop = [this] { sound_.StopLoop(); },
      .loopEffect = [this] { return sound_.LoopEffect(); },
      .restartLoop = [this](const std::string& name) { sound_.RestartLoopAfterLoad(name); },
      .music = [this](int number) { music_.MusicCommand(number); },
      .syncGlobalData = [this] { globalData_.SyncGlobalData(); },
      .restoreScreen =
          [this] {
            layers_.RestoreLayers();
            layers_.UpdateScreen(7);
          },
      .readScript = [this](const char* name) { return loader_.ReadScript(name); },
      .installScript =
          [this](const char* name, std::vector<uint8_t> text) {
            loader_.InstallScript(name, std::move(text), kLoadStory);
          },
      .windowStale = [this] { s_.windowPictureValid = false; },
      .directory = [this] { return globalData_.Directory(); },
      .now = [] { return LocalTimeNow(); }};
}

SettingsDialogHooks Engine::MakeSettingsDialogHooks() {
  return SettingsDialogHooks{
      .modalPass = [this](uint32_t& nextTick) { return ModalPass(nextTick); },
      .masterVolume = [this] { return sound_.MasterVolume(); },
      .setMasterVolume = [this](int centibels) { sound_.SetMasterVolume(centibels); },
      .applyVolumes =
          [this] {
            // A fade keeps its own level; otherwise the music takes the new volume now.
            if (s_.fadeLevel == 0) s_.musicVolume = settings_.Vol3;
            sound_.ApplyVolumes();
          },
      .playSampleVoice = [this] { sound_.PlaySound(Sound::kSampleVoice); },
      .applyMusicSwitch = [this] { music_.ApplyMusicSwitch(); },
      .rebuildGlyphs = [this] { LoadFont(); },
      .fontFamilies = [] { return InstalledFontFamilies(); }};
}

RecollectionHooks Engine::MakeRecollectionHooks() {
  return RecollectionHooks{
      .resetWaits = [this] { ResetWaits(); },
      .updateToolbar = [this] { UpdateToolbar(); },
      .music = [this](int number) { music_.MusicCommand(number); },
      .stopLoopingEffect = [this] { sound_.StopLoop(); },
      .showReplayItems =
          [this](bool sceneSkip, bool endRecollection) {
            input_.ShowReplayItems(sceneSkip, endRecollection);
          },
      .enableSaveItems = [this](bool enabled) { input_.EnableSaveItems(enabled); },
      .askPlaylistName = [this](const std::string& name) { return AskPlaylistName(name); }};
}

QuickBarHooks Engine::MakeQuickBarHooks() {
  return QuickBarHooks{
      .updateToolbar = [this] { UpdateToolbar(); },
      .playSystemSound = [this](const char* name) { PlaySystemSound(name); },
      .backgroundAnimationRunning = [this] { return effects_.BackgroundAnimationRunning(); },
      .pointer =
          [this] {
            return std::pair{input_.MouseX(), input_.MouseY()};
          },
      .hideWindow = [this] { hidden_.HideWindow(); },
      .openBacklog = [this] { backlog_.OpenBacklog(); },
      .stepRewind = [this](bool forward) { backlog_.StepRewind(forward); },
      .showSettings = [this] { return settingsDialog_.ShowModal(); },
      .readStoredSettings =
          [this] {
            int width = 0;
            int height = 0;
            platform_.DesktopSize(width, height);
            return ReadSettings(platform_.Settings(), settingsWhere_, config_, width, height);
          },
      .reloadFont = [this] { LoadFont(); },
      .redrawMessageWindow =
          [this] {
            window_.BuildWindowPicture();
            window_.DrawWindowAndText();
          },
      .restoreScreen =
          [this] {
            layers_.RestoreLayers();
            layers_.UpdateScreen(0);
          },
      .fullScreen = [this] { return input_.FullScreen(); },
      .setFullScreen =
          [this](bool on) { on ? input_.EnterFullScreen() : input_.LeaveFullScreen(); },
      .pumpEvents = [this] { PumpEvents(); },
      .stopBackgroundAnimation = [this] { effects_.StopBackgroundAnimation(); },
      .stopMusic = [this] { music_.StopMusic(); },
      .endSelectionTree = [this] { tree_.EndTree(); },
      .restoreChoiceScreen = [this] { choices_.RestoreScreen(); },
      .closeMessageWindow = [this] { window_.CloseMessageWindow(); },
      .loadScript = [this](const char* name) { return loader_.LoadScript(name, kLoadStory); }};
}

StaffRollHooks Engine::MakeStaffRollHooks() {
  return StaffRollHooks{
      .processMessages = [this] { return RollPass(); },
      .loadConfigScript = [this](const char* name) { return LoadConfigScript(name); },
      .loadPicture = [this](const char* name,
                            Surface& picture) { return pictures_.LoadPicture(name, picture); },
      .music = [this](int32_t number) { music_.MusicCommand(number); },
      .updateToolbar = [this] { UpdateToolbar(); },
      .sepiaFade = [this] { transitions_.SepiaFade(); }};
}

SelectionTreeHooks Engine::MakeSelectionTreeHooks() {
  return SelectionTreeHooks{
      .loadConfigScript = [this](const char* name) { return LoadConfigScript(name); },
      .loadPicture = [this](const char* name,
                            Surface& picture) { return pictures_.LoadPicture(name, picture); },
      .closeMessageWindow = [this] { window_.CloseMessageWindow(); },
      .loadScript = [this](const char* name) { return loader_.LoadScript(name, kLoadStory); },
      .gotoLabel = [this](const char* label) { interpreter_.GotoLabel(label); },
      .resetWaits = [this] { ResetWaits(); },
      .restoreTextColour = [this] { text_.SetTextColour(); }};
}

const std::vector<uint8_t>* Engine::LoadConfigScript(const char* name) {
  return loader_.LoadScript(name, kLoadConfig) ? &loader_.ConfigText() : nullptr;
}

bool Engine::RollPass() {
  PumpEvents();
  const uint32_t now = platform_.Ticks();
  if (rollTick_ == 0 || static_cast<int32_t>(now - rollTick_) >= 0) {
    Timer1Timer();
    rollTick_ = now + kTimerInterval;
  }
  ui_.Render(now);
  return !closed_ && !platform_.ShouldStop();
}

void Engine::LoadFont() {
  const std::string& name = settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;
  font_.Load(name, settings_.FONTSIZE, settings_.FONTBold != 0);
  font_.PrecacheGlyphs();
}

void Engine::ResetEffects(const char* how) {
  effects_.Reset(how);
}

void Engine::RunTransition(int transition) {
  transitions_.RunTransition(transition);
}

void Engine::PumpEvents() {
  InputEvent event;
  while (!closed_ && platform_.PollEvent(event)) HandleEvent(event);
  if (platform_.TerminationRequested()) CloseAtOnce();
}

void Engine::ReadSettingsIntoState() {
  int width = 0;
  int height = 0;
  platform_.DesktopSize(width, height);
  settings_ = ReadSettings(platform_.Settings(), settingsWhere_, config_, width, height);
  auto& S = s_.vars.S;
  S[kNameChanged] = (settings_.PlayerName != config_.DEFAULT_NAME ||
                     settings_.PlayerName2 != config_.DEFAULT_NAME2)
                        ? 1
                        : 0;
  S[kDatePanel] = settings_.DatePanel;
  S[kWindowStyle] = settings_.TXWStyle;
  const int32_t gv[10] = {settings_.GV00, settings_.GV01, settings_.GV02, settings_.GV03,
                          settings_.GV04, settings_.GV05, settings_.GV06, settings_.GV07,
                          settings_.GV08, settings_.GV09};
  std::copy(std::begin(gv), std::end(gv), s_.vars.G.begin());
}

void Engine::StartMainScript() {
  if (s_.quitFlag) {
    CloseWindow();
    return;
  }
  screen_.screenSurface.Fill(0, 0, 0);
  screen_.PresentScreen();
  input_.EnterFullScreen();
  s_.callDepth = 0;
  CopyField(s_.scriptName, kNameSize, "main");
  if (!loader_.LoadScript("main", kLoadStory)) {
    RefuseGameData("the script main cannot be loaded from vx_data.kpz");
    CloseWindow();
    return;
  }
  sound_.CreateSoundDevice();
}

void Engine::PlaceWindow() {
  // Where the player left the window, but never off the desktop: a stored place from a larger
  // or second monitor would hide the game.
  int desktopWidth = 0;
  int desktopHeight = 0;
  platform_.DesktopSize(desktopWidth, desktopHeight);
  const int x = std::clamp(settings_.Left, 0, std::max(0, desktopWidth - kWindowOuterWidth));
  const int y = std::clamp(settings_.Top, 0, std::max(0, desktopHeight - kWindowOuterHeight));
  platform_.MoveWindow(x, y);
}

void Engine::RefuseGameData(const std::string& why) {
  LogMessage("cannot play this game: " + why);
  Ask(kNoGameData, kErrorCaption, MessageBoxKind::kError);
  s_.quitFlag = true;
  exitCode_ = kExitGameData;
}

bool Engine::Ask(const char* sjisText, const char* sjisCaption, MessageBoxKind kind) {
  ShownMessageBox box;
  box.text = SjisToUtf8(sjisText);
  box.caption = SjisToUtf8(sjisCaption);
  if (platform_.AnswersMessageBoxes()) {
    box.ok = platform_.ShowMessageBox(box.text, box.caption, kind) == MessageBoxAnswer::kOk;
  } else {
    ui_.OpenMessageBox(box.text, box.caption, kind);
    modalUi_ = true;
    uint32_t nextTick = platform_.Ticks() + kTimerInterval;
    std::optional<MessageBoxAnswer> answer;
    while (!(answer = ui_.TakeMessageBoxAnswer())) {
      // A run that must end (a signal, the platform) takes the box's safe answer.
      if (!ModalPass(nextTick)) break;
    }
    modalUi_ = false;
    ui_.Render(platform_.Ticks(), true);
    box.ok = answer.value_or(kind == MessageBoxKind::kOkCancel
                                 ? MessageBoxAnswer::kCancel
                                 : MessageBoxAnswer::kOk) == MessageBoxAnswer::kOk;
  }
  messageBoxes_.push_back(box);
  return box.ok;
}

void Engine::CloseWindow() {
  if (RequestClose()) closed_ = true;
}

bool Engine::RequestClose() {
  if (closed_) return true;
  if (s_.quitFlag) {
    closed_ = true;
    return true;
  }
  globalData_.SyncGlobalData();
  if (s_.animating) {
    s_.closeRequest = 2;
    return false;
  }
  if (s_.busy) return false;
  s_.interpreterOn = false;
  // A roll waits while the question is up, and ends once quitting is confirmed.
  staffRoll_.SetPaused(true);
  const bool ok = Ask(kQuitQuestion, kConfirmCaption, MessageBoxKind::kOkCancel);
  staffRoll_.SetPaused(false);
  if (ok) {
    s_.closeRequest = 1;
    staffRoll_.Stop();
  }
  s_.interpreterOn = true;
  if (ok) closed_ = true;
  return ok;
}

void Engine::CloseAtOnce() {
  if (closed_) return;
  LogMessage("asked to end by a signal; closing");
  if (!s_.quitFlag) globalData_.SyncGlobalData();
  s_.closeRequest = 1;
  closed_ = true;
}

void Engine::AskQuitAfterAnimation() {
  s_.interpreterOn = false;
  screen_.previousSurface = screen_.screenSurface;
  if (Ask(kQuitQuestion, kConfirmCaption, MessageBoxKind::kOkCancel)) s_.quitFlag = true;
  screen_.screenSurface = screen_.previousSurface;
  screen_.PresentScreen();
  s_.interpreterOn = true;
}

void Engine::Shutdown() {
  music_.StopMusic();
  sound_.ReleaseSoundDevice();
}

void Engine::ResetWaits() {
  s_.charDelay = 1;
  s_.finishPage = false;
  s_.waitKind = 0;
  s_.waitTicks = 0;
  s_.interactionMode = 0;
  s_.textRow = 0;
  s_.textColumn = 0;
}

void Engine::UpdateToolbar() {
  input_.UpdateToolbar();
}

bool Engine::OutputChar(const char* bytes, int advance) {
  return text_.OutputChar(bytes, advance);
}

void Engine::OpenTextPage() {
  text_.OpenTextPage();
}

void Engine::PlaySystemSound(const char* name) {
  if (!Skipping()) sound_.PlaySystemSound(name);
}

void Engine::StopSkip() {
  input_.StopSkip();
}

void Engine::BreakSkipAndAuto(int force) {
  input_.BreakSkipAndAuto(force);
}

void Engine::CountFinishedGame() {
  SettingsStore& store = platform_.Settings();
  int32_t count = 0;
  if (const auto text = store.Read(kClearKeyPath, kClearSection, "Clear")) {
    count = ParseStoredInteger(*text).value_or(0);
  }
  count += 1;
  if (!store.Write(kClearKeyPath, kClearSection, "Clear", std::to_string(count))) {
    LogMessage("could not record the finished game in the settings store");
  }
  s_.vars.S[kClearCount] = count;
  s_.vars.E.Set(kGameClearedFlag);
  globalData_.SyncGlobalData();
}

const Surface& Engine::GameArea() const {
  return s_.screenMode == 1 && !s_.panicActive ? screen_.sceneSurface : screen_.screenSurface;
}

void Engine::PBPaint() {
  if (movie_.Playing()) {
    movie_.Repaint();
  } else {
    screen_.Paint(s_.screenMode == 1 && !s_.panicActive);
  }
  sound_.ApplyVolumes();
}

}  // namespace zorvel
