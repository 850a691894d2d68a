#pragma once

// How long the program waits for another workstation's hold on the store, by what is waiting. The user waits with
// each (the window answers meanwhile, but takes no input), so each is as long as its user can bear and no longer.
namespace kesola::waits {

// A repaint of the board, twice a second: a busy store leaves the cells as they are until the next tick. Well
// under a tick, so a board whose store stays busy still answers its user between ticks.
inline constexpr int kRepaintMs = 200;
// Taking the workstation lock for a command: a store still busy then is another machine at work.
inline constexpr int kLockTakeMs = 2000;
// A registration, a cancellation or a master write, which the user has asked for and waits on.
inline constexpr int kWriteMs = 5000;
// Giving the lock back after a command, in all, and each try of it.
inline constexpr int kReleaseMs = 5000;
inline constexpr int kReleaseTryMs = 500;
// Closing the board: how long the last repaint's read may still take before the lock is given back; a store that
// stopped answering is left without it.
inline constexpr int kExitMs = 2000;

}  // namespace kesola::waits
