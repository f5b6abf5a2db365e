#pragma once

#include <cstdint>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// Receives what an extraction produces; the download package is the one in use.
class ExtractionSink {
public:
    virtual ~ExtractionSink() = default;

    // Called once per extracted file, after it is complete and its CRC-32 checked.
    // entryName: the entry's relative path, backslash separated and free of "..",
    // drive designations and leading separators, so it can be joined onto a drive
    // path as it is. extractedFile: the local path of the file just written.
    // A non-zero answer stops the extraction and becomes its result.
    [[nodiscard]] virtual Result on_file_extracted(const std::wstring& entryName,
                                                   const std::wstring& extractedFile) = 0;

    // Bytes written so far in this extraction; called after every block of at
    // most kExtractBlockSize bytes reaches the disk.
    virtual void on_unzip_progress(std::uint64_t bytesWritten) = 0;
};

// One per extraction: where results go and how many bytes were written.
struct ExtractionContext {
    explicit ExtractionContext(ExtractionSink& s) : sink(s) {}
    ExtractionSink& sink;            // not owned
    std::uint64_t bytesWritten = 0;  // uncompressed bytes written to disk
};

inline constexpr std::size_t kExtractBlockSize = 65536;

// Extracts every file entry of the archive into the target folder (a local path;
// backslashes count as separators), handing each file to the sink as soon as it
// is complete. Answers 0, 2 when the service's cancellation flag was found set
// between entries, 11 for a damaged or unsupported archive (nothing more is
// written; files already handed over stay), or the sink's non-zero answer.
// Throws only what the sink throws or when memory runs out.
[[nodiscard]] Result extract(const std::wstring& archivePath, const std::wstring& targetFolder,
                             ExtractionContext& context);

// The sum of the uncompressed sizes recorded for the archive's entries; the sum
// up to the first damaged entry, and 0 when the archive cannot be opened.
std::uint64_t uncompressed_size(const std::wstring& archivePath);

}  // namespace MapsService
