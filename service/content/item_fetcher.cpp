#include "service/content/item_fetcher.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "service/content/content_text.h"
#include "service/content/download_package.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/local_disk.h"
#include "service/protocol/downloader.h"
#include "service/protocol/file_curl_downloader.h"

namespace MapsService {

namespace {

// How long the fetching thread waits on the network before it looks at what
// the caller asked meanwhile; a wake-up ends the wait earlier.
constexpr std::chrono::milliseconds kNetworkWait{200};

// A server's sizes are not to be trusted: a sum of them must not wrap.
std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

}  // namespace

// One transfer of an item, and the target its progress goes to.
class ItemFetcher::Fetch : public TransferTarget {
public:
    Fetch(ItemFetcher& owner, std::size_t item)
        : m_owner(owner), index(item), downloader((*owner.m_items)[item].url, this) {}

    void progress(std::uint64_t currentBytes) override { m_owner.progress(*this, currentBytes); }
    bool may_continue() override { return m_owner.may_go_on(); }

private:
    ItemFetcher& m_owner;

public:
    const std::size_t index;
    FileCurlDownloader downloader;
};

std::uint64_t ItemFetcher::most_bytes_held(const std::vector<URLInfo>& items) {
    std::uint64_t largest = 0;
    std::uint64_t archives = 0;
    for (const URLInfo& item : items) {
        largest = std::max(largest, saturating_sum(item.byteSize, item.contentSize));
        archives = saturating_sum(archives, item.byteSize);
    }
    return saturating_sum(largest, std::min(archives, kBytesAhead));
}

ItemFetcher::ItemFetcher(const std::vector<URLInfo>& items, std::wstring folder,
                         const KeptArchives& kept, FetchObserver& observer,
                         std::uint64_t packageBytes)
    : m_items(&items),
      m_observer(&observer),
      m_sizesBefore(items.size() + 1, 0),
      m_folder(std::move(folder)),
      m_kept(kept),
      m_packageBytes(packageBytes),
      m_slots(items.size()),
      m_fetches(items.size()),
      m_current(items.size(), 0),
      m_shown(items.size(), 0),
      m_attempts(items.size(), 0) {
    count_sizes();
    m_job.start([this] {
        // Whatever ends the loop, a caller waiting for an item must hear of it.
        struct Ended {
            ItemFetcher& fetcher;
            ~Ended() {
                const std::lock_guard lock(fetcher.m_mutex);
                fetcher.m_ended = true;
                fetcher.m_changed.notify_all();
            }
        } ended{*this};
        run();
        return kResultOk;
    });
}

void ItemFetcher::count_sizes() {
    const std::vector<URLInfo>& items = *m_items;
    m_sizesBefore.assign(items.size() + 1, 0);
    for (std::size_t index = 0; index < items.size(); ++index) {
        m_sizesBefore[index + 1] = saturating_sum(m_sizesBefore[index], items[index].byteSize);
    }
}

ItemFetcher::~ItemFetcher() {
    stop();
}

void ItemFetcher::wake() {
    m_changed.notify_all();
    m_pool.wake();
}

bool ItemFetcher::may_go_on() {
    return !m_stopping && m_observer->may_fetch();
}

void ItemFetcher::run() {
    for (;;) {
        std::optional<std::size_t> again;
        TakeOver* takeOver = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                return m_stopping || m_again || m_takeOver || m_pool.size() > 0 || may_start();
            });
            if (m_stopping) {
                break;
            }
            again = std::exchange(m_again, std::nullopt);
            takeOver = std::exchange(m_takeOver, nullptr);
        }
        if (takeOver) {
            hand_over(*takeOver);
        }
        if (again) {
            start(*again);
        }
        // One at a time: each start counts towards the limits of the next.
        for (;;) {
            std::size_t next = 0;
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopping || !may_start()) {
                    break;
                }
                next = m_next++;
            }
            start(next);
        }
        for (const TransferPool::Ended& ended : m_pool.run(kNetworkWait)) {
            const auto fetch = std::find_if(m_fetches.begin(), m_fetches.end(), [&](auto& f) {
                return f && &f->downloader == ended.transfer;
            });
            if (fetch != m_fetches.end()) {
                finish(**fetch, ended.result, ended.cause);
            }
        }
    }
    // Stopped: the transfers in flight end, and nothing fetched stays behind.
    for (std::unique_ptr<Fetch>& fetch : m_fetches) {
        if (fetch) {
            m_pool.remove(fetch->downloader);
            const std::wstring file = to_wide(fetch->downloader.target_path());
            fetch.reset();
            remove_work_file(file, L"partial download");
        }
    }
    const std::lock_guard lock(m_mutex);
    for (std::size_t index = 0; index < m_slots.size(); ++index) {
        Slot& slot = m_slots[index];
        if (slot.state != State::Fetched) {
            continue;
        }
        const std::filesystem::path file = to_narrow(slot.fetched.localFile);
        // Only what the next run can vouch for is worth keeping.
        const URLInfo& item = (*m_items)[index];
        const bool whole = slot.fetched.result == kResultOk && !item.checksum.empty() &&
                           file.filename() == KeptArchives::name_of(item.url);
        if (!whole || !m_kept.keep(file)) {
            remove_work_file(slot.fetched.localFile, L"downloaded file");
        }
        slot.state = State::Taken;
    }
}

