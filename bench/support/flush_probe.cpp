// SPDX-License-Identifier: Apache-2.0
#include "flush_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace {

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

double flushMs(const std::string& dir, int times) {
    std::string path = dir + "/flush-probe";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    std::vector<uint8_t> page(4096, 1);
    std::vector<double> ms;
    if (fd >= 0 && ::pwrite(fd, page.data(), page.size(), 0) == ssize_t(page.size()) && ::fsync(fd) == 0) {
        for (int i = 0; i < times; ++i) {
            page[0] = uint8_t(i);
            auto start = std::chrono::steady_clock::now();
            if (::pwrite(fd, page.data(), page.size(), 0) != ssize_t(page.size()) || ::fdatasync(fd) != 0) break;
            ms.push_back(since(start) * 1000);
        }
    }
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

