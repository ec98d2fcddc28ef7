// The clock every blocking animation paces itself by (transitions, fades, shakes, scrolls,
// window openings, rolls). It sleeps through the platform, so the headless platform's virtual
// clock runs each animation for exactly its nominal number of frames, and it pumps window
// events while waiting so that the window stays responsive and a click can cut an animation
// short (the pump routes it into `closeRequest`).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace zorvel {

class FrameClock {
 public:
  // `pumpEvents` processes the pending window events once and returns.
  FrameClock(Platform& platform, std::function<void()> pumpEvents)
      : platform_(platform), pumpEvents_(std::move(pumpEvents)) {}

  // Notes the present time as the start of the first frame.
  void StartFrameClock() { noted_ = platform_.Ticks(); }

  // Pumps events, then sleeps until the first multiple of `period` ms after the noted time that
  // lies in the future, makes that the noted time and returns how many periods it advanced (1
  // on time, more when drawing overran). Periods below 1 ms count as 1 ms: scripts choose some
  // of them, and a zero would stall the animation.
  int WaitFrames(int period);

  // Sleeps until the tick count reaches `deadline` (not at all if it has), then pumps events.
  void WaitUntil(uint32_t deadline);

  void PumpEvents() {
    if (pumpEvents_) pumpEvents_();
  }
  uint32_t Ticks() { return platform_.Ticks(); }

 private:
  Platform& platform_;
  std::function<void()> pumpEvents_;
  uint32_t noted_ = 0;
};

}  // namespace zorvel
