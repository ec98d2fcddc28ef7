// The 65 command words and their dispatch. The interpreter knows words, not graphics: every
// handler lives in the subsystem that owns the command and is registered here by the engine.
#pragma once

#include <array>
#include <functional>

#include "core/engine_state.h"
#include "script/script_host.h"

namespace zorvel {

constexpr int kCommandCount = 65;

enum Command : int {
  kGra = 0,
  kMusic,
  kCv,
  kGo,
  kClrb,
  kSelect,
  kClickmap,
  kSwitch,
  kChain,
  kWaitVEnd,
  kSpr,
  kCalc,
  kIf,
  kPtset,
  kCall,
  kEnd,
  kMode,
  kLoad,
  kGameinit,
  kGrb,
  kWinClose,
  kSpecial,
  kGameclr,
  kPartsload,
  kMovie,
  kMark,
  kBg,
  kFix,
  kSleep,
  kSeltree,
  kString,
  kDirect,
  kSave,
  kBreak,
  kWinOpen,
  kTitle,
  kBackto,
  kMap,
  kBgAnim,
  kRoll,
  kAnim,
  kShake,
  kCjmp,
  kSetname,
  kOvr,
  kViewer,
  kSe,
  kSeloop,
  kSeoff,
  kExitgame,
  kRec,
  kTwSet,
  kExit,
  kObj,
  kSroll,
  kScroll,
  kKaisou,
  kChgprm,
  kCgfull,
  kEffect,
  kVend,
  kManpu,
  kSprmv,
  kSefo,
  kSefi,
};

struct CommandWord {
  const char* word;  // as matched, trailing blank included
  bool endsStep;     // what a handler that is not built yet reports
};

// Handlers get the argument text (0-ended, inside the line buffer) and return 0 (go on with the
// next line), 1 (end the step) or 2 (the line buffer was rewritten: dispatch it again).
using CommandHandler = std::function<int(const char* arg)>;

class CommandTable {
 public:
  CommandTable(EngineState& state, ScriptHost& host) : s_(state), host_(host) {}

  static const std::array<CommandWord, kCommandCount>& Words();
  // The first entry whose word equals the text over the word's own length, ignoring ASCII case.
  static int Match(const char* afterMarker);
  // Where the argument starts for command `index` in `afterMarker`.
  static const char* Argument(int index, const char* afterMarker);

  void Register(int index, CommandHandler handler) { handlers_[index] = std::move(handler); }
  // Runs the command of the current line buffer, with the rules that several commands share.
  int Execute(int index);

 private:
  int RunHandler(int index, const char* arg);

  EngineState& s_;
  ScriptHost& host_;
  std::array<CommandHandler, kCommandCount> handlers_;
};

}  // namespace zorvel
