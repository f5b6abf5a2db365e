// atlasync-tool unzip ARCHIVE DIR, atlasync-tool unzip-size ARCHIVE

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/core/text.h"
#include "service/zip/extract.h"
#include "tools/command.h"

namespace atlasync::tool {

namespace {

using MapsService::Result;

// Counts what the extraction hands over; the files stay where they were written.
class CountingSink : public MapsService::ExtractionSink {
public:
    Result on_file_extracted(const std::wstring&, const std::wstring&) override {
        ++m_files;
        return MapsService::kResultOk;
    }
    void on_unzip_progress(std::uint64_t) override {}
    std::uint64_t files() const { return m_files; }

private:
    std::uint64_t m_files = 0;
};

int run_unzip(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: atlasync-tool unzip ARCHIVE DIR\n");
        return MapsService::kResultFailed;
    }
    CountingSink sink;
    MapsService::ExtractionContext context(sink);
    const Result result =
        MapsService::extract(MapsService::to_wide(args[0]), MapsService::to_wide(args[1]), context);
    std::printf("%" PRIu64 " files, %" PRIu64 " bytes extracted, result %d\n", sink.files(),
                context.bytesWritten, result);
    return result;
}

int run_unzip_size(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: atlasync-tool unzip-size ARCHIVE\n");
        return MapsService::kResultFailed;
    }
    std::printf("%" PRIu64 "\n", MapsService::uncompressed_size(MapsService::to_wide(args[0])));
    return 0;
}

const CommandRegistration kUnzip({"unzip", "ARCHIVE DIR",
                                  "extract a ZIP archive into DIR; the exit status is the result "
                                  "code (11: damaged archive)",
                                  run_unzip});
const CommandRegistration kUnzipSize({"unzip-size", "ARCHIVE",
                                      "print the sum of the uncompressed sizes of the entries",
                                      run_unzip_size});

}  // namespace

}  // namespace atlasync::tool
