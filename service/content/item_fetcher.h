#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "service/content/kept_archives.h"
#include "service/core/background_job.h"
#include "service/core/result_codes.h"
#include "service/protocol/server_record.h"
#include "service/protocol/transfer_pool.h"

namespace MapsService {

class FileCurlDownloader;

// What fetching an item left for placing it.
struct FetchedItem {
    Result result = kResultOk;
    std::wstring localFile;      // the file on the PC; removed by whoever ends with it
    std::uint64_t received = 0;  // bytes of the last fetch
    int fetches = 0;             // a file that arrives damaged is fetched once more
    std::string cause;           // of a failed transfer, as it noted it; empty for none
};

// The package's side of its fetches, told and asked on the fetching thread.
class FetchObserver {
public:
    virtual ~FetchObserver() = default;
    // An item's first fetch begins; packageBytes: the package's bytes fetched so far.
    virtual void fetch_started(const URLInfo& item, std::uint64_t packageBytes) = 0;
    // Never less for an item than shown before, also when it is fetched again.
    virtual void fetch_progress(const URLInfo& item, std::uint64_t itemBytes,
                                std::uint64_t packageBytes) = 0;
    // False ends every fetch (the drive went away).
    virtual bool may_fetch() = 0;
};

// Fetches a package's items on a thread of its own, several at once over
// kept-alive connections, so that a link's latency hides behind the bytes of
// the fetches in flight. Items start in their order, each into a folder of its
// own, while their bytes (by the catalog's sizes) fit the limits below; the
// caller takes them in order. A file whose MD5 is not the catalog's is
// fetched once more.
class ItemFetcher {
public:
    // Another fetch starts while those in flight have fewer bytes than this
    // still to come: a link's bytes in one round trip (2 MB at 20 MB/s and
    // 100 ms) with room to spare, about three region archives. A count alone would not do: a
    // map's city indexes of a few kilobytes each would leave the link idle
    // for a round trip apiece.
    static constexpr std::uint64_t kBytesInFlight = 4 << 20;
    // An item of at most this many bytes (by the catalog) starts whatever the
    // fetches in flight still have to come: it costs the link a moment but
    // waits a round trip, and a map's city indexes and voices come last, where
    // their round trips in turn would follow the last region's bytes.
    static constexpr std::uint64_t kSmallItem = 64 << 10;
    // Connections at most, however small the items. A map's city indexes, a
    // few hundred bytes each, come last: 60 of them, 16 at a time, left a 100 ms link
    // idle for two round trips after the last region's bytes; 32 at a time hide
    // behind them.
    static constexpr std::size_t kMostInFlight = 32;
    // Items ahead at most, whatever sizes the catalog gives (none, or too
    // small); four times the connections: at 64, the voices after a map's
    // city indexes waited, one round trip each, for its last regions to be placed.
    static constexpr std::size_t kMostAhead = 128;
    // Items fetched ahead of the one to place next (in flight, or waiting to
    // be taken) carry at most this many bytes: what the PC holds besides it.
    static constexpr std::uint64_t kBytesAhead = 16 << 20;

    // Room a package of these items takes in the PC's temporary folder at
    // most: the largest item with its unpacked files, and the items ahead.
    static std::uint64_t most_bytes_held(const std::vector<URLInfo>& items);

    // Item i goes into the folder `folder`/i, made and removed here.
    // Archives kept by a run cut short are taken from `kept` instead of
    // fetched, and those fetched whole but not taken when the fetcher stops
    // go there. packageBytes: what the package counted as fetched before.
    ItemFetcher(const std::vector<URLInfo>& items, std::wstring folder, const KeptArchives& kept,
                FetchObserver& observer, std::uint64_t packageBytes);
    // Stops, as stop() does.
    ~ItemFetcher();
    ItemFetcher(const ItemFetcher&) = delete;
    ItemFetcher& operator=(const ItemFetcher&) = delete;

