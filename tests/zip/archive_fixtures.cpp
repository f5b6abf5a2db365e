#include "tests/zip/archive_fixtures.h"

#include <random>
#include <stdexcept>

#include "service/core/sync.h"
#include "service/core/text.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {

int run_tool(const std::vector<std::string>& args, const fs::path& workingDirectory) {
    std::string ignored;
    return run_program("/usr/bin/env", args, &ignored, workingDirectory);
}

fs::path make_test_archive(const fs::path& folder, const std::string& kind,
                           const std::string& name) {
    const fs::path archive = folder / (kind + ".zip");
    std::vector<std::string> args{"python3", MAKE_TEST_ARCHIVE, archive.string(), kind};
    if (!name.empty()) {
        args.push_back(name);
    }
    if (run_tool(args) != 0) {
        throw std::runtime_error("make_test_archive.py failed for " + kind);
    }
    return archive;
}

void write_sample_tree(const fs::path& root) {
    std::mt19937 random(7);
    auto random_bytes = [&random](std::size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        return bytes;
    };
    write_file(root / "empty.dat", "");
    write_file(root / "readme.txt", "A small text that compresses well. " + std::string(500, 'x'));
    write_file(root / "cities/diskcache/00/one-block.tile", random_bytes(65536));
    write_file(root / "cities/diskcache/00/three-blocks.tile", random_bytes(3 * 65536 + 17));
    write_file(root / "cities/diskcache/ff/repetitive.tile", std::string(300000, 'm'));
    write_file(root / "voices/\xc3\xa9t\xc3\xa9/voice.dat", random_bytes(1000));
}

std::map<std::string, std::string> read_tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            tree[fs::relative(item.path(), root).generic_string()] = read_file(item.path());
        }
    }
    return tree;
}

MapsService::Result RecordingSink::on_file_extracted(const std::wstring& entryName,
                                                     const std::wstring& extractedFile) {
    files.push_back({entryName, extractedFile, read_file(MapsService::to_narrow(extractedFile))});
    return files.size() - 1 == failAt ? failCode : MapsService::kResultOk;
}

void RecordingSink::on_unzip_progress(std::uint64_t bytesWritten) {
    if (cancelOnFirstProgress && progress.empty()) {
        MapsService::service_cancel_flag().set();
    }
    progress.push_back(bytesWritten);
}

MapsService::Result extract_into(const fs::path& archive, const fs::path& target,
                                 RecordingSink& sink, std::uint64_t* bytes) {
    MapsService::ExtractionContext context(sink);
    const MapsService::Result result = MapsService::extract(
        MapsService::to_wide(archive.string()), MapsService::to_wide(target.string()), context);
    if (bytes != nullptr) {
        *bytes = context.bytesWritten;
    }
    return result;
}

}  // namespace atlasync::testing
