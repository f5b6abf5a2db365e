#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

namespace MapsService {

// Creates the folders on the way to extracted files, remembering the ones it
// made or found so that thousands of files in a few folders cost one mkdir each.
class FolderMaker {
public:
    // Makes every folder of the native path's parent; throws ArchiveError.
    void make_parents(const std::string& nativeFile);

private:
    std::unordered_set<std::string> m_known;
};

// One extracted file being written. Until commit() it is partial, and the
// destructor removes it: a failed or abandoned extraction never leaves a
// truncated file behind to be mistaken for a complete one.
class ExtractedFile {
public:
    // Replaces whatever file or link is there with a new file; never follows a link.
    explicit ExtractedFile(std::string nativePath);
    ~ExtractedFile();
    ExtractedFile(const ExtractedFile&) = delete;
    ExtractedFile& operator=(const ExtractedFile&) = delete;

    // Writes all of it or throws ArchiveError (disk full, file too large, ...).
    void write(const void* data, std::size_t size);
    // Closes the file, which from now on stays; throws when closing fails.
    void commit();

private:
    std::string m_path;
    int m_fd = -1;
    bool m_created = false;  // ours to remove unless committed
    bool m_committed = false;
};

}  // namespace MapsService