bool ItemFetcher::start_kept(std::size_t index) {
    const URLInfo& item = (*m_items)[index];
    if (!is_archive_type(expected_content_type(item.url))) {
        return false;
    }
    const std::string name = KeptArchives::name_of(item.url);
    const std::filesystem::path folder = to_narrow(folder_of(index));
    const std::filesystem::path target = folder / name;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!m_kept.take(item.url, to_narrow(to_lower(item.checksum)), target)) {
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(target, error);
    FetchedItem fetched;
    fetched.localFile = to_wide(target.string());
    fetched.received = error ? 0 : size;
    fetched.fetches = ++m_attempts[index];
    m_observer->fetch_started(item, m_packageBytes);
    m_packageBytes += fetched.received;
    m_current[index] = fetched.received;
    m_shown[index] = fetched.received;
    m_observer->fetch_progress(item, fetched.received, m_packageBytes);
    complete(index, std::move(fetched));
    return true;
}

bool ItemFetcher::may_start() const {
    if (m_settling || m_next >= m_items->size() || m_pool.size() >= kMostInFlight ||
        m_next >= m_released + kMostAhead) {
        return false;
    }
    // The item to place next never waits for room.
    if (m_next == m_released) {
        return true;
    }
    const std::uint64_t size = (*m_items)[m_next].byteSize;
    return (bytes_to_come() < kBytesInFlight || (size > 0 && size <= kSmallItem)) &&
           m_sizesBefore[m_next + 1] - m_sizesBefore[m_released] <= kBytesAhead;
}

std::uint64_t ItemFetcher::bytes_to_come() const {
    // Counted by what is still to come, so that the next fetch's round trip
    // overlaps the last bytes of those before it instead of following them.
    std::uint64_t left = 0;
    for (std::size_t index = m_released; index < m_next; ++index) {
        if (m_fetches[index]) {
            const std::uint64_t size = (*m_items)[index].byteSize;
            left += size - std::min(size, m_current[index]);
        }
    }
    return left;
}

std::wstring ItemFetcher::folder_of(std::size_t index) const {
    // A native path: the downloader writes there as it is.
    return m_folder + L"/" + std::to_wstring(index);
}

