#include "script/commands.h"

#include <cstring>

namespace zorvel {

namespace {

constexpr std::array<CommandWord, kCommandCount> kWords = {{
    {"gra ", false},      {"music ", false},    {"cv ", false},      {"go ", false},
    {"clrb", false},      {"select", true},     {"clickmap ", true}, {"switch", true},
    {"chain ", true},     {"wait_v_end", true}, {"spr ", false},     {"calc ", false},
    {"if ", true},        {"ptset ", false},    {"call ", true},     {"end", true},
    {"mode ", true},      {"load", true},       {"gameinit", false}, {"grb ", false},
    {"win_close", false}, {"special ", true},   {"gameclr", false},  {"partsload ", false},
    {"movie ", false},    {"mark ", false},     {"bg ", false},      {"fix", false},
    {"sleep ", true},     {"seltree", true},    {"string ", false},  {"direct ", false},
    {"save", true},       {"break", true},      {"win_open", false}, {"title ", false},
    {"backto", false},    {"map", true},        {"bg_anim", false},  {"roll ", true},
    {"anim", true},       {"shake", true},      {"cjmp", false},     {"setname", true},
    {"ovr", true},        {"viewer", true},     {"se ", false},      {"seloop ", false},
    {"seoff", false},     {"exitgame", true},   {"rec", false},      {"tw_set ", false},
    {"exit", true},       {"obj_", false},      {"sroll", true},     {"scroll ", true},
    {"kaisou", true},     {"chgprm", true},     {"cgfull", true},    {"effect", true},
    {"vend", true},       {"manpu ", false},    {"sprmv ", true},    {"sefo", false},
    {"sefi ", false},
}};

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

}  // namespace

const std::array<CommandWord, kCommandCount>& CommandTable::Words() {
  return kWords;
}

int CommandTable::Match(const char* afterMarker) {
  for (int i = 0; i < kCommandCount; ++i) {
    const char* w = kWords[i].word;
    size_t n = 0;
    while (w[n] && afterMarker[n] && Fold(afterMarker[n]) == Fold(w[n])) ++n;
    if (w[n] == 0) return i;
  }
  return -1;
}

const char* CommandTable::Argument(int index, const char* afterMarker) {
  const size_t len = std::strlen(kWords[index].word);
  const char* arg = afterMarker + len;
  // Words with a trailing blank and `obj_` (whose sub-command follows at once) take the text
  // right after the word; the others skip one separator byte, but never the line's end.
  // `cjmp` skips its own: whether anything followed the word, a lone blank included, decides
  // between its expression and S006.
  if (kWords[index].word[len - 1] == ' ' || index == kObj || index == kCjmp) return arg;
  return *arg ? arg + 1 : arg;
}

int CommandTable::RunHandler(int index, const char* arg) {
  if (!handlers_[index]) return kWords[index].endsStep ? 1 : 0;
  return handlers_[index](arg);
}

int CommandTable::Execute(int index) {
  const char* arg = Argument(index, s_.lineBuffer + 1);
  switch (index) {
    case kSelect:
    case kClickmap:
    case kSeltree:
    case kMap:
    case kLoad:
    case kSave:
    case kSetname:
      host_.BreakSkipAndAuto(0);
      if (index == kSelect) s_.needLine = true;
      return RunHandler(index, arg);
    case kViewer:
    case kRoll:
      host_.BreakSkipAndAuto(1);
      return RunHandler(index, arg);
    case kSpecial:
    case kShake:
    case kEffect:
      if (host_.EffectsCut()) return 1;
      return RunHandler(index, arg);
    case kSe:
      if (host_.EffectsCut()) return 0;
      return RunHandler(index, arg);
    case kOvr: {
      const int result = RunHandler(index, arg);
      s_.textWindowOn = false;
      return result;
    }
    case kGrb: {
      s_.deferUpdate = true;
      const int result = RunHandler(kGra, arg);
      return result;
    }
    case kGra: {
      s_.deferUpdate = false;
      int result = RunHandler(kGra, arg);
      if (s_.closeRequest == 1) {
        result = 1;
      } else if (s_.closeRequest == 2) {
        host_.AskQuitAfterAnimation();
        result = 1;
      }
      s_.closeRequest = 0;
      return result;
    }
    default:
      return RunHandler(index, arg);
  }
}

}  // namespace zorvel
