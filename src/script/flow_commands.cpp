#include "script/flow_commands.h"

#include <climits>
#include <cstring>

#include "platform/files.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

void FlowCommands::Register(CommandTable& table) {
  auto bind = [this, &table](int index, int (FlowCommands::*fn)(const char*)) {
    table.Register(index, [this, fn](const char* arg) { return (this->*fn)(arg); });
  };
  bind(kGo, &FlowCommands::Go);
  bind(kCall, &FlowCommands::Call);
  bind(kEnd, &FlowCommands::End);
  bind(kChain, &FlowCommands::Chain);
  bind(kIf, &FlowCommands::If);
  bind(kCjmp, &FlowCommands::Cjmp);
  bind(kSleep, &FlowCommands::Sleep);
  bind(kString, &FlowCommands::String);
  bind(kTitle, &FlowCommands::Title);
  bind(kBackto, &FlowCommands::Backto);
  bind(kRec, &FlowCommands::Rec);
  bind(kGameinit, &FlowCommands::Gameinit);
  bind(kGameclr, &FlowCommands::Gameclr);
  bind(kMode, &FlowCommands::Mode);
  bind(kTwSet, &FlowCommands::TwSet);
  bind(kWinClose, &FlowCommands::WinClose);
  bind(kBreak, &FlowCommands::Break);
  bind(kExitgame, &FlowCommands::Exitgame);
  bind(kExit, &FlowCommands::ExitReplay);
  bind(kVend, &FlowCommands::ExitReplay);
  bind(kCalc, &FlowCommands::Calc);
  bind(kMark, &FlowCommands::Mark);
}

int FlowCommands::Mark(const char* arg) {
  const int32_t n = ReadDecimal(arg);
  if (n < 0 || n > 80000) return 0;
  if (s_.vars.readMarks.Test(n)) {
    s_.lastMarkRead = true;
    return 0;
  }
  s_.vars.readMarks.Set(n);
  host_.PassageUnread();
  return 0;
}

int FlowCommands::Go(const char* arg) {
  interp_.GotoLabel(arg);
  return 0;
}

void FlowCommands::SplitTarget(const char* arg, int limit, std::string& name, std::string& label,
                               bool& hasLabel) const {
  hasLabel = false;
  const int argOffset = static_cast<int>(arg - s_.lineBuffer);
  int i = arg[0] ? 1 : 0;
  while (arg[i] != 0 && argOffset + i < limit && arg[i] != ' ' && arg[i] != ':') i += 1;
  name.assign(arg, static_cast<size_t>(i));
  if (arg[i] == ':') {
    hasLabel = true;
    label = arg + i + 1;
  }
}

int FlowCommands::Call(const char* arg) {
  std::string name;
  std::string label;
  bool hasLabel = false;
  SplitTarget(arg, 100, name, label, hasLabel);
  if (s_.callDepth < 0) s_.callDepth = 0;
  if (s_.callDepth >= kMaxCallDepth) {
    // Nine slots only: a tenth nested call would overwrite memory beyond the stack.
    LogMessage("call " + SjisToUtf8(name) + " refused: calls are nested " +
               std::to_string(kMaxCallDepth) + " deep already");
    return 1;
  }
  s_.callReturns[s_.callDepth] = s_.scriptPos;
  CopyField(s_.callNames[s_.callDepth], kNameSize, s_.scriptName);
  char target[kNameSize];
  if (arg[0] == '$') {
    int d = static_cast<uint8_t>(arg[1]) - '0';
    if (d < 0 || d > 9) d = 0;
    CopyField(target, sizeof target, s_.stringVars[d]);
  } else {
    CopyField(target, sizeof target, name.c_str());
  }
  if (loader_.LoadScript(target, kLoadStory)) {
    CopyField(s_.scriptName, kNameSize, target);
    host_.ResetWaits();
    s_.callDepth += 1;
  }
  if (hasLabel) interp_.GotoLabel(label.c_str());
  return 1;
}

int FlowCommands::End(const char*) {
  if (s_.callDepth > 0) {
    interp_.ReturnFromCall();
  } else if (s_.replayOrigin == 1 || s_.replayOrigin == 2) {
    host_.ReturnFromReplay();
  }
  return 1;
}

int FlowCommands::ExitReplay(const char*) {
  if (s_.replayOrigin == 1 || s_.replayOrigin == 2) host_.ReturnFromReplay();
  return 1;
}

int FlowCommands::Chain(const char* arg) {
  std::string name;
  std::string label;
  bool hasLabel = false;
  SplitTarget(arg, 128, name, label, hasLabel);
  s_.callDepth = 0;
  char target[kNameSize];
  CopyField(target, sizeof target, name.c_str());
  CopyField(s_.scriptName, kNameSize, target);
  host_.ResetWaits();
  loader_.LoadScript(target, kLoadStory);
  if (hasLabel) interp_.GotoLabel(label.c_str());
  return 1;
}

