#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "service/core/result_codes.h"

namespace MapsService {

class FileSystem;
class PhoneDrive;

enum class DeleteKind : std::int32_t {
    RemoveFolder = 0,  // the folder with everything in it
    EmptyFolder = 1,   // everything in the folder; the folder stays
    TileFolder = 2,    // the files of the folder and of its direct subfolders; folders stay
    File = 3,
};

// Removes folders and files from one drive with byte-based progress messages
// (MSG_DELETE_PROGRESS). What it removes are the drive's maps and voices: with
// the first file gone they are incomplete, which it reports once
// (MSG_MAPS_INCOMPLETE). Built for one operation.
class DeletePackage {
public:
    struct Item {
        DeleteKind kind;
        std::wstring path;
        std::uint64_t size = 0;
    };

    explicit DeletePackage(PhoneDrive& drive);
    ~DeletePackage();
    DeletePackage(const DeletePackage&) = delete;
    DeletePackage& operator=(const DeletePackage&) = delete;

    // Without a size the drive is asked; a folder or file that is not there
    // counts 0 bytes. Answers the size query's code otherwise.
    [[nodiscard]] Result add_folder(DeleteKind kind, const std::wstring& path,
                                    std::optional<std::uint64_t> size = std::nullopt);
    [[nodiscard]] Result add_file(const std::wstring& path,
                                  std::optional<std::uint64_t> size = std::nullopt);

    // `action` runs once, on the deleting thread, after the package removed
    // this many files.
    void call_after(std::size_t files, std::function<void()> action);

    // Runs every item, also after one failed; answers the first failure's code.
    [[nodiscard]] Result delete_all();

    const std::vector<Item>& items() const { return m_items; }

private:
    [[nodiscard]] Result remove_folder(const std::wstring& path);
    [[nodiscard]] Result remove_files(const std::wstring& path);
    [[nodiscard]] Result remove_file(const std::wstring& path);
    // size: the file's bytes, for the progress.
    [[nodiscard]] Result remove_file(const std::wstring& path, std::uint64_t size);
    // Removes the folder's files, then removes each direct subfolder or only its files.
    [[nodiscard]] Result clear_folder(const std::wstring& path, bool removeSubfolders);
    [[nodiscard]] Result run(const Item& item);
    double percent() const;

    PhoneDrive& m_drive;
    FileSystem& m_fileSystem;
    std::vector<Item> m_items;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
    bool m_changedDrive = false;  // a file was removed
    std::size_t m_removed = 0;    // files
    std::size_t m_callAfter = 0;
    std::function<void()> m_action;
};

}  // namespace MapsService
