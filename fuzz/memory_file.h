#pragma once

// The fuzz input as a file the readers can open by name, without touching the disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace axo::fuzz {

class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("axo-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) {
            std::abort();
        }
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the content and gives a path that opens it.
    std::string Hold(const uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0 || pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)) {
            std::abort();
        }
        return "/proc/self/fd/" + std::to_string(fd_);
    }

private:
    int fd_;
};

}  // namespace axo::fuzz