void ItemFetcher::start(std::size_t index) {
    const URLInfo& item = (*m_items)[index];
    if (m_attempts[index] == 0 && start_kept(index)) {
        return;
    }
    if (m_attempts[index] == 0) {
        m_observer->fetch_started(item, m_packageBytes);
    }
    ++m_attempts[index];
    {
        const std::lock_guard lock(m_mutex);
        m_slots[index].state = State::Fetching;
    }
    m_packageBytes -= std::exchange(m_current[index], 0);
    m_fetches[index] = std::make_unique<Fetch>(*this, index);
    Fetch& fetch = *m_fetches[index];
    std::error_code error;
    std::filesystem::create_directories(to_narrow(folder_of(index)), error);
    const Result opened = fetch.downloader.open(folder_of(index), expected_content_type(item.url));
    if (opened != kResultOk) {
        finish(fetch, opened, std::string());
        return;
    }
    m_pool.add(fetch.downloader);
}

void ItemFetcher::progress(Fetch& fetch, std::uint64_t bytes) {
    const std::size_t index = fetch.index;
    m_packageBytes += bytes - m_current[index];
    m_current[index] = bytes;
    // A second fetch of a damaged file counts from 0 again; what was shown stays.
    m_shown[index] = std::max(m_shown[index], bytes);
    m_observer->fetch_progress((*m_items)[index], m_shown[index], m_packageBytes);
}

void ItemFetcher::finish(Fetch& fetch, Result result, const std::string& cause) {
    const std::size_t index = fetch.index;
    const URLInfo& item = (*m_items)[index];
    FetchedItem fetched;
    fetched.localFile = to_wide(fetch.downloader.target_path());
    fetched.received = fetch.downloader.bytes_received();
    fetched.fetches = m_attempts[index];
    m_packageBytes += fetched.received - m_current[index];
    m_current[index] = fetched.received;
    // Checked before a byte of the item reaches the drive.
    if (result == kResultOk && !item.checksum.empty() &&
        to_narrow(to_lower(item.checksum)) != fetch.downloader.checksum()) {
        TraceError(L"MD5 of %s does not match the catalog's %s", item.url.c_str(),
                   item.checksum.c_str());
        result = kResultCorruptArchive;
    }
    m_fetches[index].reset();
    if (result != kResultOk) {
        remove_work_file(fetched.localFile, L"partial download");
    } else if (is_archive_type(expected_content_type(item.url))) {
        // Named by its URL once whole: a run cut short keeps only such files
        // (KeptArchives), never one half written under the URL's own name.
        const std::filesystem::path file = to_narrow(fetched.localFile);
        const std::filesystem::path whole = file.parent_path() / KeptArchives::name_of(item.url);
        std::error_code error;
        std::filesystem::rename(file, whole, error);
        if (!error) {
            fetched.localFile = to_wide(whole.string());
        }
    }
    if (result == kResultCorruptArchive && fetched.fetches < 2) {
        TraceWarning(L"%s arrived damaged: fetching it once more", item.url.c_str());
        start(index);
        return;
    }
    fetched.result = result;
    fetched.cause = result != kResultOk ? cause : std::string();
    complete(index, std::move(fetched));
}

void ItemFetcher::complete(std::size_t index, FetchedItem fetched) {
    const std::lock_guard lock(m_mutex);
    m_slots[index].fetched = std::move(fetched);
    m_slots[index].state = State::Fetched;
    m_changed.notify_all();
}

Result ItemFetcher::failure() {
    if (!m_failure) {
        const Result collected = m_job.collect();
        m_failure = collected != kResultOk ? collected : kResultCancelled;
    }
    return *m_failure;
}

FetchedItem ItemFetcher::take(std::size_t index) {
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_slots[index].state == State::Fetched || m_ended; });
        if (m_slots[index].state == State::Fetched) {
            m_slots[index].state = State::Taken;
            return std::move(m_slots[index].fetched);
        }
    }
    FetchedItem failed;
    failed.result = failure();
    return failed;
}

