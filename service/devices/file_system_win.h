#pragma once

#include <string>

#include "service/devices/file_system.h"

namespace MapsService {

// A drive on the PC's own disks: the mounted volume of a phone attached as USB
// mass storage, or any local folder. Drive paths map to native paths by turning
// every backslash into "/". Failures are reported by codes only. Below the root
// no symbolic link is ever followed and only regular files count as files.
class FileSystemWin : public FileSystem {
public:
    static constexpr std::int32_t kConnectionKind = 4;

    // rootPath: the volume's mount point or any local folder.
    explicit FileSystemWin(std::wstring rootPath);

    DirectoryEntry get_root_directory() override;
    Result fetch_sub_directories(const std::wstring& path,
                                 std::vector<DirectoryEntry>& entries) override;
    Result fetch_filenames(const std::wstring& path, std::vector<std::wstring>& paths) override;
    // The sizes come from the open folder, not from a walk down each file's path.
    Result fetch_files(const std::wstring& path,
                       std::vector<std::pair<std::wstring, std::uint64_t>>& files) override;
    // Whether the root's volume is mounted read-only; true when it cannot be asked.
    bool is_write_protected() override { return m_writeProtected; }
    const std::wstring& get_memory_type() override;
    Result delete_file(const std::wstring& path) override;
    Result delete_directory(const std::wstring& path) override;
    Result create_directory(const std::wstring& path) override;
    Result get_file_size(const std::wstring& path, std::uint64_t& size) override;
    // Files and folders whose names begin with a dot are neither counted nor entered.
    Result get_directory_size(const std::wstring& path, std::uint64_t& size) override;
    Result get_time(const std::wstring& path, FileTimes& times) override;
    bool file_exists(const std::wstring& path) override;
    bool directory_exists(const std::wstring& path) override;
    Result read_file(const std::wstring& path, std::vector<std::uint8_t>& data) override;
    Result write_file(const std::wstring& path, const void* data, std::uint32_t length,
                      std::uint32_t reserved, bool overwrite) override;
    Result copy_to_device(const std::wstring& localSource,
                          const std::wstring& targetFolder) override;
    Result move_file(const std::wstring& source, const std::wstring& targetFolder) override;
    Result move_folder(const std::wstring& source, const std::wstring& targetFolder) override;
    Result flush(const std::wstring& path) override;
    Result flush_drive() override;
    // The volume's fragment size; 0 when it tells no size.
    std::uint64_t allocation_unit() override;
    // -1 when the volume tells no size (FAT through some FUSE drivers): unknown, not full.
    std::int64_t total_space_bytes() override;
    std::int64_t free_space_bytes() override;
    Result unzip_archive(const std::wstring& localArchive, const std::wstring& workFolder,
                         ExtractionSink& sink, std::uint64_t& bytesWritten) override;

    // The native path of a file on the drive, for writing it without the copy
    // through the PC; 10 when the way there passes through a link or leaves the
    // drive. A link at the file's own name is replaced, never followed.
    [[nodiscard]] Result native_file_path(const std::wstring& path, std::string& native) const;

private:
    // Whether a path below the root passes through a symbolic link or climbs
    // above the root with "..", the path itself included when lastToo; such a
    // path leads off the drive and is treated as missing. Paths outside the
    // root (local work files) pass.
    bool through_link(const std::wstring& path, bool lastToo) const;

    std::wstring m_rootPath;
    bool m_writeProtected;
};

}  // namespace MapsService
