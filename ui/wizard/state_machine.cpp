// The machine's life: construction, the modal run, the worker operations and
// the helpers its states share.

#include "ui/wizard/state_machine.h"

#include <QCoreApplication>
#include <QSettings>
#include <algorithm>
#include <functional>

#include "service/core/shared_mem.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/facade/maps_service.h"
#include "ui/messaging/program_folders.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

namespace {

using MapsService::is_success;
using MapsService::Result;

bool log_messages_enabled() {
    const QSettings profile(QStringLiteral("Velka"), QStringLiteral("Atlasync"));
    return profile.value(QStringLiteral("Settings/LogMessages"), 0).toInt() != 0;
}

}  // namespace

CStateMachine::CStateMachine(PageHost* host, WizardSettings settings)
    : QHsm(state(&CStateMachine::Initial)),
      m_host(host),
      m_settings(std::move(settings)),
      m_simulation(m_settings.simulationProfile),
      m_languages(CUILanguageManager::acquire()),
      m_languageRequested(m_settings.languagePage),
      m_progress(m_settings.clock) {
    set_trace_enabled(true);
    m_splashTimer.setSingleShot(true);
    QObject::connect(&m_splashTimer, &QTimer::timeout,
                     [this] { dispatch_signal(SIG_SPLASH_TIMEOUT); });
    m_phoneObserver = std::make_unique<CPhoneObserver>(m_pump, m_devices, *this);
    m_progressObserver = std::make_unique<CProgressObserver>(m_pump, *this);
    if (log_messages_enabled()) {
        m_messageLogger = std::make_unique<CPhoneMsgLogger>(m_pump, phone_msg_log_path());
    }
    m_worker.resume();
}

CStateMachine::~CStateMachine() {
    m_splashTimer.stop();
    // A run that ended early (an exception out of the host) leaves the machine
    // running. It stops the normal way first, so that leaving StRunning shuts
    // the service down; signals still queued then reach StStopped, which
    // ignores them, instead of states whose observers are gone.
    if (m_started && !m_stopped) {
        TransitionFromOutside(&CStateMachine::StStopped);
    }
    shut_down_service();
    m_worker.stop();
    m_pump.stop();
    flush_posted_signals();
}

int CStateMachine::run() {
    for (;;) {
        std::unique_ptr<MapsService::CSharedMem> guard;
        try {
            guard = std::make_unique<MapsService::CSharedMem>(m_settings.instanceGuardName);
        } catch (const std::exception& error) {
            MapsService::TraceError("CStateMachine: no single-instance guard: %s", error.what());
            m_host->report_start_failure(error.what());
            m_outcome = MapsService::kResultFailed;
            return m_outcome;
        }
        if (guard->increment() == 1) {
            m_instanceGuard = std::move(guard);
            break;
        }
        guard.reset();  // released before the user decides
        if (!m_host->retry_after_other_instance()) {
            return m_outcome;
        }
    }
    QEventLoop loop;
    m_loop = &loop;
    start();
    if (!m_splashFinished) {
        loop.exec();
    }
    if (!m_stopped) {
        m_host->open_main_window();
        main_window_ready();
    }
    if (!m_stopped) {
        loop.exec();
    }
    m_loop = nullptr;
    m_instanceGuard.reset();
    return m_outcome;
}

void CStateMachine::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    Initialize(HsmEvent{});
}

void CStateMachine::dispatch_signal(std::uint16_t signal) {
    Dispatch(HsmEvent{signal, 0});
}

void CStateMachine::phones_changed() {
    dispatch_signal(SIG_PHONES_CHANGED);
    if (m_selectedPhone != 0 && m_phoneObserver->phone_map().count(m_selectedPhone) == 0) {
        m_selectedPhone = 0;
        dispatch_signal(SIG_SELECTED_PHONE_LOST);
    }
}

void CStateMachine::remove_region_id(std::uint32_t regionId) {
    const std::lock_guard lock(m_dataMutex);
    std::erase(m_regionIds, static_cast<std::int32_t>(regionId));
}

// Worker thread ---------------------------------------------------------------

void CStateMachine::post_to_worker(Function operation) {
    if (!m_worker.post(std::move(operation))) {
        MapsService::TraceError("CStateMachine: the worker has stopped; an operation is dropped");
    }
}

void CStateMachine::keep_failure_cause(Result result) {
    std::wstring cause = is_success(result) ? std::wstring() : MapsService::last_failure_cause();
    const std::lock_guard lock(m_dataMutex);
    m_failureCause = std::move(cause);
}

void CStateMachine::post_result(std::uint16_t signal) {
    m_pump.post_after_queued([this, signal] { dispatch_signal(signal); });
}

