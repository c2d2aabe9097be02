// SPDX-License-Identifier: Apache-2.0
// The locks by which processes sharing a database keep out of each other's
// way: open-file-description locks (they belong to one open of the file,
// as flock's do, but on byte ranges) on bytes past the largest file Jet
// writes, so that they cover no data.
//
//   Writer   exclusive: the one pager that may change the file. Taken by
//            its first transaction and kept.
//   Pending  exclusive while a commit (or a repair) waits for readers to
//            leave, so that new readers queue behind it instead of
//            starving it; a reader holds it shared only while it enters.
//   Readers  shared for the length of each read, exclusive while a commit
//            writes to the file: a read sees each commit whole or not at
//            all.
//
// Whoever holds Writer without Readers leaves the file whole: a writer
// takes Readers before its first write to the file and lets it go only
// once the file is complete again, and a repair takes Readers before
// Writer. A journal beside the file while nobody holds Writer is
// therefore a dead writer's, and to be played back.
#pragma once

#include <string>
#include <sys/types.h>

namespace jet {

enum class LockByte : off_t {
    Writer = off_t(1) << 33,
    Pending,
    Readers,
};

enum class LockMode { Unlocked, Shared, Exclusive };

// Sets the lock of `fd` on `byte` to `mode` without waiting; false when
// another open of the file holds a lock in the way.
bool tryLock(int fd, LockByte byte, LockMode mode);

// As tryLock, waiting for the other holder up to a limit (seconds); then
// throws kErrInUse saying `what` could not be done to `path`.
void waitLock(int fd, LockByte byte, LockMode mode, const std::string& path, const std::string& what);

// True when another open of the file holds any lock on `byte`.
bool lockedByOthers(int fd, LockByte byte);

}  // namespace jet
