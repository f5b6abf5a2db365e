#include "service/protocol/transfer_pool.h"

#include <algorithm>
#include <new>
#include <utility>

#include "service/core/trace.h"
#include "service/protocol/file_curl_downloader.h"

namespace MapsService {

namespace {

// How often a paused transfer is asked whether it was cancelled, as a transfer
// on its own asks during its pause.
constexpr std::chrono::milliseconds kPausePoll{20};

}  // namespace

TransferPool::TransferPool() : m_multi(curl_multi_init()) {
    if (m_multi == nullptr) {
        throw std::bad_alloc();
    }
}

TransferPool::~TransferPool() {
    for (FileCurlDownloader* transfer : m_running) {
        curl_multi_remove_handle(m_multi, transfer->m_handle);
    }
    curl_multi_cleanup(m_multi);
}

void TransferPool::add(FileCurlDownloader& transfer) {
    transfer.m_pooled = true;
    transfer.begin_transfer();
    // A transfer that cannot even start (no handle) is reported by the next run.
    attempt(transfer, m_ended);
}

void TransferPool::remove(FileCurlDownloader& transfer) {
    const auto running = std::find(m_running.begin(), m_running.end(), &transfer);
    if (running != m_running.end()) {
        curl_multi_remove_handle(m_multi, transfer.m_handle);
        m_running.erase(running);
    }
    std::erase_if(m_paused, [&](const Paused& paused) { return paused.transfer == &transfer; });
    std::erase_if(m_ended, [&](const Ended& ended) { return ended.transfer == &transfer; });
}

void TransferPool::attempt(FileCurlDownloader& transfer, std::vector<Ended>& ended) {
    if (!transfer.start_attempt()) {
        attempt_ended(transfer, CURLE_FAILED_INIT, ended);
        return;
    }
    curl_easy_setopt(transfer.m_handle, CURLOPT_PRIVATE, &transfer);
    const CURLMcode added = curl_multi_add_handle(m_multi, transfer.m_handle);
    if (added != CURLM_OK) {
        TraceError("curl_multi_add_handle: %s", curl_multi_strerror(added));
        attempt_ended(transfer, CURLE_FAILED_INIT, ended);
        return;
    }
    m_running.push_back(&transfer);
}

void TransferPool::attempt_ended(FileCurlDownloader& transfer, CURLcode code,
                                 std::vector<Ended>& ended) {
    transfer.m_cause.clear();
    const std::optional<std::chrono::milliseconds> wait = transfer.attempt_ended(code);
    if (wait) {
        m_paused.push_back({&transfer, std::chrono::steady_clock::now() + *wait});
    } else {
        end(transfer, code, ended);
    }
}

void TransferPool::end(FileCurlDownloader& transfer, CURLcode code, std::vector<Ended>& ended) {
    const Result result = transfer.close(code);
    ended.push_back({&transfer, result, transfer.m_cause});
}

void TransferPool::resume_paused(std::vector<Ended>& ended) {
    const auto now = std::chrono::steady_clock::now();
    std::vector<Paused> paused = std::exchange(m_paused, {});
    for (const Paused& pause : paused) {
        FileCurlDownloader& transfer = *pause.transfer;
        if (transfer.abort_pause()) {
            transfer.m_cause.clear();
            end(transfer, CURLE_ABORTED_BY_CALLBACK, ended);
        } else if (now >= pause.until) {
            static_cast<CurlDownloader&>(transfer).prepare_retry();
            attempt(transfer, ended);
        } else {
            m_paused.push_back(pause);
        }
    }
}

std::vector<TransferPool::Ended> TransferPool::run(std::chrono::milliseconds wait) {
    std::vector<Ended> ended = std::exchange(m_ended, {});
    resume_paused(ended);
    if (!ended.empty()) {
        return ended;
    }
    if (!m_paused.empty()) {
        wait = std::min(wait, kPausePoll);
    }
    int active = 0;
    CURLMcode code = curl_multi_perform(m_multi, &active);
    // A transfer that ended in this first step must not wait out the poll: with
    // nothing else on the network, nothing would end it before `wait`.
    const bool endedAtOnce = collect_ended(ended);
    if (code == CURLM_OK && !endedAtOnce) {
        code = curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
        if (code == CURLM_OK) {
            code = curl_multi_perform(m_multi, &active);
        }
        (void)collect_ended(ended);
    }
    if (code != CURLM_OK) {
        TraceError("curl multi: %s", curl_multi_strerror(code));
    }
    return ended;
}

bool TransferPool::collect_ended(std::vector<Ended>& ended) {
    bool any = false;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        any = true;
        void* owner = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner);
        auto* transfer = static_cast<FileCurlDownloader*>(owner);
        const CURLcode result = message->data.result;
        curl_multi_remove_handle(m_multi, message->easy_handle);
        std::erase(m_running, transfer);
        attempt_ended(*transfer, result, ended);
    }
    return any;
}

void TransferPool::wake() {
    curl_multi_wakeup(m_multi);
}

}  // namespace MapsService