void CStateMachine::op_initialize() {
    const std::string root = !m_settings.serverRoot.empty()
                                 ? m_settings.serverRoot
                                 : m_simulation.read_string("ServerRoot");
    // A root that cannot be used is reported instead of quietly going to
    // the compiled-in server.
    Result chosen = MapsService::kResultOk;
    if (!root.empty()) {
        chosen = MapsService::set_server_root(MapsService::to_wide(root));
    }
    if (chosen == MapsService::kResultOk && !m_settings.caFile.empty()) {
        chosen = MapsService::set_ca_file(MapsService::to_wide(m_settings.caFile.string()));
    }
    if (chosen != MapsService::kResultOk) {
        keep_failure_cause(chosen);
        m_initResult = chosen;
        post_result(SIG_SERVICE_INIT_FAILED);
        return;
    }
    (void)MapsService::get_mapsapp_catalog();
    Result result = MapsService::initialize(0);
    if (is_success(result)) {
        m_serviceStarted = true;
        for (const std::filesystem::path& volume : m_settings.volumes) {
            result = MapsService::add_volume(MapsService::to_wide(volume.string()));
            if (result != MapsService::kResultOk) {
                MapsService::TraceError("volume %s could not be added: %d", volume.c_str(), result);
                break;
            }
        }
    }
    keep_failure_cause(result);
    m_initResult = result;
    if (!is_success(result)) {
        post_result(SIG_SERVICE_INIT_FAILED);
    }
}

void CStateMachine::op_select_drive(std::uint32_t driveId) {
    const Result result = MapsService::select_phone_drive(static_cast<std::int32_t>(driveId));
    m_mapsNeedUpdate = result == MapsService::kResultMapsNeedUpdate;
    keep_failure_cause(result);
    m_operationResult = result;
    post_result(SIG_DRIVE_SELECTED);
}

void CStateMachine::op_read_regions() {
    std::vector<std::int32_t> regions;
    std::vector<MapsService::VoiceInfo> voices;
    Result result = MapsService::GetRegionList(regions);
    if (is_success(result)) {
        result = MapsService::GetVoicesList(voices);
        if (is_success(result)) {
            const std::lock_guard lock(m_dataMutex);
            m_regionIds = std::move(regions);
            m_voices = std::move(voices);
        }
    }
    keep_failure_cause(result);
    m_operationResult = result;
    post_result(SIG_REGIONS_READ);
}

void CStateMachine::op_read_update_info() {
    MapsService::MapsUpdateInfo info;
    const Result result = MapsService::get_mapsapp_update_info(info);
    if (is_success(result)) {
        const std::lock_guard lock(m_dataMutex);
        m_updateVersion = info.newVersion;
        m_updateInfo = info;
    }
    m_updateInfoValid = is_success(result);
    keep_failure_cause(result);
    m_operationResult = result;
    post_result(SIG_APP_VERSIONS_READ);
}

void CStateMachine::op_read_download_size(std::vector<std::int32_t> regions,
                                          std::vector<MapsService::VoiceInfo> voices) {
    std::uint64_t size = 0;
    std::uint64_t unpacked = 0;
    std::vector<MapsService::DownloadItemInfo> items;
    const Result result = MapsService::get_download_size(regions, voices, size, unpacked, items);
    {
        const std::lock_guard lock(m_dataMutex);
        m_downloadSize = is_success(result) ? size : 0;
    }
    keep_failure_cause(result);
    m_operationResult = result;
    post_result(SIG_DOWNLOAD_SIZE_READ);
}

void CStateMachine::op_update_mapsapp(MapsService::MapsUpdateInfo info) {
    const Result result =
        m_cancelRequested ? MapsService::kResultCancelled : MapsService::update_mapsapp(info);
    keep_failure_cause(result);
    m_operationResult = result;
    post_result(SIG_APP_UPDATE_DONE);
}

void CStateMachine::op_update_map_data(std::vector<std::int32_t> regions,
                                       std::vector<MapsService::VoiceInfo> voices) {
    const bool clearFirst = m_simulation.read_int("MapsNeedUpdate", 0) != 0;
    const std::function<Result()> steps[] = {
        [&] { return clearFirst ? MapsService::delete_all_maps() : MapsService::kResultOk; },
        [&] { return clearFirst ? MapsService::delete_all_voices() : MapsService::kResultOk; },
        [] { return MapsService::update_maps_version(); },
        [&] { return MapsService::download(regions, voices); },
    };
    Result result = MapsService::kResultOk;
    for (const auto& step : steps) {
        result = m_cancelRequested ? MapsService::kResultCancelled : step();
        if (!is_success(result)) {
            break;
        }
    }
    keep_failure_cause(result);
    m_operationResult = m_cancelRequested && result != MapsService::kResultOk
                            ? MapsService::kResultCancelled
                            : result;
    post_result(SIG_MAP_UPDATE_DONE);
}

