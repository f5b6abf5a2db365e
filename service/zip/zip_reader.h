#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "service/core/exceptions.h"

namespace MapsService {

// Anything that makes an archive unusable: not a ZIP file, damaged structures,
// an unsupported feature, a CRC mismatch, or a failure writing what it holds.
class ArchiveError : public Exception {
public:
    explicit ArchiveError(const std::string& reason) : Exception(reason, kResultCorruptArchive) {}
};

// What the central directory records for one entry.
struct ZipEntry {
    std::string storedName;              // raw bytes as stored
    std::uint32_t crc = 0;               // CRC-32 of the uncompressed data
    std::uint64_t compressedSize = 0;    // bytes
    std::uint64_t uncompressedSize = 0;  // bytes
};

// Reads one archive entry by entry through minizip. Refuses what we do not
// extract: Zip64 archives, encrypted entries (AES or the traditional scheme; we
// never hold a password), methods other than stored and deflated, and more than
// 65535 entries. Every refusal and every damage found is an ArchiveError.
class ZipReader {
public:
    explicit ZipReader(const std::string& nativePath);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    std::uint32_t entry_count() const { return m_entryCount; }

    // The entry at the cursor; the cursor starts at the first entry.
    const ZipEntry& entry() const { return m_entry; }
    // Moves the cursor on; only call while entries remain.
    void next_entry();

    // Streams the data of the entry at the cursor.
    void open_data();
    // Fills up to `capacity` bytes; 0 once the data is complete.
    std::size_t read_data(void* buffer, std::size_t capacity);
    // Ends the stream; throws when the data was short or its CRC-32 differs.
    void close_data();

private:
    void load_entry();

    void* m_file = nullptr;  // minizip's unzFile
    std::uint32_t m_entryCount = 0;
    ZipEntry m_entry;
    std::uint16_t m_flags = 0;  // general purpose bit flags of the entry at the cursor
    int m_method = 0;           // its compression method
    bool m_dataOpen = false;
    std::uint64_t m_dataRead = 0;
};

}  // namespace MapsService
