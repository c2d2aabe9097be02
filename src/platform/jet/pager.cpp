#include "pager.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rc4.h"

namespace jet {

Pager::Pager(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error(kErrFileNotFound, "Could not find file '" + path + "'.");
        throw Error(kErrIo, "Could not open '" + path + "': " + std::strerror(errno) + ".");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(kErrIo, "'" + path + "' is not a regular file.");
    }
    size_ = size_t(st.st_size);
    if (size_ > 0) {
        void* m = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, 0);
        if (m == MAP_FAILED) {
            ::close(fd);
            throw Error(kErrIo, "Could not read '" + path + "': " + std::strerror(errno) + ".");
        }
        map_ = static_cast<const uint8_t*>(m);
    }
    ::close(fd);
}

Pager::~Pager() {
    if (map_) ::munmap(const_cast<uint8_t*>(map_), size_);
}

void Pager::configure(uint32_t page_size, uint32_t key) {
    page_size_ = page_size;
    page_count_ = uint32_t(size_ / page_size);
    key_ = key;
}

Bytes Pager::page(uint32_t n) const {
    if (n >= page_count_) corrupt("a reference points to page " + std::to_string(n) + ", past the end of the file");
    const uint8_t* p = map_ + size_t(n) * page_size_;
    if (key_ == 0 || n == 0) return Bytes(p, page_size_);
    auto& slot = decoded_[n];
    if (!slot) {
        slot = std::make_unique<uint8_t[]>(page_size_);
        std::memcpy(slot.get(), p, page_size_);
        rc4(key_ ^ n, slot.get(), page_size_);
    }
    return Bytes(slot.get(), page_size_);
}

}  // namespace jet