void CStateMachine::shut_down_service() {
    if (m_serviceShutDown) {
        return;
    }
    m_serviceShutDown = true;
    // Messages still on their way name phones and drives that finalising
    // releases: nobody reads them any more.
    m_pump.stop();
    m_messageLogger.reset();
    m_progressObserver.reset();
    m_phoneObserver.reset();
    post_to_worker([this] {
        if (m_serviceStarted) {
            (void)MapsService::cancel_operation();
        }
    });
    post_to_worker([this] {
        if (m_serviceStarted.exchange(false)) {
            (void)MapsService::finalize();
        }
    });
    m_worker.stop();
}

void CStateMachine::flush_posted_signals() {
    // Signals posted before the worker stopped may still wait at the gate;
    // they must not reach a destroyed machine.
    QCoreApplication::sendPostedEvents(nullptr, CCallGate::call_event_type());
}

// State helpers ----------------------------------------------------------------

void CStateMachine::choose_phone(std::uint32_t preferredPhone) {
    const CPhoneObserver::PhoneMap& phones = m_phoneObserver->phone_map();
    if (preferredPhone != 0 && phones.count(preferredPhone) != 0) {
        m_selectedPhone = preferredPhone;
        TransitionDynamic(&CStateMachine::StSelectPhoneDrive);
    } else if (phones.empty()) {
        TransitionDynamic(&CStateMachine::StNoPhoneConnected);
    } else if (phones.size() >= 2) {
        TransitionDynamic(&CStateMachine::StUserSelectPhone);
    } else {
        m_selectedPhone = phones.begin()->first;
        TransitionDynamic(&CStateMachine::StSelectPhoneDrive);
    }
}

void CStateMachine::show_error(TextId heading, StateHandler retryState, bool mapsIncomplete) {
    show_error(heading, m_operationResult.load(), retryState, mapsIncomplete);
}

void CStateMachine::show_error(TextId heading, Result code, StateHandler retryState,
                               bool mapsIncomplete) {
    m_errorHeading = heading;
    m_errorCode = code;
    take_failure_cause();
    m_retryState = retryState;
    m_errorMapsIncomplete = mapsIncomplete;
    TransitionDynamic(&CStateMachine::StShowServiceApiError);
}

void CStateMachine::take_failure_cause() {
    const std::lock_guard lock(m_dataMutex);
    m_errorCause = m_failureCause;
}

std::wstring CStateMachine::error_description() const {
    std::wstring description = error_text(m_errorCode);
    if (!m_errorCause.empty()) {
        // The cause comes from the network (a host name, a server's words):
        // shown as plain text inside the page's mark-up.
        std::wstring plain;
        for (const wchar_t c : m_errorCause) {
            switch (c) {
                case L'&':
                    plain += L"&amp;";
                    break;
                case L'<':
                    plain += L"&lt;";
                    break;
                case L'>':
                    plain += L"&gt;";
                    break;
                default:
                    plain += c;
            }
        }
        description += L"<br>" + format_text(text(kTextErrorDetails), {plain});
    }
    return description;
}

void CStateMachine::fill_phone_list() {
    std::vector<PhoneEntry> entries;
    for (const auto& [phoneId, drive] : m_phoneObserver->phone_map()) {
        MapsService::MessagePhone* phone = drive->message_phone();
        entries.push_back({phoneId, phone != nullptr ? m_devices.phone_name(*phone) : L""});
    }
    m_host->set_phone_list(entries);
}

MapsService::MessageDrive* CStateMachine::selected_drive() const {
    if (!m_phoneObserver) {
        return nullptr;
    }
    const auto found = m_phoneObserver->phone_map().find(m_selectedPhone);
    return found != m_phoneObserver->phone_map().end() ? found->second : nullptr;
}

std::wstring CStateMachine::selected_phone_name() const {
    MapsService::MessageDrive* drive = selected_drive();
    MapsService::MessagePhone* phone = drive != nullptr ? drive->message_phone() : nullptr;
    return phone != nullptr ? m_devices.phone_name(*phone) : std::wstring();
}

void CStateMachine::show_download_page(const std::wstring& header) {
    m_host->set_download_text({});
    m_host->set_download_progress(0);
    m_host->show_page(WizardPage::Download, header);
    m_progress.restart();
}

void CStateMachine::show_progress(const ProgressFigures& figures) {
    if (figures.text) {
        m_host->set_download_text(*figures.text);
    }
    m_host->set_download_progress(figures.percent);
}

void CStateMachine::leave_if_exit_confirmed() {
    if (m_exitConfirmed) {
        post_signal(*this, SIG_CANCEL_CONFIRMED);
    }
}

void CStateMachine::load_tutorial_picture() {
    for (const std::filesystem::path& folder : program_read_folders()) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / "tutorial.gif", error)) {
            m_host->load_tutorial_picture(folder / "tutorial.gif");
            return;
        }
    }
}

}  // namespace atlasync::ui
