#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>

#include "service/zip/zip_reader.h"

namespace MapsService {

// A file or folder of the extraction that could not be written: the target's
// fault (full, read-only, gone), not the archive's.
class ExtractWriteError : public ArchiveError {
public:
    using ArchiveError::ArchiveError;
};

// Creates the folders on the way to extracted files, remembering the ones it
// made or found so that thousands of files in a few folders cost one mkdir each.
class FolderMaker {
public:
    // Makes every folder of the native path's parent; throws ExtractWriteError.
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
    // With a final path the file is renamed to it by commit(), replacing what is there.
    explicit ExtractedFile(std::string nativePath, std::string finalPath = {});
    ~ExtractedFile();
    ExtractedFile(const ExtractedFile&) = delete;
    ExtractedFile& operator=(const ExtractedFile&) = delete;

    // Writes all of it or throws ExtractWriteError (disk full, file too large, ...).
    void write(const void* data, std::size_t size);
    // Closes the file, which from now on stays (under its final path when it has
    // one); throws when closing or renaming fails.
    void commit();

private:
    std::string m_path;
    std::string m_finalPath;
    int m_fd = -1;
    bool m_created = false;  // ours to remove unless committed
    bool m_committed = false;
};

// The one file every entry of an extraction into a work folder is written into
// before it gets its own name, a second link to the same file that the sink
// removes once done with it. Files the sink handles and drops cost the file
// system no new inode each: some reuse freed inodes only slowly, and an
// archive holds thousands of entries.
class WorkFile {
public:
    // A hidden work name in the folder the entries go to, of characters every
    // card accepts. An entry of that name (in any case, where the file system
    // ignores case) keeps the file, and the work goes on under another name.
    explicit WorkFile(const std::string& nativeFolder);
    // Removes the work name.
    ~WorkFile();
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;

    // Starts the next entry on an empty file; a new one when the sink kept the
    // name of the last, which from then on is the sink's own file.
    void restart();
    // Writes all of it or throws ExtractWriteError.
    void write(const void* data, std::size_t size);
    // Names the complete entry: links the file there, replacing whatever file
    // or link is at that name, never following one.
    void link_as(const std::string& nativeFile);

private:
    void open_new();
    // Whether the name is the work file's: the same on a card, or the same file.
    bool is_named(const std::string& nativeFile) const;

    std::string m_folder;
    std::string m_path;
    int m_fd = -1;
    unsigned m_handedOver = 0;  // work names that entries took over
    bool m_ownsName = true;     // m_path is the work file's own, or a leftover of one
};

}  // namespace MapsService
