#pragma once

#include <memory>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

class PhoneDrive;

// Keeps a second update of one drive, from any process of this user, from
// starting while one runs: an advisory lock on a file named after the drive's
// identity, below the user's temporary folder. The system drops the lock with
// its process, so a killed update never blocks the next one.
class DriveUpdateLock {
public:
    // The lock of the drive: 0, 19 when another update holds it, 5 when its
    // file cannot be made.
    [[nodiscard]] static Result take(PhoneDrive& drive, std::unique_ptr<DriveUpdateLock>& lock);
    // Removes the file, then lets go of the lock.
    ~DriveUpdateLock();
    DriveUpdateLock(const DriveUpdateLock&) = delete;
    DriveUpdateLock& operator=(const DriveUpdateLock&) = delete;

    // What names the drive across processes: the device and inode of a
    // volume's root folder, else the phone's serial number and the drive.
    static std::string identity(PhoneDrive& drive);

private:
    DriveUpdateLock(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd;
    std::string m_path;
};

}  // namespace MapsService
