#include "ui/messaging/progress_observer.h"

#include "service/core/trace.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

using namespace MapsService;

namespace {

// The rate between two readings, when both bytes and time moved forward.
std::optional<double> rate(std::uint64_t previous, std::uint64_t now, std::uint32_t previousTick,
                           std::uint32_t tick, const char* traceFormat) {
    if (now <= previous || tick == previousTick) {
        return std::nullopt;
    }
    const std::uint64_t bytes = now - previous;
    const std::uint32_t milliseconds = tick - previousTick;
    TraceDebug(traceFormat, static_cast<int>(bytes), static_cast<int>(milliseconds));
    return static_cast<double>(bytes) / static_cast<double>(milliseconds);
}

}  // namespace

CProgressObserver::CProgressObserver(CMapsMessageThread& pump, MachineView& machine)
    : CPhoneMsgNfyItem(pump), m_machine(machine) {}

void CProgressObserver::on_message(const Message& message, std::uint32_t tick) {
    const ProgressItem item{message.kind,     message.result, message.id,       message.bytes1,
                            message.percent1, message.bytes2, message.percent2, tick};
    switch (message.type) {
        case MSG_DOWNLOAD_PROGRESS:
            on_download(item);
            break;
        case MSG_UNZIP_PROGRESS:
            on_unzip(item);
            break;
        case MSG_DELETE_PROGRESS:
            on_delete(item);
            break;
        case MSG_INSTALL_PROGRESS:
            on_install(item);
            break;
        case MSG_INSTALL_USER_ACTION_NEEDED:
            m_machine.dispatch_signal(SIG_INSTALL_USER_ACTION);
            break;
        default:
            break;
    }
}

void CProgressObserver::finish(ProgressRecord& record, Result result) {
    record.result = result;
    record.state = result == kResultOk ? PhaseState::FinishedWell : PhaseState::FinishedWithError;
}

void CProgressObserver::on_download(const ProgressItem& item) {
    switch (item.kind) {
        case PACKAGE_STARTED:
            m_download = ProgressRecord{item.bytes1, 0, PhaseState::Running, kResultOk};
            m_unzip = ProgressRecord{item.bytes2, 0, PhaseState::Running, kResultOk};
            m_downloadRateBase = 0;
            m_unzipRates.add(kUnzipSeedRate);
            break;
        case PACKAGE_FINISHED:
            finish(m_download, item.result);
            finish(m_unzip, item.result);
            break;
        case ITEM_STARTED:
            m_itemJustStarted = true;
            break;
        case ITEM_FINISHED:
            if (item.result == kResultOk) {
                m_machine.remove_region_id(static_cast<std::uint32_t>(item.id));
            }
            break;
        case ITEM_PROGRESS: {
            const std::uint64_t done = item.bytes2;
            if (done < m_downloadRateBase) {
                m_downloadRateBase = done;  // counting restarted; measure from here
            }
            if (m_lastDownloadTick && done != m_downloadRateBase &&
                item.tick != *m_lastDownloadTick) {
                if (!m_itemJustStarted) {
                    if (const auto r = rate(m_downloadRateBase, done, *m_lastDownloadTick,
                                            item.tick, "~DownloadProgress: %d Bytes in %d ms")) {
                        m_downloadRates.add(*r);
                    }
                }
                m_downloadRateBase = done;
                m_itemJustStarted = false;
            }
            m_download.done = done;
            break;
        }
        default:
            break;
    }
    // An item finishes after it is unpacked, while the next one may be
    // downloading: its finish is no point of that download's clock.
    if (item.kind != ITEM_FINISHED) {
        m_lastDownloadTick = item.tick;
    }
    if (item.kind != ITEM_STARTED && item.kind != ITEM_FINISHED) {
        m_machine.dispatch_signal(SIG_DOWNLOAD_PROGRESS);
    }
}

void CProgressObserver::on_unzip(const ProgressItem& item) {
    if (item.kind == ITEM_PROGRESS) {
        const std::uint64_t done = item.bytes2;
        m_unzipInProgress = true;
        if (m_lastUnzipTick) {
            if (const auto r = rate(m_unzip.done, done, *m_lastUnzipTick, item.tick,
                                    "~UnzipProgress: %d Bytes in %d ms")) {
                m_unzipRates.add(*r);
            }
        }
        m_unzip.done = done;
        m_machine.dispatch_signal(SIG_DOWNLOAD_PROGRESS);
    } else if (item.kind == ITEM_FINISHED) {
        m_unzipInProgress = false;
    }
    m_lastUnzipTick = item.tick;
}

void CProgressObserver::track_phase(ProgressRecord& record, const ProgressItem& item) {
    switch (item.kind) {
        case PACKAGE_STARTED:
            record = ProgressRecord{item.bytes1, 0, PhaseState::Running, kResultOk};
            break;
        case ITEM_PROGRESS:
            record.done = item.bytes1;
            break;
        case PACKAGE_FINISHED:
            finish(record, item.result);
            break;
        default:
            break;
    }
}

void CProgressObserver::on_delete(const ProgressItem& item) {
    m_unzipInProgress = false;
    track_phase(m_delete, item);
    m_machine.dispatch_signal(SIG_DELETE_PROGRESS);
}

void CProgressObserver::on_install(const ProgressItem& item) {
    m_unzipInProgress = false;
    track_phase(m_install, item);
    if (item.kind == PACKAGE_STARTED) {
        m_machine.dispatch_signal(SIG_INSTALL_STARTED);
    }
    m_machine.dispatch_signal(SIG_INSTALL_PROGRESS);
}

std::optional<std::uint64_t> CProgressObserver::remaining(const ProgressRecord& record,
                                                          const RateEstimator& rates) {
    if (record.done >= record.total) {
        return 0;
    }
    return rates.remaining_milliseconds(record.total - record.done);
}

std::optional<std::uint64_t> CProgressObserver::download_remaining() const {
    return remaining(m_download, m_downloadRates);
}

std::optional<std::uint64_t> CProgressObserver::unzip_remaining() const {
    return remaining(m_unzip, m_unzipRates);
}

}  // namespace atlasync::ui
