// SPDX-License-Identifier: Apache-2.0
#include "file_io.h"

#include <unistd.h>

#include <cerrno>

namespace jet {

bool writeFully(int fd, const uint8_t* data, size_t length, off_t at) {
    while (length > 0) {
        ssize_t n = ::pwrite(fd, data, length, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n, length -= size_t(n), at += n;
    }
    return true;
}

bool readFully(int fd, uint8_t* into, size_t length, off_t at) {
    while (length > 0) {
        ssize_t n = ::pread(fd, into, length, at);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = 0;
        if (n <= 0) return false;
        into += n, length -= size_t(n), at += n;
    }
    return true;
}

}  // namespace jet
