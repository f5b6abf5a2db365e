// Extraction of arbitrary bytes never crashes, never writes outside its target
// folder and reports exactly the bytes it wrote.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "service/core/text.h"
#include "service/zip/extract.h"

namespace {

namespace fs = std::filesystem;

// Made on first use; removed when the process ends, so that every replay of
// the corpus does not leave a folder behind.
class WorkFolder {
public:
    WorkFolder() {
        std::string pattern = (fs::temp_directory_path() / "atlasync-fuzz-unzip-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
    }
    ~WorkFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

const fs::path& work_folder() {
    static const WorkFolder folder;
    return folder.path();
}

class CheckingSink : public MapsService::ExtractionSink {
public:
    explicit CheckingSink(std::string target) : m_target(std::move(target)) {}

    MapsService::Result on_file_extracted(const std::wstring& entryName,
                                          const std::wstring& extractedFile) override {
        const std::string path = MapsService::to_narrow(extractedFile);
        if (entryName.empty() || path.rfind(m_target + "/", 0) != 0 ||
            path.find("/../") != std::string::npos ||
            !fs::is_regular_file(fs::symlink_status(path))) {
            std::abort();
        }
        return MapsService::kResultOk;
    }
    void on_unzip_progress(std::uint64_t bytesWritten) override { m_last = bytesWritten; }
    std::uint64_t last() const { return m_last; }

private:
    std::string m_target;
    std::uint64_t m_last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = work_folder() / "input.zip";
    const fs::path target = work_folder() / "target";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CheckingSink sink(target.string());
    MapsService::ExtractionContext context(sink);
    const MapsService::Result result = MapsService::extract(
        MapsService::to_wide(archive.string()), MapsService::to_wide(target.string()), context);
    if (context.bytesWritten != sink.last() ||
        (result != MapsService::kResultOk && result != MapsService::kResultCorruptArchive)) {
        std::abort();
    }
    (void)MapsService::uncompressed_size(MapsService::to_wide(archive.string()));
    // Nothing may appear beside the archive and the target folder.
    for (const auto& item : fs::directory_iterator(work_folder())) {
        if (item.path() != archive && item.path() != target) {
            std::abort();
        }
    }
    fs::remove_all(target);
    return 0;
}
