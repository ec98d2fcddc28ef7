// What `zorvel` tells a script that runs it. The README's table lists the same codes.
#pragma once

namespace zorvel {

constexpr int kExitOk = 0;
constexpr int kExitLocked = 1;        // another instance holds the settings directory's lock
constexpr int kExitUsage = 2;         // bad arguments, or no display for a window
constexpr int kExitGameData = 3;      // the game's script archive or its main script is unusable
constexpr int kExitOutputFailed = 4;  // --screenshot or --dump-state could not be written

}  // namespace zorvel
