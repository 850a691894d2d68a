#pragma once

#include <QString>

namespace kesola {

struct Pro000;

// The system-wide lock that lets one workstation at a time open a window that writes.
//
// mode != 0 takes it: returns "" when taken; when another workstation holds it, shows
// "他のマシンで使用中です。しばらくしてリトライしてください。" titled SYS_TITLE and returns "NG".
// A store that stays busy for waits::kLockTakeMs counts as held by another workstation.
// mode == 0 releases it and returns "", retrying while the database is busy; a release that still fails is left
// pending for retryPendingRelease.
// A database failure (also no open database, or no lock row) is shown as "データベースの処理に失敗しました。" and
// the engine's message, titled SYS_TITLE; taking then returns "NG", so nothing opens.
QString LOCK_SET(Pro000& g, int mode);

// Tries once more, waiting at most waitMs, to give back a lock whose release failed; says nothing when it fails
// again (the first failure was shown). Does nothing while no release is pending.
void retryPendingRelease(Pro000& g, int waitMs);

// Marks the lock free whatever its value, retrying while the database is busy; throws DbError. Used by the
// board's forced release.
void releaseLock(Pro000& g);

}  // namespace kesola
