#include "service/zip/extract.h"

#include <memory>

#include "service/core/local_path.h"
#include "service/core/room.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/zip/entry_name.h"
#include "service/zip/extracted_file.h"
#include "service/zip/zip_reader.h"

namespace MapsService {

namespace {

// Writes the data of the entry at the reader's cursor into the file, reporting
// every block once it is on disk; throws unless the data is complete and its
// CRC-32 matches.
template <typename File, typename Report>
void write_entry(ZipReader& reader, File& file, std::uint64_t& bytesWritten, char* buffer,
                 Report report) {
    reader.open_data();
    for (;;) {
        const std::size_t count = reader.read_data(buffer, kExtractBlockSize);
        if (count == 0) {
            break;
        }
        file.write(buffer, count);
        bytesWritten += count;
        report(bytesWritten);
    }
    reader.close_data();
}

// Calls handle(reader, entry name) for every file entry of the archive until
// it answers non-zero, checking the cancellation flag after each; answers as
// extract, with writeFailed for a file that could not be written.
template <typename Handle>
Result for_each_file_entry(const std::wstring& archivePath, Result writeFailed, Handle handle) {
    try {
        ZipReader reader(to_native_path(archivePath));
        Result result = kResultOk;
        for (std::uint32_t index = 0; index < reader.entry_count() && result == kResultOk;
             ++index) {
            if (index > 0) {
                reader.next_entry();
            }
            const std::optional<EntryName> name = parse_entry_name(reader.entry().storedName);
            if (!name) {
                throw ArchiveError("unsafe entry name " + reader.entry().storedName);
            }
            if (name->isDirectory) {
                continue;
            }
            result = handle(reader, *name);
            if (result == kResultOk && service_cancel_flag().is_set()) {
                result = kResultCancelled;
            }
        }
        return result;
    } catch (const ExtractWriteError& e) {
        TraceError(L"unzip of %s failed: %s", archivePath.c_str(), to_wide(e.what()).c_str());
        return writeFailed;
    } catch (const ArchiveError& e) {
        TraceError(L"unzip of %s failed: %s", archivePath.c_str(), to_wide(e.what()).c_str());
        return kResultCorruptArchive;
    }
}

// The hidden work name of a file while it is written beside its target.
std::string work_name_beside(const std::string& nativeFile) {
    const std::size_t slash = nativeFile.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return nativeFile.substr(0, start) + "." + nativeFile.substr(start) + ".part";
}

}  // namespace

Result extract(const std::wstring& archivePath, const std::wstring& targetFolder,
               ExtractionContext& context) {
    // An empty folder means the working folder, never the root of the file system.
    const std::string nativeFolder = targetFolder.empty() ? "." : to_native_path(targetFolder);
    const auto buffer = std::make_unique<char[]>(kExtractBlockSize);
    FolderMaker folders;
    WorkFile work(nativeFolder);
    const auto report = [&context](std::uint64_t bytes) { context.sink.on_unzip_progress(bytes); };
    // Work files that cannot be written count as damage, as they always have.
    return for_each_file_entry(
        archivePath, kResultCorruptArchive, [&](ZipReader& reader, const EntryName& name) {
            const std::string nativeFile = name.native_path_under(nativeFolder);
            folders.make_parents(nativeFile);
            work.restart();
            write_entry(reader, work, context.bytesWritten, buffer.get(), report);
            work.link_as(nativeFile);
            return context.sink.on_file_extracted(name.relative_path(), to_wide(nativeFile));
        });
}

Result extract_in_place(const std::wstring& archivePath, PlacingSink& sink,
                        std::uint64_t& bytesWritten) {
    bytesWritten = 0;
    const auto buffer = std::make_unique<char[]>(kExtractBlockSize);
    const auto report = [&sink](std::uint64_t bytes) { sink.on_unzip_progress(bytes); };
    // A drive that takes no more is full, as when a copy onto it fails.
    return for_each_file_entry(
        archivePath, kResultPhoneFull, [&](ZipReader& reader, const EntryName& name) {
            const std::uint64_t size = reader.entry().uncompressedSize;
            std::string nativeFile;
            const Result result = sink.target_of(name.relative_path(), size, nativeFile);
            if (result != kResultOk) {
                return result;
            }
            if (nativeFile.empty()) {
                bytesWritten += size;
                report(bytesWritten);
                return kResultOk;
            }
            ExtractedFile file(work_name_beside(nativeFile), nativeFile);
            write_entry(reader, file, bytesWritten, buffer.get(), report);
            file.commit();
            return kResultOk;
        });
}

std::uint64_t uncompressed_size(const std::wstring& archivePath, std::uint64_t unit) {
    std::uint64_t total = 0;
    try {
        ZipReader reader(to_native_path(archivePath));
        for (std::uint32_t index = 0; index < reader.entry_count(); ++index) {
            if (index > 0) {
                reader.next_entry();
            }
            total += allocated_bytes(reader.entry().uncompressedSize, unit);
        }
    } catch (const ArchiveError& e) {
        TraceError(L"size of %s not read: %s", archivePath.c_str(), to_wide(e.what()).c_str());
    }
    return total;
}

}  // namespace MapsService