bool ItemFetcher::fetched(std::size_t index) {
    const std::lock_guard lock(m_mutex);
    return index < m_slots.size() && m_slots[index].state == State::Fetched;
}

void ItemFetcher::release(std::size_t index) {
    std::error_code error;
    std::filesystem::remove(to_narrow(folder_of(index)), error);  // empty once placed
    {
        const std::lock_guard lock(m_mutex);
        m_released = std::max(m_released, index + 1);
    }
    wake();
}

FetchedItem ItemFetcher::fetch_again(std::size_t index) {
    {
        const std::lock_guard lock(m_mutex);
        m_slots[index].state = State::Waiting;
        m_again = index;
    }
    wake();
    return take(index);
}

bool ItemFetcher::take_over(const std::vector<URLInfo>& items, FetchObserver& observer,
                            std::uint64_t packageBytes) {
    TakeOver request{&items, &observer, packageBytes, std::nullopt};
    {
        const std::lock_guard lock(m_mutex);
        if (m_ended || m_stopping) {
            return false;
        }
        m_takeOver = &request;
    }
    wake();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return request.taken || m_ended; });
    m_takeOver = nullptr;  // unanswered when the thread ended first
    return request.taken.value_or(false);
}

void ItemFetcher::hand_over(TakeOver& request) {
    const std::vector<URLInfo>& items = *request.items;
    const auto same = [](const URLInfo& a, const URLInfo& b) {
        return a.url == b.url && a.checksum == b.checksum && a.byteSize == b.byteSize;
    };
    bool taken = items.size() >= m_items->size() &&
                 std::equal(m_items->begin(), m_items->end(), items.begin(), same);
    {
        const std::lock_guard lock(m_mutex);
        for (const Slot& slot : m_slots) {
            taken = taken && (slot.state != State::Fetched || slot.fetched.result == kResultOk);
        }
    }
    if (taken) {
        m_items = &items;
        m_observer = request.observer;
        count_sizes();
        m_fetches.resize(items.size());
        m_current.resize(items.size(), 0);
        m_shown.resize(items.size(), 0);
        m_attempts.resize(items.size(), 0);
        m_packageBytes += request.packageBytes;
        {
            const std::lock_guard lock(m_mutex);
            m_slots.resize(items.size());
            m_settling = false;
        }
        // Told before the caller takes the first item: each item's messages begin with its start.
        for (std::size_t index = 0; index < m_next; ++index) {
            if (m_attempts[index] > 0) {
                m_observer->fetch_started(items[index], m_packageBytes);
                m_observer->fetch_progress(items[index], m_shown[index], m_packageBytes);
            }
        }
    }
    const std::lock_guard lock(m_mutex);
    request.taken = taken;
    m_changed.notify_all();
}

void ItemFetcher::settle(std::chrono::milliseconds quiet, std::chrono::milliseconds most) {
    std::unique_lock lock(m_mutex);
    m_settling = true;
    // An item taken up is under way, also before its transfer exists.
    const auto inFlight = [&] {
        for (std::size_t index = 0; index < m_next; ++index) {
            if (m_slots[index].state == State::Waiting || m_slots[index].state == State::Fetching) {
                return true;
            }
        }
        return false;
    };
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t bytes = m_packageBytes;
    auto lastByte = start;
    while (!m_ended && inFlight()) {
        // Woken by every fetch that ends; bytes arriving are looked at now and then.
        m_changed.wait_for(lock, std::min(quiet, kNetworkWait));
        const auto now = std::chrono::steady_clock::now();
        if (m_packageBytes != bytes) {
            bytes = m_packageBytes;
            lastByte = now;
        }
        if (now - lastByte >= quiet || now - start >= most) {
            break;
        }
    }
}

void ItemFetcher::stop() {
    {
        // Under the lock: set between the thread's look and its wait, the
        // flag would go unseen and its wake-up lost.
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    if (!m_failure) {
        (void)failure();
    }
}

}  // namespace MapsService
