// Jumps, calls, returns, chains, conditions, computed jumps, waits and the small system
// commands that belong to the interpreter itself.
#pragma once

#include "core/engine_state.h"
#include "resources/archive_set.h"
#include "script/commands.h"
#include "script/expressions.h"
#include "script/interpreter.h"
#include "script/script_host.h"

namespace zorvel {

class FlowCommands {
 public:
  FlowCommands(EngineState& state, ScriptLoader& loader, Interpreter& interpreter,
               Expressions& expressions, ScriptHost& host)
      : s_(state), loader_(loader), interp_(interpreter), expr_(expressions), host_(host) {}

  void Register(CommandTable& table);

  int Go(const char* arg);
  int Call(const char* arg);
  int End(const char* arg);
  int Chain(const char* arg);
  int If(const char* arg);
  int Cjmp(const char* arg);
  int Sleep(const char* arg);
  int String(const char* arg);
  int Title(const char* arg);
  int Backto(const char* arg);
  int Rec(const char* arg);
  int Gameinit(const char* arg);
  int Gameclr(const char* arg);
  int Mode(const char* arg);
  int TwSet(const char* arg);
  int WinClose(const char* arg);
  int Break(const char* arg);
  int Exitgame(const char* arg);
  int ExitReplay(const char* arg);
  int Calc(const char* arg);
  // Marks a passage read; the first time, skipping stops there when the player asked for it.
  int Mark(const char* arg);

 private:
  // Splits "name[:label]" as `call` and `chain` do, scanning no further than `limit` bytes
  // into the line.
  void SplitTarget(const char* arg, int limit, std::string& name, std::string& label,
                   bool& hasLabel) const;

  EngineState& s_;
  ScriptLoader& loader_;
  Interpreter& interp_;
  Expressions& expr_;
  ScriptHost& host_;
};

}  // namespace zorvel
