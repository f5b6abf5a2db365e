#include "service/zip/zip_reader.h"

#include <unzip.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace MapsService {

namespace {

constexpr std::uint32_t kMaxEntries = 65535;
constexpr std::uint64_t kZip64Marker = 0xFFFFFFFFu;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr int kMethodStored = 0;
constexpr int kMethodDeflated = 8;
constexpr int kMethodAes = 99;

// End of central directory: 22 bytes plus a comment of up to 65535 bytes; a
// Zip64 archive puts its 20-byte locator right before it.
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentSize = 65535;

unzFile as_unz(void* file) {
    return static_cast<unzFile>(file);
}

std::uint16_t read_le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool has_signature(const unsigned char* p, unsigned char third, unsigned char fourth) {
    return p[0] == 'P' && p[1] == 'K' && p[2] == third && p[3] == fourth;
}

enum class EndRecord { Missing, Plain, Zip64 };

// minizip reads Zip64 archives silently, and one whose end record is cut short;
// we refuse both, so look for a whole end record and for the Zip64 locator
// that would precede it.
EndRecord find_end_record(const std::string& nativePath) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(nativePath.c_str(), "rb"),
                                                         &std::fclose);
    if (!file || fseeko(file.get(), 0, SEEK_END) != 0) {
        return EndRecord::Missing;
    }
    const off_t size = ftello(file.get());
    const auto tailSize = static_cast<std::size_t>(
        std::min<off_t>(size, kZip64LocatorSize + kEndRecordSize + kMaxCommentSize));
    if (tailSize < kEndRecordSize) {
        return EndRecord::Missing;
    }
    std::vector<unsigned char> tail(tailSize);
    if (fseeko(file.get(), size - static_cast<off_t>(tailSize), SEEK_SET) != 0 ||
        std::fread(tail.data(), 1, tailSize, file.get()) != tailSize) {
        return EndRecord::Missing;
    }
    for (std::size_t i = tailSize - kEndRecordSize + 1; i-- > 0;) {
        if (has_signature(&tail[i], 5, 6)) {
            const bool zip64 =
                i >= kZip64LocatorSize && has_signature(&tail[i - kZip64LocatorSize], 6, 7);
            return zip64 ? EndRecord::Zip64 : EndRecord::Plain;
        }
    }
    return EndRecord::Missing;
}

bool has_zip64_extra(const unsigned char* extra, std::size_t size) {
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const std::uint16_t id = read_le16(extra + pos);
        const std::uint16_t length = read_le16(extra + pos + 2);
        if (id == kZip64ExtraId) {
            return true;
        }
        pos += 4 + std::size_t{length};
    }
    return false;
}

}  // namespace

ZipReader::ZipReader(const std::string& nativePath) {
    m_file = unzOpen64(nativePath.c_str());
    if (m_file == nullptr) {
        throw ArchiveError("not a ZIP archive");
    }
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(as_unz(m_file), &info) != UNZ_OK) {
        unzClose(as_unz(m_file));
        throw ArchiveError("unreadable central directory");
    }
    const EndRecord end = find_end_record(nativePath);
    if (end != EndRecord::Plain) {
        unzClose(as_unz(m_file));
        throw ArchiveError(end == EndRecord::Zip64 ? "Zip64 archive" : "end record cut short");
    }
    if (info.number_entry > kMaxEntries) {
        unzClose(as_unz(m_file));
        throw ArchiveError("more entries than supported");
    }
    m_entryCount = static_cast<std::uint32_t>(info.number_entry);
    if (m_entryCount > 0) {
        if (unzGoToFirstFile(as_unz(m_file)) != UNZ_OK) {
            unzClose(as_unz(m_file));
            throw ArchiveError("unreadable central directory");
        }
        try {
            load_entry();
        } catch (...) {
            unzClose(as_unz(m_file));
            throw;
        }
    }
}

ZipReader::~ZipReader() {
    if (m_dataOpen) {
        unzCloseCurrentFile(as_unz(m_file));
    }
    unzClose(as_unz(m_file));
}

void ZipReader::next_entry() {
    if (unzGoToNextFile(as_unz(m_file)) != UNZ_OK) {
        throw ArchiveError("damaged central directory");
    }
    load_entry();
}

void ZipReader::load_entry() {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(as_unz(m_file), &info, nullptr, 0, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
        throw ArchiveError("damaged central directory");
    }
    std::string name(info.size_filename, '\0');
    std::vector<unsigned char> extra(info.size_file_extra);
    if (unzGetCurrentFileInfo64(as_unz(m_file), &info, name.data(), name.size(), extra.data(),
                                extra.size(), nullptr, 0) != UNZ_OK) {
        throw ArchiveError("damaged central directory");
    }
    if (info.compressed_size >= kZip64Marker || info.uncompressed_size >= kZip64Marker ||
        has_zip64_extra(extra.data(), extra.size())) {
        throw ArchiveError("Zip64 entry");
    }
    m_entry.storedName = std::move(name);
    m_entry.crc = static_cast<std::uint32_t>(info.crc);
    m_entry.compressedSize = info.compressed_size;
    m_entry.uncompressedSize = info.uncompressed_size;
    m_flags = static_cast<std::uint16_t>(info.flag);
    m_method = static_cast<int>(info.compression_method);
}

void ZipReader::open_data() {
    if ((m_flags & kFlagEncrypted) != 0 || m_method == kMethodAes) {
        throw ArchiveError("encrypted entry");
    }
    if (m_method != kMethodStored && m_method != kMethodDeflated) {
        throw ArchiveError("unsupported compression method");
    }
    if (unzOpenCurrentFile(as_unz(m_file)) != UNZ_OK) {
        throw ArchiveError("damaged local header");
    }
    m_dataOpen = true;
    m_dataRead = 0;
}

std::size_t ZipReader::read_data(void* buffer, std::size_t capacity) {
    const int count = unzReadCurrentFile(as_unz(m_file), buffer,
                                         static_cast<unsigned>(std::min<std::size_t>(
                                             capacity, std::numeric_limits<unsigned>::max())));
    if (count < 0) {
        throw ArchiveError("damaged entry data");
    }
    m_dataRead += static_cast<std::uint64_t>(count);
    return static_cast<std::size_t>(count);
}

void ZipReader::close_data() {
    m_dataOpen = false;
    const int status = unzCloseCurrentFile(as_unz(m_file));
    if (m_dataRead != m_entry.uncompressedSize) {
        throw ArchiveError("entry data shorter than recorded");
    }
    if (status == UNZ_CRCERROR) {
        throw ArchiveError("CRC-32 mismatch");
    }
    if (status != UNZ_OK) {
        throw ArchiveError("damaged entry data");
    }
}

}  // namespace MapsService
