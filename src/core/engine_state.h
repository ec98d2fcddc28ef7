// The running game's state: plain records and fixed-size arrays, the same fields a save file
// stores. Texts are 0-ended Shift-JIS in fields of fixed width; every writer bounds its copy.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "core/variable_banks.h"

namespace zorvel {

constexpr int kScriptBufferSize = 262144;
// Zero bytes past the end of the script buffer so scans for a line's end always stop.
constexpr int kScriptBufferGuard = 16;
constexpr int kNameSize = 30;
constexpr int kLineBufferSize = 2048;
constexpr int kMaxCallDepth = 9;
constexpr int kHistorySlotSize = 70;
constexpr int kHistorySlots = 201;
constexpr int kHistoryCommitted = 200;
constexpr int kPageRows = 20;
constexpr int kPageColumns = 100;

struct EngineState {
  // Script position and call stack.
  char scriptName[kNameSize]{};
  char loadedScriptName[kNameSize]{};
  char recScriptName[kNameSize]{};
  std::array<uint8_t, kScriptBufferSize + kScriptBufferGuard> scriptBuffer{};
  int32_t scriptSize = 0;
  int32_t scriptPos = 0;
  int32_t lineStart = 0;
  bool needLine = true;
  char lineBuffer[kLineBufferSize]{};
  int32_t linePos = 0;
  char substBuffer[64]{};
  int32_t pendingText = 0;  // read offset into substBuffer; empty when it points at a 0 byte
  bool interpreterOn = false;
  int32_t callDepth = 0;
  char callNames[kMaxCallDepth][kNameSize]{};
  int32_t callReturns[kMaxCallDepth]{};

  // Waits and pacing.
  int32_t waitKind = 0;
  int32_t waitTicks = 0;
  int32_t charDelay = 1;
  int32_t sleepCount = 0;
  int32_t autoWait = 0;
  int32_t pageChars = 0;
  bool finishPage = false;
  bool instantLine = false;
  bool waitVoiceEnd = false;
  int32_t clickGuard = 0;

  // Message text.
  bool textWindowOn = false;
  int32_t textRow = 0;
  int32_t textColumn = 0;
  int32_t textStyle = 0;
  int32_t textColour = 0;
  char speakerName[87]{};
  char lastVoice[32]{};
  // The last sound started on the looping-effect slot (saved with the game; empty after seoff).
  char loopEffect[32]{};
  char history[kHistorySlots * kHistorySlotSize]{};
  int32_t historyLen = 0;
  int32_t historyLines = 0;
  char titleText[64]{};
  char stringVars[kStringVarCount][kStringVarSize]{};
  char pageText[kPageRows][kPageColumns]{};
  uint8_t pageColour[kPageRows][kPageColumns]{};
  bool pageCleared = true;

  // Screen layers: the remembered names, and the flags of the last updates.
  char backgroundName[kNameSize]{};
  char characterSpec[60]{};
  char overlayName[kNameSize]{};
  bool deferUpdate = false;  // set by `grb`: the layer commands change layers without showing
  bool backgroundChanged = false;
  bool windowPictureValid = false;
  bool screenUpdating = false;

  // Modes.
  int32_t screenMode = 0;
  bool busy = false;
  bool animating = false;
  int32_t closeRequest = 0;
  bool quitFlag = false;
  bool startPending = false;
  int32_t skipMode = 0;
  bool lastMarkRead = false;
  int32_t replayOrigin = 0;
  bool toolbarLocked = false;
  int32_t interactionMode = 0;
  bool backlogOpen = false;
  int32_t questionKind = 0;
  bool panicActive = false;

  // Main loop.
  uint32_t idleCount = 0;
  int32_t pendingCountdown = 0;
  int32_t pendingMusic = 0;

  // Music (S003 and S005 live in the S bank).
  int32_t streamKind = 0;  // 0 none, 1 music archive, 2 an animation's file
  int32_t musicVolume = 0;
  int32_t fadeLevel = 0;  // a fade-out runs while not 0
  int32_t fadeStep = 0;

  VariableBanks vars;

  // A fresh text page: cursor, page image, style and colour (new pages, tw_set, mode).
  void ClearPageState() {
    textColumn = 0;
    textRow = 0;
    std::memset(pageText, 0, sizeof pageText);
    std::memset(pageColour, 0, sizeof pageColour);
    pageCleared = true;
    textStyle = 0;
    textColour = 0;
    pageChars = 0;
  }
};

}  // namespace zorvel