int FlowCommands::If(const char* arg) {
  if (!expr_.Condition(arg)) return 1;
  char* line = s_.lineBuffer;
  const int argOffset = static_cast<int>(arg - line);
  int close = argOffset;
  while (close < 200 && line[close] != 0 && line[close] != ')') ++close;
  if (close >= 200) return 1;
  int rest = line[close] == ')' ? close + 1 : close;
  while (line[rest] == ' ') ++rest;
  const char first = line[rest];
  if (first == '*' || first == '@' || first == '!') {
    const size_t len = std::strlen(line + rest);
    if (len >= 200) return 1;
    std::memmove(line, line + rest, len + 1);
    return 2;
  }
  interp_.GotoLabel(line + rest);
  return 1;
}

int FlowCommands::Cjmp(const char* arg) {
  // `arg` is the text right after the word; its first byte is the separator.
  const int32_t n = *arg ? expr_.Evaluate(arg + 1) : s_.vars.S[kNameChanged];
  const int64_t end = static_cast<int64_t>(interp_.FindLineStart(s_.scriptPos, '}')) + 2;
  int64_t cur = s_.scriptPos;
  for (int64_t i = 0; i <= n; ++i) {
    const int32_t from = static_cast<int32_t>(std::min<int64_t>(cur, INT32_MAX));
    const int64_t previous = cur;
    cur = static_cast<int64_t>(interp_.FindLineStart(from, '{')) + 2;
    if (cur > end) {
      s_.scriptPos = static_cast<int32_t>(std::min<int64_t>(end, INT32_MAX));
      break;
    }
    // Found nothing twice: every further round lands on the same spot, and n may be two billion.
    if (i == n || cur == previous) {
      s_.scriptPos = static_cast<int32_t>(cur);
      break;
    }
  }
  s_.needLine = true;
  return 0;
}

int FlowCommands::Sleep(const char* arg) {
  if (host_.Skipping() || s_.vars.S[kAutoLevel] != 0) return 0;
  s_.sleepCount = ReadDecimal(arg) / 30;
  if (s_.sleepCount == 0) s_.sleepCount = -1;
  return 1;
}

int FlowCommands::String(const char* arg) {
  const int32_t d = ReadDecimal(arg);
  // The text starts two bytes on (one digit, one separator); never past the line's end.
  const char* text = arg;
  for (int i = 0; i < 2 && *text; ++i) ++text;
  if (d < 0 || d >= kStringVarCount) return 0;
  CopyField(s_.stringVars[d], kStringVarSize, text);
  return 0;
}

int FlowCommands::Title(const char* arg) {
  CopyField(s_.titleText, sizeof s_.titleText, arg);
  return 0;
}

int FlowCommands::Backto(const char*) {
  s_.vars.S[kBacktoPos] = s_.lineStart;
  return 0;
}

int FlowCommands::Rec(const char*) {
  s_.vars.F.Clear();
  s_.vars.V.fill(0);
  CopyField(s_.recScriptName, kNameSize, s_.loadedScriptName);
  auto& S = s_.vars.S;
  if (S[kRecording] != 2) {
    S[kRecording] = 1;
    S[kRecording2] = 0;
    S[kRecording3] = 0;
  } else {
    S[kRecording3] = 0;
  }
  return 0;
}

int FlowCommands::Gameinit(const char*) {
  s_.vars.F.Clear();
  s_.vars.T.Clear();
  s_.vars.V.fill(0);
  host_.ResetEffects("INIT");
  return 0;
}

int FlowCommands::Gameclr(const char*) {
  host_.CountFinishedGame();
  return 0;
}

int FlowCommands::Mode(const char* arg) {
  host_.InvalidateWindowPicture();
  s_.vars.S[kTextColour] = kWhite;
  host_.SetTextColour();
  const int32_t n = ReadDecimal(arg);
  if (n != s_.vars.S[kNovelMode]) {
    s_.ClearPageState();
    if (s_.vars.S[kNovelMode] == 0) {
      s_.vars.S[kNovelMode] = 1;
      host_.RedrawWindowForNovelMode();
    } else {
      s_.vars.S[kNovelMode] = 0;
      host_.RedrawQuickButtons();
    }
    host_.UpdateScreen(6);
  }
  s_.needLine = true;
  return 1;
}

int FlowCommands::TwSet(const char* arg) {
  s_.ClearPageState();
  s_.textWindowOn = ReadDecimal(arg) != 0;
  return 0;
}

int FlowCommands::WinClose(const char*) {
  if (s_.vars.S[kNovelMode] == 0 && s_.textWindowOn) host_.CloseMessageWindow();
  return 0;
}

int FlowCommands::Break(const char*) {
  host_.StopSkip();
  host_.BreakSkipAndAuto(1);
  return 1;
}

int FlowCommands::Exitgame(const char*) {
  host_.RequestClose();
  return 1;
}

int FlowCommands::Calc(const char* arg) {
  expr_.Assign(arg);
  return 0;
}

}  // namespace zorvel
