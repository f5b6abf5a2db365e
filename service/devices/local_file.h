#pragma once

#include <cstddef>
#include <string>

namespace MapsService {

// A local file written under a temporary name beside its final place and moved
// there only once complete, so a full disk or a failed copy never leaves a
// truncated file where a whole one was (or is expected).
class ReplacingFile {
public:
    explicit ReplacingFile(std::string finalPath);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool is_open() const { return m_fd >= 0; }
    bool write(const void* data, std::size_t size);
    // Puts what was written on the device, before commit() exposes it.
    bool sync();
    // Puts the file in its place. Without overwrite it fails when anything is
    // already there, and that stays untouched.
    bool commit(bool overwrite);

private:
    std::string m_finalPath;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_created = false;  // the temporary file is ours to remove
    bool m_committed = false;
};

// Copies a local file's content to a new or replaced file; false on any failure.
bool copy_local_file(const std::string& nativeSource, const std::string& nativeTarget);

// Puts what was written to a file, or to a folder's names, on the device; a
// file system that cannot flush one folder is flushed whole. False on failure.
bool flush_native(const std::string& nativePath);
// Puts every write to the volume holding the path on the device; for a FUSE
// driver that opened its device itself, with a flush of every file system.
bool flush_volume(const std::string& nativePath);

}  // namespace MapsService
