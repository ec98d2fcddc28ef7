// The layers of the game picture (background, up to four characters, an overlay, a colour
// filter) and the commands that change them. An update composes the layers into the scene,
// builds the screen on it and hands it to the transitions; everything past the scene (the
// message window, the quick buttons, the text, the transition itself) is reached through the
// hooks the engine gives, so this class touches only the screen surfaces, the layer fields of
// the game state and the picture loader.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/picture.h"
#include "graphics/screen.h"

namespace zorvel {

class CommandTable;

constexpr int kCharacterSlots = 5;
constexpr int kCharacterPositions = 5;
// Centre x (S080-S089) and top y (S090-S099) of every arrangement and position.
constexpr int kFirstPositionRegister = 80;
constexpr std::array<int32_t, 20> kDefaultPositions = {
    400, 250, 550, 200, 400, 600, 100, 300, 500, 700, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The picture name of a `gra`, `grb` or `bg` argument (and of the [gra] tag), read as those
// commands read it, for tools that check scripts against the archives.
std::string GraArgumentName(const char* arg);

struct LayerHooks {
  // Presents ScreenSurface with a numbered transition.
  Hook<void(int transition)> runTransition;
  Hook<bool()> backgroundAnimationRunning;
  // Puts back what lay under a shown mark icon.
  Hook<void()> removeMarkIcon;
  // Builds the message-window picture from the scene.
  Hook<void()> buildWindowPicture;
  // Puts the window picture, the quick buttons and the text onto ScreenSurface (and onto the
  // frames of a running background animation) while the window is open.
  Hook<void()> drawWindowAndText;
  // The gallery list: the index of an upper-cased picture name, or -1; and its length.
  Hook<int(const std::string& upperName)> galleryIndex;
  Hook<int()> galleryCount;
  // One more character change for the global counter.
  Hook<void()> countCharacterChange;
  // Pumps window messages once (`direct` waits with the window alive); false once the run is
  // ending, which ends the wait.
  Hook<bool()> pumpEvents;
  Hook<bool()> skipping;
  // The expression language, for `ptset`'s coordinates.
  Hook<int32_t(const char*)> evaluate;
};

class Layers {
 public:
  Layers(Screen& screen, EngineState& state, PictureLoader& pictures, Platform& platform,
         LayerHooks hooks);

  // gra, grb, bg, clrb, spr, ovr, fix, partsload, ptset, direct, cgfull.
  void Register(CommandTable& table);

  // The inline tags of story text: [gra NAME] leaves the defer-update flag alone; [clrb ARG]
  // updates once more after the command's own update.
  void GraTag(const char* name);
  void ClrbTag(const char* arg);

  void UpdateScreen(int transition);
  void ComposeScene();
  void ApplyColourFilter();
  // Parses a character list (the argument of `spr`), loads what the slots lack and sets the
  // arrangement; returns the transition number the list ends with (1 when none).
  int LoadCharacters(const char* spec);
  void BuildScreen();
  // After a saved game is loaded: the background from its remembered name, the characters from
  // the remembered character list. The caller updates the screen.
  void RestoreLayers();
  // BackgroundSurface as the solid colour an "S" name gives, and an arrangement without
  // characters: the pieces of `gra` that the recollection preview replays on its own.
  void FillSolid(const char* name);
  void ClearArrangement();
  // S080-S099 back to the default arrangement positions.
  void ResetPositions();
  // Start-up: overlay registers, empty arrangement and slots.
  void Reset();

  int CharacterCount() const { return characterCount_; }
  const char* PositionName(int position) const { return positionNames_[position]; }
  const char* SlotName(int slot) const { return slotNames_[slot]; }

  // The handlers; public so the fuzzers and tests reach the argument parsing directly.
  int Gra(const char* arg);
  int Bg(const char* arg);
  int Clrb(const char* arg);
  int Spr(const char* arg);
  int Ovr(const char* arg);
  int Fix(const char* arg);
  int Partsload(const char* arg);
  int Ptset(const char* arg);
  int Direct(const char* arg);
  int Cgfull(const char* arg);

 private:
  // The name's first letter decides: "A" background, "B" characters, "S" solid colour.
  void Background(const char* name, int transition);
  void SolidColour(const char* name, int transition);
  void DrawOverlay();
  void DrawCharacter(int position, int centreRegister, int topRegister);
  bool LoadIntoSlot(const std::string& name, int& slot);

  Screen& screen_;
  EngineState& s_;
  PictureLoader& pictures_;
  Platform& platform_;
  LayerHooks hooks_;

  int characterCount_ = 0;
  char positionNames_[kCharacterPositions][kNameSize]{};
  int positionSlots_[kCharacterPositions]{};
  char slotNames_[kCharacterSlots][kNameSize]{};
  int nextSlot_ = 0;
};

}  // namespace zorvel
