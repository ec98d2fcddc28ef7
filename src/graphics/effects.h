// Screen effects, background animation and objects: called by start-up, the idle pass and the
// timer; their content comes with the effects and objects work.
#pragma once

namespace zorvel {

class Effects {
 public:
  void Reset(const char* /*how*/) {}
  void EffectTick() {}
  bool BackgroundAnimationRunning() const { return false; }
  void BackgroundAnimationPass(unsigned /*idleCount*/) {}
  void StopBackgroundAnimation() {}
  // Puts back what lay under a shown mark icon.
  void EraseMark() {}
};

class Objects {
 public:
  void InitObjects() {}
};

}  // namespace zorvel
