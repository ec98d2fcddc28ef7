#include <algorithm>

#include "engine/engine.h"

namespace zorvel {

namespace {

// Signed distance between two wrapping millisecond counters.
int32_t Since(uint32_t now, uint32_t then) {
  return static_cast<int32_t>(now - then);
}

}  // namespace

int Engine::Run() {
  Start();
  nextTick_ = platform_.Ticks() + kTimerInterval;
  while (!closed_ && !platform_.ShouldStop()) {
    PumpEvents();
    if (closed_) break;
    const uint32_t now = platform_.Ticks();
    if (Since(now, nextTick_) >= 0) {
      Timer1Timer();
      // Keep the average at 55 ms; after a long stall start afresh instead of catching up.
      nextTick_ += kTimerInterval;
      if (Since(now, nextTick_) >= 0) nextTick_ = now + kTimerInterval;
    }
    AppIdle();
  }
  // The last pass may have drawn without waiting after it; the window (and a screenshot taken
  // at exit) shows the game as it ended.
  platform_.Flush();
  Shutdown();
  return exitCode_;
}

void Engine::SleepUntil(uint32_t deadline) {
  // The one window update of the pass, also when the pass overran and does not sleep.
  platform_.Flush();
  const int32_t left = Since(deadline, platform_.Ticks());
  if (left > 0) platform_.Sleep(static_cast<uint32_t>(left));
}

void Engine::AppIdle() {
  s_.idleCount += 1;
  const uint32_t t0 = platform_.Ticks();
  // The furniture (tool bar, hover, the full-screen strip) follows every change; the layer only
  // builds a frame when something on it changed.
  ui_.Render(t0);
  movie_.ShowNewFrame();
  if (s_.clickGuard != 0) s_.clickGuard -= 1;
  // A map left without a choice (a load, the title) takes its cursor and timeout with it.
  if (s_.interactionMode != 4) clickMap_.Abandon();

  // Nothing more can happen until input arrives: the script has ended, or it waits for a click.
  const bool scriptEnded =
      s_.needLine && (s_.scriptPos >= s_.scriptSize || s_.scriptPos < 0) && s_.callDepth == 0;
  const bool waitsForClick =
      (s_.waitKind != 0 && s_.vars.S[kAutoLevel] == 0 && s_.skipMode == 0) || s_.sleepCount < 0;
  const bool idleWithoutWork =
      !s_.startPending && s_.waitTicks == 0 && (scriptEnded || waitsForClick || !s_.interpreterOn);
  platform_.NoteIdleWithoutWork(idleWithoutWork);
  // Until input or the timer's next tick, passes would only wake the processor to find nothing
  // to do (a click wait, a choice): on a real clock the pass waits for whichever comes first.
  // Passes that count (a click guard, a background animation, a movie) keep their pace.
  // The gallery viewer between glows waits for the pointer like a click wait does.
  const bool viewerAtRest = s_.screenMode == 6 && !gallery_.Fading();
  const bool inputOnly =
      (idleWithoutWork || viewerAtRest || (s_.interactionMode != 0 && !s_.busy)) &&
      s_.clickGuard == 0 && !effects_.BackgroundAnimationRunning() && !movie_.Playing() &&
      platform_.RealTimeClock() && nextTick_ != 0;

  const bool modal = s_.backlogOpen || s_.questionKind != 0;
  if (!modal) {
    bool animate = true;
    if (s_.screenMode == 6) {
      gallery_.ViewerIdle();
    } else if (s_.screenMode == 0) {
      if (s_.startPending) {
        StartMainScript();
        s_.startPending = false;
        animate = false;
      } else if (!s_.busy) {
        random_.Next();
        if (s_.quitFlag) CloseWindow();
        if (s_.skipMode != 0) {
          if (s_.waitKind == 1 || s_.waitKind == 4 || s_.waitKind == 5) OpenTextPage();
          s_.waitKind = 0;
        }
        if (s_.interactionMode == 0 && s_.waitTicks == 0 && s_.waitKind == 0 && !s_.waitVoiceEnd) {
          if (s_.sleepCount != 0) {
            if (s_.sleepCount > 0) s_.sleepCount -= 1;
          } else if (s_.interpreterOn) {
            interpreter_.Step();
            // A blocking operation the script ran beneath a movie clears busy as it ends; the
            // movie still holds the game until it ends.
            if (movie_.Playing()) s_.busy = true;
            const int32_t level = s_.vars.S[kAutoLevel];
            if (level != 0) {
              SleepUntil(t0 + static_cast<uint32_t>(4 * std::clamp(level, 0, 24) + 15));
              return;
            }
          }
        }
      } else {
        animate = false;
      }
    }
    if (animate && effects_.BackgroundAnimationRunning()) {
      effects_.BackgroundAnimationPass(s_.idleCount);
    }
  }
  if (inputOnly && Since(nextTick_, t0) > static_cast<int32_t>(kIdlePassMs)) {
    platform_.Flush();
    platform_.WaitForInput(static_cast<uint32_t>(Since(nextTick_, platform_.Ticks())));
    return;
  }
  SleepUntil(t0 + kIdlePassMs);
}

void Engine::Timer1Timer() {
  music_.RefillStream();
  if (movie_.TickMovie()) return;
  effects_.EffectTick();
  if (s_.screenMode == 8) {
    recollection_.RecollectionTick();
    return;
  }
  if (s_.backlogOpen || s_.busy || s_.screenMode != 0) return;
  if (s_.interactionMode != 0 && s_.questionKind == 0) {
    clickMap_.TickMapTimeout();
    return;
  }

  const bool soundPlaying = sound_.VoiceOrEffectPlaying();
  if (!soundPlaying) s_.waitVoiceEnd = false;
  if (s_.waitTicks != 0) {
    s_.waitTicks -= 1;
    return;
  }
  if (input_.MouseMoved()) {
    quickBar_.ResetHighlight();
    input_.ClearMouseMoved();
  }
  music_.TickPendingStart();
  if (s_.waitKind == 0 || s_.busy || s_.screenMode != 0) return;

  if (s_.vars.S[kAutoLevel] == 0) {
    if (s_.waitKind != 5) text_.AnimateClickWait();
    return;
  }
  // The auto mode never moves on while a voice or a one-shot effect plays.
  if (s_.autoWait != 0) {
    s_.autoWait -= 1;
    if (s_.autoWait == 0 && soundPlaying) s_.autoWait = 1;
  } else if (soundPlaying) {
    s_.autoWait = 1;
  }
  if (s_.autoWait != 0) return;
  if ((s_.waitKind == 1 || s_.waitKind == 4 || s_.waitKind == 5) && s_.textWindowOn) {
    OpenTextPage();
  }
  s_.waitKind = 0;
}

void Engine::AutoWaitTicks() {
  // Levels of 25 or more would make the divisor zero or negative.
  const int32_t level = std::clamp(s_.vars.S[kAutoLevel], -1000, 24);
  s_.autoWait = s_.pageChars / (25 - level) + 2 * level + 2;
}

}  // namespace zorvel
