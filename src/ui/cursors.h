// Two small pieces of the screen that some games use: the twelve animated map cursors that click
// maps show over their colour hotspots, read at start-up from "icon/MSCUR01.ani" ...
// "icon/MSCUR12.ani" beside the game and handed to the platform as cursor numbers 30 to 41; and
// the parameter meter in the top-right corner, one of eleven pictures cut from "sys_meter"
// showing the value of the variable V[800 + V800] while S004 is on, which blinks between its
// old and new picture when `chgprm` finds the value changed.
//
// Touches: V800 and the variable it selects, S004; the scene and screen surfaces (read, and
// the meter's rectangle of the screen); the picture loader (sys_meter, once); the platform's
// cursors, files and presents; the frame clock (the blinks) and the busy flag while they run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "graphics/frame_clock.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "platform/platform.h"

namespace zorvel {

class CommandTable;

constexpr int kMapCursorCount = 12;
// Map cursor n is the window's cursor number n + 29.
constexpr int kFirstMapCursorNumber = 30;
constexpr int kParamMeterImages = 11;
constexpr int kParamMeterWidth = 120;  // the colour half; the mask lies beside it
constexpr int kParamMeterHeight = 95;
constexpr int kParamMeterLeft = 670;
constexpr int kParamMeterTop = 10;

class Cursors {
 public:
  Cursors(EngineState& state, Screen& screen, PictureLoader& pictures, FrameClock& clock,
          Platform& platform, std::string gameDir);

  // Binds `chgprm`.
  void Register(CommandTable& table);
  // Start-up: the cursor files and the meter's pictures.
  void LoadCursorsAndMeter();

  // Map cursor n (1 to 12) on the pointer; 0, or a number outside 1..12, the default arrow.
  void SetMapCursor(int n);
  // The meter into the screen surface (mode 0), and also onto the window (mode 1).
  void DrawMeter(int mode);
  int Chgprm(const char* arg);

  int MapCursor() const { return mapCursor_; }
  // The map cursors whose files were read, in order.
  std::vector<int> LoadedCursors() const;
  int MeterShown() const { return meterShown_; }

 private:
  // V[800 + V800] as the meter reads it: 0 for a value outside 0..10 or a selector that
  // leads outside the variables.
  int MeterValue() const;
  // The variable the meter shows, or null when V800 leads outside the bank.
  int32_t* MeterVariable();
  void LoadCursor(int n);

  EngineState& s_;
  Screen& screen_;
  PictureLoader& pictures_;
  FrameClock& clock_;
  Platform& platform_;
  std::string gameDir_;

  std::array<bool, kMapCursorCount + 1> loaded_{};
  int mapCursor_ = 0;
  std::array<Surface, kParamMeterImages> meterImages_;
  Surface meterWork_;
  int meterShown_ = 0;
};

}  // namespace zorvel