    // Waits for the item's fetch; items are taken in order, each once.
    FetchedItem take(std::size_t index);
    // Whether take() would answer at once.
    bool fetched(std::size_t index);
    // The items up to this one are placed and their files gone: room for more.
    void release(std::size_t index);
    // Fetches a taken item once more, before any other, and waits for it.
    FetchedItem fetch_again(std::size_t index);
    // The fetches go on for a package whose items begin with this fetcher's,
    // those under way too: its `items` (to outlive the fetcher) and
    // `observer` stand for those given from then on, the observer hears of
    // each item begun so far as begun now, and `packageBytes` counts what the
    // package fetched before. False, and nothing changed, when the items
    // begin otherwise, when a fetch failed (a cancel, a drive lost, the
    // server) or when the fetcher stopped.
    [[nodiscard]] bool take_over(const std::vector<URLInfo>& items, FetchObserver& observer,
                                 std::uint64_t packageBytes);
    // Starts no further item and waits until the fetches under way end, for
    // `most` at the longest, and no longer once none of them received a byte
    // for `quiet`: a server that holds an answer, or trickles it, must not
    // hold the caller. stop() follows.
    void settle(std::chrono::milliseconds quiet, std::chrono::milliseconds most);
    // Ends every fetch and waits for the thread; the archives fetched whole
    // and not taken are kept, other files go. Nothing may be taken afterwards.
    void stop();
    // The package's bytes fetched: those before, and each item's last fetch.
    std::uint64_t package_bytes() const { return m_packageBytes; }

private:
    enum class State { Waiting, Fetching, Fetched, Taken };
    struct Slot {
        State state = State::Waiting;
        FetchedItem fetched;
    };
    class Fetch;
    // A take_over() the fetching thread answers.
    struct TakeOver {
        const std::vector<URLInfo>* items;
        FetchObserver* observer;
        std::uint64_t packageBytes;
        std::optional<bool> taken;
    };

    // The fetching thread's loop, until stop().
    void run();
    // Whether the next item may start now; under the lock.
    bool may_start() const;
    // Catalog bytes the fetches in flight have still to receive.
    std::uint64_t bytes_to_come() const;
    void start(std::size_t index);
    // On the fetching thread, between two looks at the network.
    void hand_over(TakeOver& request);
    // m_sizesBefore of m_items.
    void count_sizes();
    std::wstring folder_of(std::size_t index) const;
    // Takes the item's archive from the keep; false when it has none that fits.
    bool start_kept(std::size_t index);
    void finish(Fetch& fetch, Result result, const std::string& cause);
    void complete(std::size_t index, FetchedItem fetched);
    // Tells the fetching thread that the caller changed something; under no lock.
    void wake();
    void progress(Fetch& fetch, std::uint64_t bytes);
    bool may_go_on();
    // The fetching thread ended without fetching the item: the job's result.
    Result failure();

    // Changed by the fetching thread alone (hand_over), which alone reads them.
    const std::vector<URLInfo>* m_items;
    FetchObserver* m_observer;
    std::vector<std::uint64_t> m_sizesBefore;  // catalog bytes of the items before each
    const std::wstring m_folder;
    const KeptArchives& m_kept;
    std::atomic<std::uint64_t> m_packageBytes;

    // Shared with the fetching thread.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    std::size_t m_released = 0;           // items before this one are placed
    std::optional<std::size_t> m_again;   // a taken item to fetch once more
    std::atomic<bool> m_stopping{false};  // also asked by the transfers
    bool m_ended = false;                 // the fetching thread is through
    bool m_settling = false;              // no item starts any more
    std::optional<Result> m_failure;      // its job's result, once collected
    TakeOver* m_takeOver = nullptr;       // asked and not yet answered

    // The fetching thread's own.
    std::vector<std::unique_ptr<Fetch>> m_fetches;  // by item; null when none runs
    std::vector<std::uint64_t> m_current;           // bytes of each item's last fetch
    std::vector<std::uint64_t> m_shown;             // most each item's messages showed
    std::vector<int> m_attempts;                    // fetches of each item
    std::size_t m_next = 0;                         // the next item to start

    TransferPool m_pool;  // used by the fetching thread; woken by any
    BackgroundJob m_job;  // last: its thread uses everything above
};

}  // namespace MapsService
