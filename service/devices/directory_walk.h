#pragma once

#include <dirent.h>

#include <string>

namespace MapsService {

// What a folder entry is, without following symbolic links. Other covers
// FIFOs, sockets and devices: reading one can block or have side effects.
enum class LocalEntryKind { File, Directory, SymbolicLink, Other };

struct LocalEntry {
    std::string name;  // never "." or ".."
    LocalEntryKind kind = LocalEntryKind::File;
};

// An open local folder, read entry by entry. Sub-folders open relative to their
// parent and never through a symbolic link, so a walk cannot be diverted.
class LocalFolder {
public:
    explicit LocalFolder(const std::string& nativePath);
    LocalFolder(const LocalFolder& parent, const std::string& name);
    ~LocalFolder();
    LocalFolder(const LocalFolder&) = delete;
    LocalFolder& operator=(const LocalFolder&) = delete;

    bool is_open() const { return m_dir != nullptr; }
    int fd() const { return ::dirfd(m_dir); }
    // The next entry; false at the end or when reading fails (see failed()).
    bool next(LocalEntry& entry);
    bool failed() const { return m_failed; }

private:
    DIR* m_dir = nullptr;
    bool m_failed = false;
};

}  // namespace MapsService
