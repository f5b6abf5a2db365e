#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "service/core/result_codes.h"

namespace MapsService {

class FileCurlDownloader;

// Runs several file transfers at once over libcurl's multi interface, on the
// thread that calls run(). Connections stay alive between transfers, so a
// transfer added after another ended skips the connection set-up. Each
// transfer retries, resumes and is cancelled as it would be on its own: its
// pauses between attempts are kept here instead of slept.
class TransferPool {
public:
    TransferPool();
    // Ends the transfers still running, unreported.
    ~TransferPool();
    TransferPool(const TransferPool&) = delete;
    TransferPool& operator=(const TransferPool&) = delete;

    // Starts an opened transfer (FileCurlDownloader::open); it stays the
    // caller's and must outlive its time here.
    void add(FileCurlDownloader& transfer);
    // Ends a transfer before it is over; it is not reported.
    void remove(FileCurlDownloader& transfer);
    // Transfers added and not yet reported or removed.
    std::size_t size() const { return m_running.size() + m_paused.size() + m_ended.size(); }
    // Of those, the ones waiting out a pause before their next attempt.
    std::size_t paused() const { return m_paused.size(); }

    struct Ended {
        FileCurlDownloader* transfer;
        Result result;      // FileCurlDownloader::close
        std::string cause;  // the failure cause it met as it ended; empty for none
    };
    // Moves the transfers on, waiting at most `wait` for the network (or for
    // wake()), and answers those that are over. Several fail at once: each
    // one's cause comes with it, and none is noted as the operation's (note_failure_cause):
    // the caller tells it with the item it belongs to.
    std::vector<Ended> run(std::chrono::milliseconds wait);
    // Ends the wait of run() early; any thread may call it.
    void wake();

private:
    struct Paused {
        FileCurlDownloader* transfer;
        std::chrono::steady_clock::time_point until;
    };

    // Starts the transfer's next attempt, or ends it when it cannot start.
    void attempt(FileCurlDownloader& transfer, std::vector<Ended>& ended);
    // A transfer whose last attempt ended with this code: over, or paused.
    void attempt_ended(FileCurlDownloader& transfer, CURLcode code, std::vector<Ended>& ended);
    void resume_paused(std::vector<Ended>& ended);
    // Takes the transfers libcurl finished; whether there was any.
    bool collect_ended(std::vector<Ended>& ended);
    // Closes an ended transfer, with the cause its last attempt met.
    void end(FileCurlDownloader& transfer, CURLcode code, std::vector<Ended>& ended);

    CURLM* m_multi;
    std::vector<FileCurlDownloader*> m_running;  // their handles are in the multi handle
    std::vector<Paused> m_paused;
    std::vector<Ended> m_ended;  // over before the next run could report them
};

}  // namespace MapsService
