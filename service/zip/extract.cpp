#include "service/zip/extract.h"

#include <memory>

#include "service/core/local_path.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/zip/entry_name.h"
#include "service/zip/extracted_file.h"
#include "service/zip/zip_reader.h"

namespace MapsService {

namespace {

// Writes the data of the entry at the reader's cursor into the file, reporting
// every block once it is on disk. The file stays only when the data is
// complete and its CRC-32 matches.
void write_entry(ZipReader& reader, const std::string& nativeFile, ExtractionContext& context,
                 char* buffer) {
    reader.open_data();
    ExtractedFile file(nativeFile);
    for (;;) {
        const std::size_t count = reader.read_data(buffer, kExtractBlockSize);
        if (count == 0) {
            break;
        }
        file.write(buffer, count);
        context.bytesWritten += count;
        context.sink.on_unzip_progress(context.bytesWritten);
    }
    reader.close_data();
    file.commit();
}

}  // namespace

Result extract(const std::wstring& archivePath, const std::wstring& targetFolder,
               ExtractionContext& context) {
    // An empty folder means the working folder, never the root of the file system.
    const std::string nativeFolder = targetFolder.empty() ? "." : to_native_path(targetFolder);
    try {
        ZipReader reader(to_native_path(archivePath));
        const auto buffer = std::make_unique<char[]>(kExtractBlockSize);
        FolderMaker folders;
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
            const std::string nativeFile = name->native_path_under(nativeFolder);
            folders.make_parents(nativeFile);
            write_entry(reader, nativeFile, context, buffer.get());
            result = context.sink.on_file_extracted(name->relative_path(), to_wide(nativeFile));
            if (result == kResultOk && service_cancel_flag().is_set()) {
                result = kResultCancelled;
            }
        }
        return result;
    } catch (const ArchiveError& e) {
        TraceError(L"unzip of %s failed: %s", archivePath.c_str(), to_wide(e.what()).c_str());
        return kResultCorruptArchive;
    }
}

std::uint64_t uncompressed_size(const std::wstring& archivePath) {
    std::uint64_t total = 0;
    try {
        ZipReader reader(to_native_path(archivePath));
        for (std::uint32_t index = 0; index < reader.entry_count(); ++index) {
            if (index > 0) {
                reader.next_entry();
            }
            total += reader.entry().uncompressedSize;
        }
    } catch (const ArchiveError& e) {
        TraceError(L"size of %s not read: %s", archivePath.c_str(), to_wide(e.what()).c_str());
    }
    return total;
}

}  // namespace MapsService
