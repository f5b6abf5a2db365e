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

// Receives what an extraction straight onto a drive produces: it names the
// place of every entry before the entry is written.
class PlacingSink {
public:
    virtual ~PlacingSink() = default;

    // Where the entry goes: the native path of its file, or empty to leave the
    // entry out. size: the uncompressed size the archive records. A non-zero
    // answer stops the extraction and becomes its result.
    [[nodiscard]] virtual Result target_of(const std::wstring& entryName, std::uint64_t size,
                                           std::string& nativeFile) = 0;
    // As ExtractionSink's; entries left out count as written.
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

// Extracts every file entry of the archive to the file the sink names for it.
// Each is written under a temporary name beside its target (a dot name, which
// folder sizes leave out) and renamed over the target once complete and its
// CRC-32 checked, so a target is never seen half written. Answers as extract,
// but 14 when a file cannot be written (the drive is full or refuses it);
// bytesWritten counts the entries written and those left out.
[[nodiscard]] Result extract_in_place(const std::wstring& archivePath, PlacingSink& sink,
                                      std::uint64_t& bytesWritten);

// The sum of the uncompressed sizes recorded for the archive's entries, each
// rounded up to whole units of `unit` bytes where one is given; the sum up to
// the first damaged entry, and 0 when the archive cannot be opened.
std::uint64_t uncompressed_size(const std::wstring& archivePath, std::uint64_t unit = 0);

}  // namespace MapsService
