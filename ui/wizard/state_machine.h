#pragma once

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/core/result_codes.h"
#include "service/facade/maps_service.h"
#include "ui/hsm/qhsm.h"
#include "ui/messaging/call_gate.h"
#include "ui/messaging/consumer_thread.h"
#include "ui/messaging/device_view.h"
#include "ui/messaging/maps_message_thread.h"
#include "ui/messaging/phone_msg_logger.h"
#include "ui/messaging/phone_observer.h"
#include "ui/messaging/progress_observer.h"
#include "ui/wizard/page_host.h"
#include "ui/wizard/progress_presenter.h"
#include "ui/wizard/service_device_view.h"
#include "ui/wizard/simulation_profile.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_settings.h"
#include "ui/wizard/wizard_signals.h"

namespace MapsService {
class CSharedMem;
}

namespace atlasync::ui {

class CUILanguageManager;

// The wizard's flow: decides which page the host shows, which service
// operation runs next on the worker thread, and how results, progress and
// errors become pages and texts. Lives on the user-interface thread, which must
// run a Qt event loop (a QCoreApplication is enough); one machine runs once.
class CStateMachine : public QHsm, public MachineView {
public:
    // The host must outlive the machine.
    CStateMachine(PageHost* host, WizardSettings settings = {});
    ~CStateMachine() override;

    // The whole modal run: the single-instance guard (while another instance
    // holds it the host is asked whether to retry; no ends the run at once),
    // the splash until its time is over, the main window, then the flow until
    // it stops. Answers outcome().
    int run();

    // Exit status of a finished run: 0 when the user left "Update was
    // successful!" or "There are no new updates for your phone!", the failing
    // result code when the run ended from an error page, 2 otherwise (cancelled,
    // or another instance kept the run from starting).
    int outcome() const { return m_outcome; }
    // What the service said went wrong underneath the last error page's code
    // ("cannot reach the map server ..."); empty when it said nothing.
    const std::wstring& failure_cause() const { return m_errorCause; }

    // The steps of run(), for hosts that drive their own event loop: enter
    // the running and splash states (once), and tell that the main window exists.
    void start();
    void main_window_ready() { dispatch_signal(SIG_MAIN_DIALOG_READY); }
    bool splash_finished() const { return m_splashFinished; }
    bool stopped() const { return m_stopped; }

    // The user asks for the language page; counts during the splash only (a
    // key on the splash, or the front end's --language option through
    // WizardSettings::languagePage).
    void request_language() { dispatch_signal(SIG_LANGUAGE_REQUEST); }

    // MachineView: the observers' and the host's way in; user-interface thread.
    void phones_changed() override;
    void set_initial_search_done() override { m_initialSearchDone = true; }
    void dispatch_signal(std::uint16_t signal) override;
    void remove_region_id(std::uint32_t regionId) override;

    std::uint32_t selected_phone() const { return m_selectedPhone; }
    bool initial_search_done() const { return m_initialSearchDone; }
    // Phones the wizard could use now.
    std::size_t phone_count() const {
        return m_phoneObserver ? m_phoneObserver->phone_map().size() : 0;
    }
    bool maps_need_update() const { return m_mapsNeedUpdate.load(); }
    MapsService::Result initialization_result() const { return m_initResult.load(); }

private:
    const char* state_name(StateHandler state) const override;

    QState Initial(const HsmEvent& e);
    QState StRunning(const HsmEvent& e);
    QState StStopped(const HsmEvent& e);
    QState StSplashScreen(const HsmEvent& e);
    QState StWaitingForMainDlg(const HsmEvent& e);
    QState StSelectLanguage(const HsmEvent& e);
    QState StSearchingForPhonesInitial(const HsmEvent& e);
    QState StSearchingForPhonesRetry(const HsmEvent& e);
    QState StNoPhoneConnected(const HsmEvent& e);
    QState StUserSelectPhone(const HsmEvent& e);
    QState StSelectPhoneDrive(const HsmEvent& e);
    QState StGetRegionList(const HsmEvent& e);
    QState StGetMapsAppVersions(const HsmEvent& e);
    QState StMapsAppUpdateAvailable(const HsmEvent& e);
    QState StUpdateMapsApp(const HsmEvent& e);
    QState StDownloadMapsApp(const HsmEvent& e);
    QState StTransferMapsApp(const HsmEvent& e);
    QState StInstallMapsApp(const HsmEvent& e);
    QState StMapDataUpdateAvailable(const HsmEvent& e);
    QState StUpdateMapData(const HsmEvent& e);
    QState StNoUpdates(const HsmEvent& e);
    QState StCompleted(const HsmEvent& e);
    QState StShowServiceApiError(const HsmEvent& e);
    // The two pages that end a run well: "Next" or closing them ends it with 0.
    QState final_page(const HsmEvent& e, TextId heading, TransitionRecord& toStopped);

