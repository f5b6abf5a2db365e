#pragma once

#include <cstdint>
#include <optional>

#include "service/core/rate_estimator.h"
#include "service/core/result_codes.h"
#include "ui/messaging/device_view.h"
#include "ui/messaging/maps_message_thread.h"

namespace atlasync::ui {

using MapsService::RateEstimator;

enum class PhaseState : std::int32_t {
    Idle = 0,
    Running = 1,
    FinishedWell = 2,
    FinishedWithError = 3,
};

// The progress of one phase (delete, download, unzip, install).
struct ProgressRecord {
    std::uint64_t total = 0;  // bytes
    std::uint64_t done = 0;   // bytes
    PhaseState state = PhaseState::Idle;
    MapsService::Result result = MapsService::kResultOk;  // set when the phase finished
};

// One progress message as the observer reads it.
struct ProgressItem {
    std::int32_t kind;
    MapsService::Result result;
    std::int32_t id;
    std::uint64_t bytes1;
    double percent1;
    std::uint64_t bytes2;
    double percent2;
    std::uint32_t tick;  // delivery time, milliseconds
};

// Turns the service's progress messages into byte totals per phase and
// remaining-time estimates, and tells the state machine when they change.
class CProgressObserver : public CPhoneMsgNfyItem {
public:
    static constexpr std::size_t kDownloadRates = 20;
    static constexpr std::size_t kUnzipRates = 200;
    // Seeded at each package start so the unzip estimate exists from the outset.
    static constexpr double kUnzipSeedRate = 30000.0 / 100.0;

    CProgressObserver(CMapsMessageThread& pump, MachineView& machine);

    void on_message(const MapsService::Message& message, std::uint32_t tick) override;

    const ProgressRecord& delete_record() const { return m_delete; }
    const ProgressRecord& download_record() const { return m_download; }
    const ProgressRecord& unzip_record() const { return m_unzip; }
    const ProgressRecord& install_record() const { return m_install; }
    bool unzip_in_progress() const { return m_unzipInProgress; }

    // Milliseconds left, none without a measured rate; 0 once done reached total.
    std::optional<std::uint64_t> download_remaining() const;
    std::optional<std::uint64_t> unzip_remaining() const;

protected:
    virtual void on_download(const ProgressItem& item);
    virtual void on_unzip(const ProgressItem& item);
    virtual void on_delete(const ProgressItem& item);
    virtual void on_install(const ProgressItem& item);

private:
    static std::optional<std::uint64_t> remaining(const ProgressRecord& record,
                                                  const RateEstimator& rates);
    static void finish(ProgressRecord& record, MapsService::Result result);
    // A phase counted in bytes1: started with its total, then done, then finished.
    static void track_phase(ProgressRecord& record, const ProgressItem& item);

    MachineView& m_machine;
    ProgressRecord m_delete;
    ProgressRecord m_download;
    ProgressRecord m_unzip;
    ProgressRecord m_install;
    RateEstimator m_downloadRates{kDownloadRates};
    RateEstimator m_unzipRates{kUnzipRates};
    // Rates are measured between messages; the first message of a phase only
    // sets the starting point.
    std::optional<std::uint32_t> m_lastDownloadTick;
    std::optional<std::uint32_t> m_lastUnzipTick;
    std::uint64_t m_downloadRateBase = 0;  // package bytes at the last measured rate
    bool m_itemJustStarted = false;
    bool m_unzipInProgress = false;
};

}  // namespace atlasync::ui
