// The settings dialog: four pages (system, sound, text, copyright) and "閉じる". Every control
// writes its setting to the store the moment it changes and puts it in force in the engine's
// settings; the sound and font controls also act at once through the hooks. What only the
// settings-apply step can do (the window rebuilt, the screen mode) is left to the caller, who is
// told whether the window's look changed.
//
// Touches: the engine's Settings and the settings store (through WriteSetting), the interface
// layer (the dialog). Everything else through its hooks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/hook.h"
#include "dialogs/dialog_frame.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "ui/ui_layer.h"

namespace zorvel {

struct SettingsDialogHooks {
  Hook<bool(uint32_t& nextTick)> modalPass;
  // The master volume in force (hundredths of a decibel) and setting it; it is not stored.
  Hook<int()> masterVolume;
  Hook<void(int centibels)> setMasterVolume;
  // The voice, effect and music volumes of the settings put in force on what plays.
  Hook<void()> applyVolumes;
  // The test voice, at the voice volume.
  Hook<void()> playSampleVoice;
  // The music switch changed: music stops or starts again.
  Hook<void()> applyMusicSwitch;
  // The message font again from the settings (face, size, bold), its glyphs rebuilt.
  Hook<void()> rebuildGlyphs;
  // Installed font families (UTF-8) in the system's order.
  Hook<std::vector<std::string>()> fontFamilies;
};

class SettingsDialog {
 public:
  static constexpr int kClientWidth = 407, kClientHeight = 336;
  enum Page { kSystemPage, kSoundPage, kTextPage, kCopyrightPage, kPageCount };
  static constexpr int kVolumeMin = -3000;
  static constexpr int kFontSizeMin = 18, kFontSizeMax = 24;

  SettingsDialog(UiLayer& ui, SettingsStore& store, const SettingsLocation& where,
                 Settings& settings, const GameConfig& config, SettingsDialogHooks hooks);

  // Shows the dialog modally; true when a control changed the window's or the text's look, so
  // the settings-apply step must rebuild the window and the font.
  bool ShowModal();

  // For tests and the state dump.
  bool IsOpen() const { return open_; }
  Page CurrentPage() const { return page_; }
  std::string Describe() const;
  // The font faces the combo box offers (UTF-8).
  const std::vector<std::string>& FontFaces() const { return faces_; }
  int ControlMasterVolume() const { return masterVolume_; }

  // The faces a player may pick: names holding a two-byte character, not "@"-prefixed, once
  // each, in the given order.
  static std::vector<std::string> QualifyingFaces(const std::vector<std::string>& families);

 private:
  // Reads the controls' values from the store, the engine's values standing in for missing ones.
  void Fill();
  int Stored(const char* name, int32_t current) const;
  bool Build();
  void BuildTabs(const ImVec2& client);
  void BuildSystemPage(const ImVec2& client);
  void BuildSoundPage(const ImVec2& client);
  void BuildTextPage(const ImVec2& client);
  void BuildCopyrightPage(const ImVec2& client);
  // Writes an integer setting (and puts it in force) unless the controls are being filled.
  void Write(const char* name, int32_t value);
  void FontChanged();
  void BackgroundChanged();
  void ResetBackground();

  UiLayer& ui_;
  SettingsStore& store_;
  const SettingsLocation& where_;
  Settings& settings_;
  const GameConfig& config_;
  SettingsDialogHooks hooks_;

  bool open_ = false;
  // 0 while the controls are filled: the change handlers then keep quiet.
  int guard_ = 0;
  bool appearanceChanged_ = false;
  Page page_ = kSystemPage;

  // The controls' values.
  int screenMode_ = 0, graphicMode_ = 0, textSpeed_ = 0;
  bool memorySave_ = false, seen_ = false, breakOnSelect_ = false, effectCut_ = false;
  int rightClick_ = 0, wheel_ = 0, ctrlShift_ = 0;
  int masterVolume_ = 0, musicVolume_ = 0, voiceVolume_ = 0, otherVolume_ = 0;
  bool music_ = false, voice_ = false, effects_ = false, voiceThrough_ = false;
  std::vector<std::string> faces_;
  int faceIndex_ = -1;
  std::string faceText_;  // UTF-8: the combo box's text
  int fontSize_ = 19;
  char fontSizeText_[8]{};
  bool bold_ = false;
  int antiAlias_ = 0;
  std::array<int, 4> background_{};  // slider positions of R, G, B and opacity (-255..0)
  int novelOpacity_ = 0;
};

}  // namespace zorvel