    // Worker-thread operations: each stores its result, then posts its signal.
    void op_initialize();
    void op_select_drive(std::uint32_t driveId);
    void op_read_regions();
    void op_read_update_info();
    void op_read_download_size(std::vector<std::int32_t> regions,
                               std::vector<MapsService::VoiceInfo> voices);
    void op_update_mapsapp(MapsService::MapsUpdateInfo info);
    void op_update_map_data(std::vector<std::int32_t> regions,
                            std::vector<MapsService::VoiceInfo> voices);
    void post_to_worker(Function operation);
    // Worker thread, before the result is stored: keeps the service's cause
    // of a failure, which the next operation would clear.
    void keep_failure_cause(MapsService::Result result);
    // Worker thread: an operation's signal, dispatched once every message the
    // service sent while it ran has reached the observers.
    void post_result(std::uint16_t signal);

    // State helpers, user-interface thread.
    void choose_phone(std::uint32_t preferredPhone);
    // mapsIncomplete: the page also tells that the phone's maps are incomplete,
    // and stays up even after a confirmed exit.
    void show_error(TextId heading, StateHandler retryState, bool mapsIncomplete = false);
    // The same for a code other than the last operation's.
    void show_error(TextId heading, MapsService::Result code, StateHandler retryState,
                    bool mapsIncomplete);
    // User-interface thread: the worker's cause becomes the error page's.
    void take_failure_cause();
    // The error page's text: the code's text, and the cause beneath it.
    std::wstring error_description() const;
    void fill_phone_list();
    MapsService::MessageDrive* selected_drive() const;
    std::wstring selected_phone_name() const;
    void show_download_page(const std::wstring& header);
    void show_progress(const ProgressFigures& figures);
    void load_tutorial_picture();
    // A result page that a confirmed cancel's operation ran into is left at
    // once, as its own Exit button would leave it.
    void leave_if_exit_confirmed();
    // Lets the observers go, then cancels and finalises the service on the
    // worker and waits for it; once.
    void shut_down_service();
    void flush_posted_signals();

    PageHost* m_host;
    WizardSettings m_settings;
    CMainThreadCallGate m_gate;
    ServiceDeviceView m_devices;
    CPrivateProfile m_simulation;
    std::shared_ptr<CUILanguageManager> m_languages;

    int m_cancelMode = 0;
    bool m_splashFinished = false;
    bool m_languageRequested = false;
    bool m_initialSearchDone = false;
    std::atomic<bool> m_mapsNeedUpdate{false};
    bool m_mapsAppJustUpdated = false;
    std::atomic<MapsService::Result> m_initResult{-1};
    std::atomic<MapsService::Result> m_operationResult{-1};
    std::atomic<bool> m_serviceStarted{false};
    // A confirmed cancel of the running update; each step checks it, since the
    // service forgets a cancel that arrives between two of its operations.
    std::atomic<bool> m_cancelRequested{false};  // initialize succeeded: finalize is due

    // Written by the worker before it stores the result; guarded for the
    // progress observer's removals.
    mutable std::mutex m_dataMutex;
    std::vector<std::int32_t> m_regionIds;
    std::vector<MapsService::VoiceInfo> m_voices;
    std::atomic<bool> m_updateInfoValid{false};
    MapsService::MapsappVersionInfo m_currentAppVersion;
    // The version offered; a simulation profile may name another.
    MapsService::MapsappVersionInfo m_updateVersion;
    MapsService::MapsUpdateInfo m_updateInfo;
    std::uint64_t m_downloadSize = 0;  // 0 when get_download_size failed
    std::wstring m_failureCause;       // of the last operation; empty after a success

    TextId m_errorHeading = 0;
    MapsService::Result m_errorCode = 0;
    std::wstring m_errorCause;  // m_failureCause when the error page was chosen
    StateHandler m_retryState = nullptr;
    bool m_errorMapsIncomplete = false;
    std::uint32_t m_updateDriveId = 0;  // the drive the map-data update runs on
    std::uint32_t m_selectedPhone = 0;
    ProgressPresenter m_progress;

    QTimer m_splashTimer;
    QEventLoop* m_loop = nullptr;
    bool m_started = false;
    bool m_stopped = false;
    bool m_serviceShutDown = false;
    bool m_confirmPending = false;  // the cancel confirmation is up
    // The user said yes to "The application will exit": whatever the running
    // operation ends in, the run ends with it.
    bool m_exitConfirmed = false;
    int m_outcome = MapsService::kResultCancelled;

    CMapsMessageThread m_pump;
    std::unique_ptr<CPhoneObserver> m_phoneObserver;
    std::unique_ptr<CProgressObserver> m_progressObserver;
    std::unique_ptr<CPhoneMsgLogger> m_messageLogger;
    std::unique_ptr<MapsService::CSharedMem> m_instanceGuard;
    // Last: stopped first, while everything its operations touch still exists.
    CWorkerThread m_worker;
};

}  // namespace atlasync::ui
