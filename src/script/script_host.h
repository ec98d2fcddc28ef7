// What the interpreter and the flow commands ask of the rest of the engine. The engine object
// implements it; the defaults let each subsystem take its part over as it is built.
#pragma once

namespace zorvel {

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  // Message text.
  // False when the page dropped the character (a space at the wrap column under word wrap):
  // the history leaves it out too.
  virtual bool OutputChar(const char* bytes, int advance) = 0;
  virtual void OpenTextPage() = 0;
  virtual void DrawSpeakerName() {}
  virtual void DrawRuby(const char* /*text*/) {}
  virtual void SetTextColour() {}
  // Word wrap: whether words of half-width letters are kept whole on a line, and the word about
  // to be shown, told before its first letter (or the ruby or tag before it) so the page can
  // move it to the next line before it starts to type out.
  virtual bool WordWrap() const { return false; }
  virtual void StartWord(int /*letters*/) {}
  // Click waits and the backlog.
  virtual void AutoWaitTicks() = 0;
  virtual void RecordBacklogPage() {}
  virtual void StepBacklogPageBack() {}
  // Sound.
  virtual void PlaySystemSound(const char* /*name*/) {}
  virtual void AddPageVoice(const char* /*name*/) {}
  // Inline tags that run graphics commands.
  virtual void RunGraTag(const char* /*name*/) {}
  virtual void RunClrbTag(const char* /*arg*/) {}

  virtual bool Skipping() const = 0;
  // A `mark` reached a passage for the first time.
  virtual void PassageUnread() {}
  // The player chose whole lines at once instead of typed characters.
  virtual bool WholeLinesAtOnce() const = 0;

  // Control.
  virtual void ResetWaits() = 0;
  virtual void StopSkip() = 0;
  virtual void BreakSkipAndAuto(int force) = 0;
  virtual bool RequestClose() = 0;
  // After a transition was interrupted by a close request: ask and set quitFlag on OK.
  virtual void AskQuitAfterAnimation() = 0;
  // Effects are dropped while skipping when the player asked for it.
  virtual bool EffectsCut() const = 0;
  virtual void CountFinishedGame() = 0;
  // Replays started from the gallery or the recollection screen go back there.
  virtual void ReturnFromReplay() {}
  // Novel mode switch and its redraws.
  virtual void InvalidateWindowPicture() {}
  virtual void RedrawWindowForNovelMode() {}
  virtual void RedrawQuickButtons() {}
  virtual void UpdateScreen(int /*transition*/) {}
  virtual void CloseMessageWindow() {}
  virtual void ResetEffects(const char* /*how*/) {}
};

}  // namespace zorvel
