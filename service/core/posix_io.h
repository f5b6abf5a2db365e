#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace MapsService {

// Writes all of it, resuming after interruptions and partial writes. False on
// failure, with errno set (ENOSPC when the disk took nothing more).
inline bool write_fully(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace MapsService
