// SPDX-License-Identifier: Apache-2.0
#include "file_lock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <thread>

#include "error.h"

namespace jet {

namespace {

// Long enough for the largest commit to be written and flushed.
constexpr auto kWaitLimit = std::chrono::seconds(60);

struct flock range(LockByte byte, short type) {
    struct flock l {};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    l.l_start = off_t(byte);
    l.l_len = 1;
    return l;
}

short typeOf(LockMode mode) {
    return mode == LockMode::Exclusive ? F_WRLCK : mode == LockMode::Shared ? F_RDLCK : F_UNLCK;
}

}  // namespace

bool tryLock(int fd, LockByte byte, LockMode mode) {
    struct flock l = range(byte, typeOf(mode));
    while (::fcntl(fd, F_OFD_SETLK, &l) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        throw Error(kErrIo, std::string("Could not lock the database: ") + std::strerror(errno) + ".");
    }
    return true;
}

// Polled rather than blocking, so that two pagers of one process on one
// file cannot wait for each other for ever.
void waitLock(int fd, LockByte byte, LockMode mode, const std::string& path, const std::string& what) {
    auto pause = std::chrono::microseconds(20);
    const auto give_up = std::chrono::steady_clock::now() + kWaitLimit;
    while (!tryLock(fd, byte, mode)) {
        if (std::chrono::steady_clock::now() > give_up)
            throw Error(kErrInUse, "Could not " + what + " '" + path + "'; it is in use by another program.");
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

bool lockedByOthers(int fd, LockByte byte) {
    struct flock l = range(byte, F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &l) != 0) return false;
    return l.l_type != F_UNLCK;
}

}  // namespace jet
