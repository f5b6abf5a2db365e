#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "service/zip/extract.h"

namespace atlasync::testing {

namespace fs = std::filesystem;

// Runs a program found on PATH, in workingDirectory when given; its exit status.
int run_tool(const std::vector<std::string>& args, const fs::path& workingDirectory = {});

// Writes one of the hand-laid archives of make_test_archive.py.
fs::path make_test_archive(const fs::path& folder, const std::string& kind,
                           const std::string& name = {});

// A folder of files with every shape extraction has to get right: empty,
// exactly one block, several blocks, nested folders, a UTF-8 name.
void write_sample_tree(const fs::path& root);

// Relative path ("/" separated) -> content of every regular file below root.
std::map<std::string, std::string> read_tree(const fs::path& root);

// Everything an extraction handed to its sink, in order.
class RecordingSink : public MapsService::ExtractionSink {
public:
    struct Extracted {
        std::wstring entryName;
        std::wstring path;
        std::string content;  // the file's content when it was handed over
    };

    MapsService::Result on_file_extracted(const std::wstring& entryName,
                                          const std::wstring& extractedFile) override;
    void on_unzip_progress(std::uint64_t bytesWritten) override;

    std::vector<Extracted> files;
    std::vector<std::uint64_t> progress;
    // Answer given for the file with this index (0-based); 0 for the others.
    std::size_t failAt = SIZE_MAX;
    MapsService::Result failCode = 0;
    // Sets the service's cancellation flag at the first progress report.
    bool cancelOnFirstProgress = false;
};

// Extracts with our code; the result.
MapsService::Result extract_into(const fs::path& archive, const fs::path& target,
                                 RecordingSink& sink, std::uint64_t* bytes = nullptr);

}  // namespace atlasync::testing
