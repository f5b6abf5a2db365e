#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "service/core/result_codes.h"
#include "service/core/room.h"

namespace MapsService {

class ExtractionSink;
class FileSystem;

// A folder on a drive, as listed by its file system.
class DirectoryEntry {
public:
    // With computeSize the size is measured at once through the owner.
    DirectoryEntry(std::wstring path, FileSystem* owner, bool computeSize = false);

    const std::wstring& path() const { return m_path; }
    std::int64_t size() const { return m_size; }
    FileSystem* owner() const { return m_owner; }

    [[nodiscard]] Result fetch_sub_directories(std::vector<DirectoryEntry>& entries) const;
    [[nodiscard]] Result fetch_filenames(std::vector<std::wstring>& paths) const;

private:
    std::wstring m_path;
    std::int64_t m_size = -1;  // bytes of all files below, -1 while unknown
    FileSystem* m_owner;       // not owned
};

// Times of a file or folder, seconds since 1970-01-01 UTC (0 when the file
// system does not know one).
struct FileTimes {
    std::int64_t creation = 0;
    std::int64_t lastAccess = 0;
    std::int64_t lastWrite = 0;
};

// One drive (a memory of a phone, a local volume or folder) as the service sees
// it. Paths are drive paths: wide strings with backslash separators. Every
// operation that returns a Result answers a code of the service's code space.
class FileSystem {
public:
    explicit FileSystem(std::int32_t connectionKind) : m_connectionKind(connectionKind) {}
    virtual ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    virtual DirectoryEntry get_root_directory() = 0;
    [[nodiscard]] virtual Result fetch_sub_directories(const std::wstring& path,
                                                       std::vector<DirectoryEntry>& entries) = 0;
    // Lists the full paths of the files in the folder.
    [[nodiscard]] virtual Result fetch_filenames(const std::wstring& path,
                                                 std::vector<std::wstring>& paths) = 0;
    // Lists the files in the folder with their sizes in bytes (0 for a size that
    // cannot be read). This asks for each size in turn; a file system whose
    // listing carries the sizes answers in one pass.
    [[nodiscard]] virtual Result fetch_files(
        const std::wstring& path, std::vector<std::pair<std::wstring, std::uint64_t>>& files);
    virtual bool is_write_protected() = 0;
    virtual const std::wstring& get_memory_type() = 0;
    [[nodiscard]] virtual Result delete_file(const std::wstring& path) = 0;
    // Removes the folder with everything below it.
    [[nodiscard]] virtual Result delete_directory(const std::wstring& path) = 0;
    // Creates the folder and any missing parents.
    [[nodiscard]] virtual Result create_directory(const std::wstring& path) = 0;
    [[nodiscard]] virtual Result get_file_size(const std::wstring& path, std::uint64_t& size) = 0;
    // Sum of the sizes of all files below the folder. The walk ends with 1 at the
    // first failing step, leaving the partial sum in size.
    [[nodiscard]] virtual Result get_directory_size(const std::wstring& path, std::uint64_t& size);
    [[nodiscard]] virtual Result get_time(const std::wstring& path, FileTimes& times) = 0;
    virtual bool file_exists(const std::wstring& path) = 0;
    virtual bool directory_exists(const std::wstring& path) = 0;
    // Reads the whole file; data is resized to it.
    [[nodiscard]] virtual Result read_file(const std::wstring& path,
                                           std::vector<std::uint8_t>& data) = 0;
    // `reserved` is unused by every file system; callers pass 0.
    [[nodiscard]] virtual Result write_file(const std::wstring& path, const void* data,
                                            std::uint32_t length, std::uint32_t reserved,
                                            bool overwrite) = 0;
    // Copies a local file into the folder under its own name, replacing a file there.
    [[nodiscard]] virtual Result copy_to_device(const std::wstring& localSource,
                                                const std::wstring& targetFolder) = 0;
    // Copies, then deletes the source; 1 when the source is not a file.
    [[nodiscard]] virtual Result move_file(const std::wstring& source,
                                           const std::wstring& targetFolder);
    // Moves the folder's content into the target file by file, folder by folder;
    // the emptied source folder stays. The first failure ends the move.
    [[nodiscard]] virtual Result move_folder(const std::wstring& source,
                                             const std::wstring& targetFolder);
    // Puts what was written to the file, or to the folder's list of names, on
    // the device itself: a card pulled afterwards keeps it. A drive reached over
    // a link keeps its own writes: 0 there.
    [[nodiscard]] virtual Result flush(const std::wstring& path);
    // The same for every write to the drive so far.
    [[nodiscard]] virtual Result flush_drive();
    // Bytes a file's room is counted in (a card's cluster): every file takes
    // a whole number of them, a folder at least one. 0 when unknown.
    virtual std::uint64_t allocation_unit();
    // Room the files and folders below the folder take in allocation units,
    // the folder itself included; the walk ends with 1 at its first failing step.
    [[nodiscard]] Result get_allocated_size(const std::wstring& path, std::uint64_t& size);
    // Bytes; -1 when unknown.
    virtual std::int64_t total_space_bytes() = 0;
    // Bytes available to us; -1 when unknown.
    virtual std::int64_t free_space_bytes() = 0;
    // Extracts a local archive into a local work folder, handing every file to the
    // sink; bytesWritten receives the bytes reported to the sink.
    [[nodiscard]] virtual Result unzip_archive(const std::wstring& localArchive,
                                               const std::wstring& workFolder, ExtractionSink& sink,
                                               std::uint64_t& bytesWritten) = 0;
    // The drive came back, possibly over another link: this file system, which
    // the drive keeps, goes on with the returning one's connection details.
    virtual void take_connection(const FileSystem& returning);
    // Called by the drive just before it destroys its file system.
    virtual void reserved_operation();
    // Not supported here: 1.
    [[nodiscard]] virtual Result get_installed_applications(std::vector<std::wstring>& names);
    // Whether applications can be installed on the device this drive belongs to.
    virtual bool installs_applications() const { return false; }

    // 4 for a local volume or folder, 0 to 3 or 255 for a phone memory by its link.
    std::int32_t connection_kind() const { return m_connectionKind.load(); }

protected:
    void set_connection_kind(std::int32_t kind) { m_connectionKind = kind; }

private:
    std::atomic<std::int32_t> m_connectionKind;
};

}  // namespace MapsService
