// Memory downloads from a loopback server: throughput per body size. A buffer
// that grew by copying quadratically would lose throughput as bodies grow.

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "service/core/text.h"
#include "service/protocol/memory_curl_downloader.h"

namespace {

class LoopbackServer {
public:
    LoopbackServer() {
        m_server.Get(R"(/body/(\d+))",
                     [](const httplib::Request& request, httplib::Response& response) {
                         const std::size_t size = std::stoul(request.matches[1]);
                         response.set_content(std::string(size, 'm'), "application/x-tlv");
                     });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LoopbackServer() {
        m_server.stop();
        m_thread.join();
    }
    std::wstring url(std::size_t size) const {
        return MapsService::to_wide("http://127.0.0.1:" + std::to_string(m_port) + "/body/" +
                                    std::to_string(size));
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};

void BM_MemoryDownload(benchmark::State& state) {
    static LoopbackServer server;
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        std::vector<std::uint8_t> buffer;
        MapsService::MemoryCurlDownloader downloader(server.url(size));
        if (downloader.Download(buffer, L"application/x-tlv") != MapsService::kResultOk ||
            buffer.size() != size) {
            state.SkipWithError("download failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_MemoryDownload)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->Arg(32 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
