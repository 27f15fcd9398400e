#pragma once

// Writing a whole buffer to a file descriptor: write() may take part of it, or be interrupted
// by a signal before it takes anything.

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace axo {

// True once every byte is with the kernel; false on the first real error (errno tells it).
inline bool WriteAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace axo
