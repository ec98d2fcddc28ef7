// Game controllers, as players on handhelds and couches expect them: the buttons stand for the
// mouse and keys the game already knows. Shared by the window (SDL's GameController) and the
// events files, so the mapping is tested headless.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zorvel {

enum class PadButton {
  kA,             // left click
  kB,             // right click
  kX,             // hide or show the message window
  kY,             // backlog
  kUp,            // previous choice
  kDown,          // next choice
  kLeftShoulder,  // page rewind
  kRightTrigger,  // held: skip, as Ctrl
  kStart,         // the right-click menu
};

// The events a button's press (`down`) or release stands for, with the pointer at x, y.
std::vector<InputEvent> PadEvents(PadButton button, bool down, int x, int y);

// "a", "b", "x", "y", "up", "down", "lb", "rt", "start", in any letter case.
bool ParsePadButton(const std::string& name, PadButton& button);

}  // namespace zorvel
