#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "service/core/result_codes.h"

namespace MapsService {

// What atlasync-tool's developer commands ask of single layers: one archive
// unpacked or measured, one TLV stream listed. None needs initialize.

struct ArchiveExtraction {
    std::uint64_t files = 0;
    std::uint64_t bytesWritten = 0;
};

// Unpacks every file of the archive into the folder; `progress` is told the
// bytes written so far after each block. 2 once cancel_operation was called,
// 11 for a damaged archive (what was written stays).
[[nodiscard]] Result extract_archive(const std::wstring& archive, const std::wstring& folder,
                                     const std::function<void(std::uint64_t)>& progress,
                                     ArchiveExtraction& done);
// The sum of the archive's uncompressed entry sizes; 0 when it cannot be read.
std::uint64_t archive_uncompressed_size(const std::wstring& archive);

enum class TlvForm { Detect, Hex, Raw };

struct TlvEntry {
    std::uint32_t tag = 0;
    std::uint32_t length = 0;
    // "number N", "text \"...\"" (both when both fit) or "hex ..."; empty for no value.
    std::string value;
};

struct TlvListing {
    bool hex = false;       // the stream was hexadecimal text
    bool complete = false;  // false when it is cut short after the last entry
    std::vector<TlvEntry> entries;
};

TlvListing list_tlv(const std::vector<char>& content, TlvForm form);

}  // namespace MapsService
