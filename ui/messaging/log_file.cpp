#include "ui/messaging/log_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace atlasync::ui {

namespace {

bool write_all(int fd, const std::string& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string computer_name() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return "localhost";
    }
    return name;
}

bool CLogFile::write_line(const std::string& line) const {
    // Appending keeps two writers from overwriting each other's lines.
    const int fd =
        ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_DSYNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    if (ok && status.st_size == 0) {
        ok = write_all(fd, "-- " + computer_name() + " --\r\n");
    }
    ok = ok && write_all(fd, line);
    ::close(fd);
    return ok;
}

}  // namespace atlasync::ui
