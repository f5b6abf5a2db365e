// atlasync-tool unzip ARCHIVE DIR, atlasync-tool unzip-size ARCHIVE

#include <unistd.h>

#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "exit_codes/exit_codes.h"
#include "service/core/result_codes.h"
#include "service/core/text.h"
#include "service/facade/diagnostics.h"
#include "service/facade/maps_service.h"
#include "tools/command.h"
#include "tools/options.h"

namespace atlasync::tool {

namespace {

using MapsService::Result;

constexpr std::uint64_t kProgressStep = 16 * 1024 * 1024;

// The bytes written so far, on a terminal only.
class ProgressLine {
public:
    void show(std::uint64_t bytesWritten) {
        if (m_showProgress && bytesWritten >= m_nextReport) {
            std::fprintf(stderr, "\r%" PRIu64 " MiB written", bytesWritten / (1024 * 1024));
            m_nextReport = bytesWritten + kProgressStep;
        }
    }
    void end() const {
        if (m_showProgress && m_nextReport > 0) {
            std::fprintf(stderr, "\n");
        }
    }

private:
    bool m_showProgress = ::isatty(STDERR_FILENO) != 0;
    std::uint64_t m_nextReport = 0;
};

// Ctrl-C and SIGTERM cancel the extraction, which looks between entries. The
// cancel takes a lock, so it comes from a thread that waits for the signals
// rather than from a signal handler.
void cancel_on_interrupt() {
    static sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([] {
        int signal = 0;
        if (sigwait(&signals, &signal) == 0) {
            (void)MapsService::cancel_operation();
        }
    }).detach();
}

int run_unzip(const std::vector<std::string>& arguments) {
    std::vector<std::string> args;
    Options parser("unzip", "ARCHIVE DIR");
    parser.words(args, 2, 2);
    if (!parser.parse(arguments)) {
        return kExitUsage;
    }
    cancel_on_interrupt();
    ProgressLine progress;
    MapsService::ArchiveExtraction done;
    const Result result = MapsService::extract_archive(
        MapsService::to_wide(args[0]), MapsService::to_wide(args[1]),
        [&progress](std::uint64_t bytesWritten) { progress.show(bytesWritten); }, done);
    progress.end();
    std::printf("%" PRIu64 " files, %" PRIu64 " bytes extracted, result %d\n", done.files,
                done.bytesWritten, result);
    return exit_status_for(result);
}

int run_unzip_size(const std::vector<std::string>& arguments) {
    std::vector<std::string> args;
    Options parser("unzip-size", "ARCHIVE");
    parser.words(args, 1, 1);
    if (!parser.parse(arguments)) {
        return kExitUsage;
    }
    std::printf("%" PRIu64 "\n",
                MapsService::archive_uncompressed_size(MapsService::to_wide(args[0])));
    return 0;
}

const CommandRegistration kUnzip({"unzip", "ARCHIVE DIR",
                                  "extract a ZIP archive into DIR; the exit status is the result "
                                  "code (2: interrupted, 11: damaged archive)",
                                  run_unzip});
const CommandRegistration kUnzipSize({"unzip-size", "ARCHIVE",
                                      "print the sum of the uncompressed sizes of the entries",
                                      run_unzip_size});

}  // namespace

}  // namespace atlasync::tool
