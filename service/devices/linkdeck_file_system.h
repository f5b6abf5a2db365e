#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "devlinx/devlinx_api.h"
#include "service/core/exceptions.h"
#include "service/core/ini_file.h"
#include "service/devices/file_system.h"

namespace MapsService {

class PhoneHandle;

// Construction of a LinkdeckFileSystem failed; the text names the drive.
class FileSystemConstructionException : public Exception {
public:
    explicit FileSystemConstructionException(std::wstring text);
    const std::wstring& text() const { return m_text; }

private:
    std::wstring m_text;
};

// The file system of one memory of a phone, reached through the connectivity
// library. Every operation opens its own handle on the phone and closes it
// again, so the object holds nothing open and survives reconnections.
class LinkdeckFileSystem final : public FileSystem {
public:
    // Reads the memory's description; throws FileSystemConstructionException
    // when the phone or the memory cannot be reached.
    LinkdeckFileSystem(std::wstring serialNumber, std::uint32_t media, std::uint32_t deviceId,
                       const std::wstring& driveName);

    // The device side's start: the connectivity library's modules in order and
    // the device manager (0; 12 when a module fails, 1 without device manager).
    // Called once, from the thread that starts the service.
    [[nodiscard]] static Result initialize();
    // The device side's stop; 1 when any step failed.
    [[nodiscard]] static Result finalize();
    // Open between initialize and finalize, else null.
    static DLNKDMHANDLE device_manager();

    // The link kind the media flags name: 0 USB, 1 Bluetooth,
    // 2 serial, 3 infrared, 255 unknown.
    static std::int32_t connection_kind_of(std::uint32_t media);

    DirectoryEntry get_root_directory() override;
    [[nodiscard]] Result fetch_sub_directories(const std::wstring& path,
                                               std::vector<DirectoryEntry>& entries) override;
    [[nodiscard]] Result fetch_filenames(const std::wstring& path,
                                         std::vector<std::wstring>& paths) override;
    // Sizes from the listing itself: one round trip for the folder, not one a file.
    [[nodiscard]] Result fetch_files(
        const std::wstring& path,
        std::vector<std::pair<std::wstring, std::uint64_t>>& files) override;
    bool is_write_protected() override { return false; }
    const std::wstring& get_memory_type() override { return m_memoryType; }
    [[nodiscard]] Result delete_file(const std::wstring& path) override;
    [[nodiscard]] Result delete_directory(const std::wstring& path) override;
    [[nodiscard]] Result create_directory(const std::wstring& path) override;
    [[nodiscard]] Result get_file_size(const std::wstring& path, std::uint64_t& size) override;
    [[nodiscard]] Result get_directory_size(const std::wstring& path, std::uint64_t& size) override;
    [[nodiscard]] Result get_time(const std::wstring& path, FileTimes& times) override;
    bool file_exists(const std::wstring& path) override;
    bool directory_exists(const std::wstring& path) override;
    [[nodiscard]] Result read_file(const std::wstring& path,
                                   std::vector<std::uint8_t>& data) override;
    // Without overwrite an existing phone file is left as it is and the answer is 0.
    [[nodiscard]] Result write_file(const std::wstring& path, const void* data,
                                    std::uint32_t length, std::uint32_t reserved,
                                    bool overwrite) override;
    [[nodiscard]] Result copy_to_device(const std::wstring& localSource,
                                        const std::wstring& targetFolder) override;
    // One library move each, instead of the inherited copy and delete.
    [[nodiscard]] Result move_file(const std::wstring& source,
                                   const std::wstring& targetFolder) override;
    [[nodiscard]] Result move_folder(const std::wstring& source,
                                     const std::wstring& targetFolder) override;
    std::int64_t total_space_bytes() override;
    // Asks the phone again only after a change on the drive; the last known
    // value when the phone cannot be asked.
    std::int64_t free_space_bytes() override;
    [[nodiscard]] Result unzip_archive(const std::wstring& localArchive,
                                       const std::wstring& workFolder, ExtractionSink& sink,
                                       std::uint64_t& bytesWritten) override;

    // Lists the names of the applications installed on the phone: 0, 10
    // without a handle, the library's status when it cannot list them.
    [[nodiscard]] Result get_installed_applications(std::vector<std::wstring>& names) override;
    bool installs_applications() const override { return true; }
    // Hands a local installer to the phone and follows the installation:
    // 0, or the installation outcome (2, 15, 17, 18, 101 to 114, 10 without
    // a handle, 1). Phones before generation 320 only tell of a finished
    // installation through the marker file, which is deleted afterwards.
    // "mapsinstalled" in the settings lets a successful answer count as finished.
    [[nodiscard]] Result install_on_phone(std::int32_t deviceGeneration,
                                          const std::wstring& installerPath, std::uint64_t size,
                                          IniFile& settings = service_settings());
    // Another memory of the same phone ("C:"); null when the phone has none.
    static std::unique_ptr<LinkdeckFileSystem> get_file_system(const std::wstring& serialNumber,
                                                               const std::wstring& driveName);

    // Takes the media flags and device id of a returning phone's file system.
    void take_connection(const FileSystem& returning) override;

    const std::wstring& serial_number() const { return m_serialNumber; }
    const std::wstring& label() const { return m_label; }
    std::uint32_t media() const { return static_cast<std::uint32_t>(m_link.load() >> 32); }
    std::uint32_t device_id() const { return static_cast<std::uint32_t>(m_link.load()); }

private:
    template <typename T, typename Body>
    T run_operation(const char* name, const std::wstring& path, T noHandle, T onException,
                    Body&& body);
    void changed() { m_freeSpaceStale = true; }
    // The installation call itself, with the notifier registered around it.
    [[nodiscard]] Result hand_over_installer(DLNKFSHANDLE fs, const std::wstring& installerPath,
                                             std::uint64_t size, const std::wstring& marker,
                                             IniFile& settings);

    // A handle on the phone as it is connected now.
    PhoneHandle open_handle() const;

    const std::wstring m_serialNumber;
    // Media flags (high half) and device id (low half) of the phone's current
    // connection, in one word: a returning phone replaces them while the worker
    // opens handles with them.
    std::atomic<std::uint64_t> m_link;
    std::wstring m_rootPath;  // the memory as the library names it, "\\E:"
    std::wstring m_memoryType;
    std::wstring m_label;
    std::int64_t m_totalBytes = 0;
    // Written by whichever thread changed the drive or re-read the free space.
    std::atomic<std::int64_t> m_freeBytes{0};
    std::atomic<bool> m_freeSpaceStale{true};
    // Steady-clock nanoseconds of the last reading: the phone's owner may free
    // room between two runs, and the room check before an update must see it.
    std::atomic<std::int64_t> m_freeSpaceRead{0};
};

// The outcome of an installation for the library's status; a cancelled
// transfer is 2 when the user cancelled, else 17.
Result installation_result_for_status(DLNKRESULT status, bool userCancelled);

}  // namespace MapsService
